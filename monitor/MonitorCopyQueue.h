#pragma once

#include "MivTap.h"
#include "MonitorRows.h"

#include <QByteArray>

#include <chrono>
#include <deque>
#include <optional>

// A pair's bytes that have gone through but are not framed for display yet, each read with its
// side and the time it came, in the order they were read: a burst is framed in slices between
// the other links' turns, requests still come before the answers read after them, and frames
// keep the times their bytes arrived, not the times they were framed.
class MonitorCopyQueue
{
public:
    struct Slice
    {
        QByteArray bytes; // all of one read
        MonitorSide side = MonitorSide::Host;
        MivTapTime at;
    };

    bool isEmpty() const { return m_at == m_bytes.size(); }
    qsizetype size() const { return m_bytes.size() - m_at; }
    void append(MonitorSide side, const char *data, qsizetype size, const MivTapTime &at);
    // When the oldest bytes came, if any wait.
    std::optional<std::chrono::steady_clock::time_point> oldest() const;
    // Takes the oldest bytes, at most max of them, all of one read.
    Slice take(qsizetype max);

private:
    struct Read
    {
        qsizetype end; // in m_bytes
        MonitorSide side;
        MivTapTime at;
    };

    QByteArray m_bytes; // queued: bytes from m_at on
    qsizetype m_at = 0;
    std::deque<Read> m_reads;
};
