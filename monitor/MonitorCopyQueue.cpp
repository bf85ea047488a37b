#include "MonitorCopyQueue.h"

namespace {

// Framed bytes at the front go once they are this many and at least half of what is held.
constexpr qsizetype kCompactBytes = 16384;

} // namespace

void MonitorCopyQueue::append(MonitorSide side, const char *data, qsizetype size, const MivTapTime &at)
{
    if (size <= 0)
        return;
    m_bytes.append(data, size);
    m_reads.push_back(Read{m_bytes.size(), side, at});
}

std::optional<std::chrono::steady_clock::time_point> MonitorCopyQueue::oldest() const
{
    if (isEmpty())
        return std::nullopt;
    return m_reads.front().at.steady;
}

MonitorCopyQueue::Slice MonitorCopyQueue::take(qsizetype max)
{
    if (isEmpty())
        return {};
    const Read &read = m_reads.front();
    const qsizetype size = qMin(max, read.end - m_at);
    Slice slice{m_bytes.mid(m_at, size), read.side, read.at};
    m_at += size;
    if (m_at == read.end)
        m_reads.pop_front();
    if (isEmpty()) {
        // Emptied: the storage is kept for the next burst.
        m_bytes.resize(0);
        m_at = 0;
    } else if (m_at >= kCompactBytes && 2 * m_at >= m_bytes.size()) {
        // Reads may go on arriving before the queue is ever empty.
        m_bytes.remove(0, m_at);
        for (Read &later : m_reads)
            later.end -= m_at;
        m_at = 0;
    }
    return slice;
}
