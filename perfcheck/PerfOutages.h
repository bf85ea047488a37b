#pragma once

#include <QList>
#include <QString>

#include <chrono>

// The times a run's line was away (with Reconnect Automatically on): each outage's start, from
// the run's start, and its length. A line that goes between runs counts from the next run's
// start; an outage under way when the run ends is cut there.
class PerfOutages
{
public:
    using Clock = std::chrono::steady_clock;
    struct Span
    {
        Clock::duration start{};
        Clock::duration length{};
        friend bool operator==(const Span &, const Span &) = default;
    };

    void begin(Clock::time_point runStart);
    void end(Clock::time_point at);
    // The line went (again while away: nothing) or is back.
    void lost(Clock::time_point at);
    void back(Clock::time_point at);
    bool isAway() const { return m_away; }
    // A step failed: true for the first failure of an outage, or one outside any; the outage
    // stands for the rest of its failures.
    bool tellFailure();

    // The run's outages, one under way lasting until now.
    QList<Span> spans(Clock::time_point now = Clock::now()) const;

private:
    QList<Span> m_spans;
    Clock::time_point m_runStart{};
    Clock::time_point m_since{}; // of the outage under way
    bool m_running = false;
    bool m_away = false;
    bool m_failureTold = false;
};

// "2, 3.01 s in all" for the statistics panel; "0" for none.
QString OutagesText(const QList<PerfOutages::Span> &spans);
// A span in whole milliseconds: its start from the run's start, and its length.
qint64 StartMs(const PerfOutages::Span &span);
qint64 LengthMs(const PerfOutages::Span &span);
