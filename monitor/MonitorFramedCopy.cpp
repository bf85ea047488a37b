#include "MonitorFramedCopy.h"

void MonitorFramedCopy::feed(const char *data, qsizetype size, QList<Result> &out)
{
    qsizetype taken = 0;
    while (taken < size) {
        const qsizetype n = m_framer.feed(data + taken, size - taken, m_events, 1);
        m_wire.append(data + taken, n);
        if (m_wire.size() > kMaxWire)
            m_wire.remove(0, m_wire.size() - kMaxWire);
        taken += n;
        if (m_events.isEmpty())
            break; // the rest is part of a frame still to come
        out.append(Result{m_events.takeFirst(), m_wire});
        m_wire.resize(0);
    }
}
