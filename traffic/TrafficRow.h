#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>

// One row of the Traffic pane: a frame that went over the line, what happened to a connection
// (an event or an error), or a gap: the time the pane was hidden and took no rows.
struct TrafficRow
{
    enum Kind { In, Out, Opened, Connected, Disconnected, Closed, Error, Gap, Reconnecting };
    Kind kind = Error;
    std::chrono::system_clock::time_point wall = std::chrono::system_clock::now();
    QString peer;
    QString text;    // the decoded body, or the event's reason or description
    QByteArray wire; // a frame's bytes on the line; empty for an event
};
