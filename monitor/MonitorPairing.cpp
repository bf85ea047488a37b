#include "MonitorPairing.h"

std::optional<MonitorPairing::Request> MonitorPairing::request(const QString &text, Clock::time_point at)
{
    std::optional<Request> dropped;
    if (m_waiting.size() >= kMaxWaiting) {
        dropped = std::move(m_waiting.front());
        m_waiting.pop_front();
    }
    m_waiting.push_back(Request{text, at});
    return dropped;
}

std::optional<MonitorPairing::Answered> MonitorPairing::answer(Clock::time_point at)
{
    if (m_waiting.empty() || at - m_waiting.front().sent > m_waitLimit)
        return std::nullopt;
    const std::chrono::nanoseconds time = at - m_waiting.front().sent;
    Answered answered{std::move(m_waiting.front()), time};
    m_waiting.pop_front();
    return answered;
}

std::deque<MonitorPairing::Request> MonitorPairing::expire(Clock::time_point at)
{
    std::deque<Request> expired;
    while (!m_waiting.empty() && at - m_waiting.front().sent > m_waitLimit) {
        expired.push_back(std::move(m_waiting.front()));
        m_waiting.pop_front();
    }
    return expired;
}

std::deque<MonitorPairing::Request> MonitorPairing::takeAll()
{
    std::deque<Request> all;
    all.swap(m_waiting);
    return all;
}

std::optional<MonitorPairing::Clock::time_point> MonitorPairing::nextDeadline() const
{
    if (m_waiting.empty())
        return std::nullopt;
    return m_waiting.front().sent + m_waitLimit;
}
