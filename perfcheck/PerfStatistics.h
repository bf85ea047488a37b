#pragma once

#include "LatencyHistogram.h"
#include "LatencySummary.h"
#include "LatencyTimeline.h"

#include <chrono>
#include <cstdint>

// The engine calls a run times.
enum class PerfOp { Write, Read };

// What the statistics panel shows of a run, as it stands or when it ended.
struct PerfFigures
{
    std::uint64_t cycles = 0;
    std::uint64_t errors = 0; // failed steps: writes, reads, debug texts and comparisons
    double seconds = 0;       // since the run's first cycle could begin
    double cyclesPerSecond = 0;
    LatencySummary write;
    LatencySummary read;

    bool operator==(const PerfFigures &) const = default;
};

// The latencies of one run's engine calls, per operation, in fixed memory: a histogram for the
// whole run and a timeline of intervals for the plot. record() allocates nothing, so it can sit
// in the busy loop; begin() starts afresh for the next run.
class PerfStatistics
{
public:
    using Clock = std::chrono::steady_clock;

    void begin(Clock::time_point start);
    void end(Clock::time_point at) { m_end = at; m_ended = true; }

    void record(PerfOp op, Clock::time_point from, Clock::time_point to)
    {
        Series &s = series(op);
        s.histogram.record(to - from);
        s.timeline.record(from - m_start, to - from);
    }
    void countCycle() { ++m_cycles; }
    void countError() { ++m_errors; }

    // The figures at now, or at the end once the run has ended.
    PerfFigures figures(Clock::time_point now = Clock::now()) const;
    double seconds(Clock::time_point now = Clock::now()) const;
    const LatencyHistogram &histogram(PerfOp op) const { return series(op).histogram; }
    const LatencyTimeline &timeline(PerfOp op) const { return series(op).timeline; }

private:
    // The timeline's intervals start short, so that a run of a few milliseconds still has a
    // line, and double as the run goes on.
    static constexpr std::chrono::milliseconds kFirstInterval{1};
    struct Series
    {
        LatencyHistogram histogram;
        LatencyTimeline timeline{kFirstInterval};
    };
    Series &series(PerfOp op) { return op == PerfOp::Write ? m_write : m_read; }
    const Series &series(PerfOp op) const { return op == PerfOp::Write ? m_write : m_read; }

    Series m_write;
    Series m_read;
    Clock::time_point m_start;
    Clock::time_point m_end;
    bool m_ended = false;
    std::uint64_t m_cycles = 0;
    std::uint64_t m_errors = 0;
};
