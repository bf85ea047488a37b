#pragma once

#include <cstdint>

// The figures of one operation's latencies, in microseconds; all zero when nothing was recorded.
struct LatencySummary
{
    std::uint64_t count = 0;
    double min_us = 0;
    double mean_us = 0;
    double p50_us = 0;
    double p95_us = 0;
    double p99_us = 0;
    double max_us = 0;

    bool operator==(const LatencySummary &) const = default;
};
