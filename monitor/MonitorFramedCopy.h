#pragma once

#include "KelFramer.h"

#include <QByteArray>
#include <QList>

// A side's copy of the bytes, framed with that side's packet options for display only: it
// never changes what goes through. Each frame or receive error comes with the bytes it was
// made of (of an overlong run, the last kMaxWire).
class MonitorFramedCopy
{
public:
    static constexpr qsizetype kMaxWire = 2 * KelFramer::kMaxBody + 8;

    struct Result
    {
        KelFrameEvent event;
        QByteArray wire;
    };

    explicit MonitorFramedCopy(const KelPacketSettings &packet) : m_framer(packet) {}

    // Frames the bytes and appends what they complete to out.
    void feed(const char *data, qsizetype size, QList<Result> &out);

private:
    KelFramer m_framer;
    QByteArray m_wire; // bytes of the frame being received
    QList<KelFrameEvent> m_events;
};
