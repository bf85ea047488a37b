#include "MonitorFramedCopy.h"

#include <utility>

void MonitorFramedCopy::feed(const char *data, qsizetype size, QList<Result> &out)
{
    qsizetype taken = 0;
    while (taken < size) {
        const qsizetype n = m_framer.feed(data + taken, size - taken, m_events, 1);
        const char *bytes = data + taken;
        taken += n;
        if (m_events.isEmpty() || !m_wire.isEmpty()) {
            m_wire.append(bytes, n);
            if (m_wire.size() > kMaxWire)
                m_wire.remove(0, m_wire.size() - kMaxWire);
        }
        if (m_events.isEmpty())
            break; // the rest is part of a frame still to come
        // A frame that came whole in these bytes is copied once, not gathered.
        QByteArray wire = m_wire.isEmpty() ? QByteArray(bytes + qMax<qsizetype>(0, n - kMaxWire), qMin(n, kMaxWire))
                                            : std::exchange(m_wire, QByteArray());
        out.append(Result{m_events.takeFirst(), std::move(wire)});
    }
}
