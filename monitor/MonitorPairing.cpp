#include "MonitorPairing.h"

#include <iterator>

MonitorPairing::Added MonitorPairing::request(const QString &text, Clock::time_point at)
{
    // Behind counted requests a new one is counted too: answers come in order.
    if (m_counted > 0 || m_waiting.size() >= kMaxWaiting) {
        m_lastCounted = at;
        return ++m_counted == 1 ? Added::Overflowed : Added::Counted;
    }
    m_waiting.push_back(Request{text, at});
    return Added::Kept;
}

std::optional<MonitorPairing::Answered> MonitorPairing::answer(Clock::time_point at)
{
    if (!m_waiting.empty()) {
        if (at - m_waiting.front().sent > m_waitLimit)
            return std::nullopt;
        const std::chrono::nanoseconds time = at - m_waiting.front().sent;
        Answered answered{std::move(m_waiting.front()), time};
        m_waiting.pop_front();
        return answered;
    }
    if (m_counted == 0 || at - m_lastCounted > m_waitLimit)
        return std::nullopt;
    --m_counted;
    return Answered{};
}

MonitorPairing::GivenUp MonitorPairing::expire(Clock::time_point at)
{
    GivenUp expired;
    while (!m_waiting.empty() && at - m_waiting.front().sent > m_waitLimit) {
        expired.requests.push_back(std::move(m_waiting.front()));
        m_waiting.pop_front();
    }
    // Their times are not kept: they run out together, when the newest of them does.
    if (m_waiting.empty() && m_counted > 0 && at - m_lastCounted > m_waitLimit)
        std::swap(expired.counted, m_counted);
    return expired;
}

MonitorPairing::GivenUp MonitorPairing::takeAll()
{
    GivenUp all;
    all.requests.assign(std::make_move_iterator(m_waiting.begin()), std::make_move_iterator(m_waiting.end()));
    m_waiting.clear();
    std::swap(all.counted, m_counted);
    return all;
}

std::optional<MonitorPairing::Clock::time_point> MonitorPairing::nextDeadline() const
{
    if (!m_waiting.empty())
        return m_waiting.front().sent + m_waitLimit;
    if (m_counted > 0)
        return m_lastCounted + m_waitLimit;
    return std::nullopt;
}
