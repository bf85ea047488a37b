#pragma once

#include "MivTap.h"

#include <QByteArray>
#include <QString>

#include <chrono>
#include <optional>

// Which side of a monitor a link or its bytes are on: the host's bytes go to the device, the
// device's to the host.
enum class MonitorSide { Host, Device };

inline const char *MonitorSideName(MonitorSide side)
{
    return side == MonitorSide::Host ? "host" : "device";
}

// One result of framing a side's copy of the bytes.
struct MonitorFrame
{
    // A frame from the host is a request; from the device, the answer to the oldest request
    // that waits, or stray when none waits. A receive error (its description in text) is
    // shown as it came; its bytes went through like any others.
    enum Role { Request, Answer, Stray, Error };

    quint64 pair = 0;
    MonitorSide side = MonitorSide::Host;
    Role role = Request;
    QString peer; // the pair's host connection: its address, or the host line's device path
    QString text; // the decoded body, or the error's description
    QByteArray wire; // the frame's bytes, header and terminator included
    std::optional<std::chrono::nanoseconds> answerTime; // of an answer: since its request
    QString request; // of an answer: the request it answers
    MivTapTime at;
};

// What happened to one side's connection of a pair, or to the monitor.
struct MonitorEvent
{
    quint64 pair = 0; // 0: the monitor's own, no pair
    MonitorSide side = MonitorSide::Host;
    MivTapEventKind kind = MivTapEventKind::Error;
    QString peer; // the link concerned, or the listening address
    QString text; // the reason or description
    MivTapTime at;
    int attempt = 0; // Reconnecting: 1 for the first try
};
