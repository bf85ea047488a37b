#pragma once

#include "LatencySummary.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <chrono>
#include <cstdint>

// What the engine and the windows hand to a SessionRecorder, as plain values so that neither
// side depends on the other. Times default to the moment the value is made.

enum class FrameDirection { In, Out };

struct RecordedFrame
{
    FrameDirection direction = FrameDirection::Out;
    QString peer;    // address or device path
    QString text;    // the decoded body
    QByteArray wire; // the bytes on the wire, header and terminator included
    std::chrono::steady_clock::time_point steady = std::chrono::steady_clock::now();
    std::chrono::system_clock::time_point wall = std::chrono::system_clock::now();
    QString side = {}; // a monitor's: "host" or "device"; empty elsewhere
};

enum class LinkEventKind { Opened, Connected, Disconnected, Closed, Error, Reconnecting, Outage };

// Which end of the line the link is; None leaves it out of the record.
enum class LinkRole { None, Client, Server, Serial };

struct RecordedEvent
{
    LinkEventKind kind = LinkEventKind::Error;
    QString peer;
    QString text; // the reason or the error's description
    std::chrono::steady_clock::time_point steady = std::chrono::steady_clock::now();
    std::chrono::system_clock::time_point wall = std::chrono::system_clock::now();
    LinkRole role = LinkRole::None;
    QString local{}; // of an opened or closed transport: this end's address, when peer is the other's
    QString side{};  // a monitor's: "host" or "device"; empty elsewhere
    int attempt = 0; // of a reconnecting event: 1 for the first try
    // Of an outage, written when the line is back: when it went and how long it was away.
    std::chrono::system_clock::time_point since{};
    std::int64_t lengthMs = 0;
};

enum class PerfResult { End, Error };

struct RecordedPerf
{
    QString target;  // the variable's name
    QString pattern;
    QString mode;
    PerfResult result = PerfResult::End;
    std::int64_t elapsedMs = 0;
    std::uint64_t cycles = 0;
    std::uint64_t errors = 0;
    LatencySummary write;
    LatencySummary read;
};

struct RecordedPlanStep
{
    QString name;
    QString send;
    bool passed = false;
    QString answer;
    QString reason;
    std::int64_t us = 0;
};

struct RecordedPlan
{
    QString name;
    int passed = 0;
    int failed = 0;
    std::int64_t elapsedMs = 0;
    QList<RecordedPlanStep> steps;
};
