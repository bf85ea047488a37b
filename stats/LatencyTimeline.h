#pragma once

#include "LatencyHistogram.h"

#include <chrono>
#include <cstdint>
#include <vector>

// One interval of a LatencyTimeline: its span since the run started and its latencies, in
// microseconds (p50 and p99 are 0 when the interval holds no sample).
struct LatencyPoint
{
    double start_us = 0;
    double end_us = 0;
    std::uint64_t count = 0;
    double p50_us = 0;
    double p99_us = 0;
};

// Latency over a run's time, for a plot: a histogram per interval of equal length. When a
// sample falls beyond maxIntervals intervals, adjacent intervals merge pairwise and the
// interval doubles, as often as needed, so memory stays bounded however long the run:
// maxIntervals histograms reserved up front (about 640 KB with the defaults). record()
// allocates nothing.
class LatencyTimeline
{
public:
    static constexpr std::chrono::nanoseconds kDefaultInterval = std::chrono::milliseconds(100);
    static constexpr std::size_t kDefaultMaxIntervals = 128;

    // maxIntervals is rounded up to an even number of at least 2.
    explicit LatencyTimeline(std::chrono::nanoseconds interval = kDefaultInterval,
                             std::size_t maxIntervals = kDefaultMaxIntervals);

    // at: when the sample was taken, since the run started; it may be earlier than the
    // latest sample's.
    void record(std::chrono::nanoseconds at, std::chrono::nanoseconds latency);
    void reset();

    std::chrono::nanoseconds interval() const { return m_interval; }
    std::size_t maxIntervals() const { return m_maxIntervals; }
    // From the first interval to the one of the latest sample, empty ones included.
    std::vector<LatencyPoint> points() const;
    const std::vector<LatencyHistogram> &histograms() const { return m_intervals; }

private:
    void halve();

    std::chrono::nanoseconds m_firstInterval;
    std::chrono::nanoseconds m_interval;
    std::size_t m_maxIntervals;
    std::vector<LatencyHistogram> m_intervals;
};
