#pragma once

#include <QString>

// What the open connection lets a plan do: a client (network or serial) sends requests; a
// network server sends them to a client once one has connected; a serial server only answers.
enum class PlanLinkRole { None, Client, Server, AnswerOnly };

struct PlanRunState
{
    bool planOpen = false;
    bool running = false;
    PlanLinkRole role = PlanLinkRole::None;
    int links = 0; // open links: a client's own, or the clients of a server
};

struct PlanRunVerdict
{
    bool enabled = false;
    QString why; // Run's tool tip: what it does, or why it cannot
};

// Whether Run can start a plan now, and why not.
PlanRunVerdict PlanRunRule(const PlanRunState &state);
