#pragma once

#include <QString>

#include <chrono>
#include <deque>
#include <optional>

// The requests of one pair that wait for answers, oldest first. A frame from the device answers
// the oldest; a request that has waited longer than the wait limit is given up (a later frame
// answers no such request, it is stray), and beyond kMaxWaiting the oldest is given up too.
class MonitorPairing
{
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::size_t kMaxWaiting = 1024;

    struct Request
    {
        QString text;
        Clock::time_point sent;
    };
    struct Answered
    {
        Request request;
        std::chrono::nanoseconds time{};
    };

    explicit MonitorPairing(std::chrono::milliseconds waitLimit) : m_waitLimit(waitLimit) {}

    // Adds a request; returns one given up to make room, if any.
    std::optional<Request> request(const QString &text, Clock::time_point at);
    // The request a device frame at `at` answers, or none: the frame is stray.
    std::optional<Answered> answer(Clock::time_point at);
    // Takes the requests that have waited past the limit at `at`, oldest first.
    std::deque<Request> expire(Clock::time_point at);
    // Takes all waiting requests (the pair closed).
    std::deque<Request> takeAll();
    // When the oldest waiting request runs out of time, if one waits.
    std::optional<Clock::time_point> nextDeadline() const;

private:
    std::chrono::milliseconds m_waitLimit;
    std::deque<Request> m_waiting;
};
