#pragma once

#include <QString>

#include <chrono>
#include <cstddef>
#include <deque>
#include <optional>
#include <vector>

// The requests of one pair that wait for answers, oldest first. A frame from the device answers
// the oldest; a request that has waited longer than the wait limit is given up (a later frame
// answers no such request, it is stray).
//
// At most kMaxWaiting requests are kept. A host that pipelines deeper overflows the pairing:
// the requests past the kept ones are only counted, in order behind them, and the answers to
// them come out untimed. Nothing is given up for the overflow, so no answer is mispaired and
// none reported missing; once the counted ones are answered (or have all run out of time),
// new requests are kept again.
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
    // What a device frame answers.
    struct Answered
    {
        std::optional<Request> request; // none: a counted request beyond the kept ones
        std::chrono::nanoseconds time{};
    };
    // Requests given up, oldest first.
    struct GivenUp
    {
        std::vector<Request> requests;
        std::size_t counted = 0; // of those beyond the kept ones
    };

    explicit MonitorPairing(std::chrono::milliseconds waitLimit) : m_waitLimit(waitLimit) {}

    enum class Added { Kept, Overflowed, Counted }; // Overflowed: the first one counted, not kept
    Added request(const QString &text, Clock::time_point at);
    // What a device frame at `at` answers, or none: the frame is stray.
    std::optional<Answered> answer(Clock::time_point at);
    // Takes the requests that have waited past the limit at `at`.
    GivenUp expire(Clock::time_point at);
    // Takes all waiting requests (the pair closed).
    GivenUp takeAll();
    // When the oldest waiting request runs out of time, if one waits.
    std::optional<Clock::time_point> nextDeadline() const;

private:
    std::chrono::milliseconds m_waitLimit;
    std::deque<Request> m_waiting;
    std::size_t m_counted = 0;       // requests behind m_waiting, not kept
    Clock::time_point m_lastCounted; // when the newest of them was sent
};
