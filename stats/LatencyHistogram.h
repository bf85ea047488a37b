#pragma once

#include "LatencySummary.h"

#include <array>
#include <bit>
#include <chrono>
#include <cstdint>

// Durations in a fixed-size log-linear histogram: nanoseconds in, microseconds out.
//
// Durations below 32 ns have a bucket each; above, every power of two is cut into 16 equal
// buckets, so a quantile (the middle of its bucket, kept within min and max) is off from the
// exact sample by at most kRelativeError of it. Durations from 2^42 ns (about 73 minutes) on
// share one last bucket whose quantiles read as the maximum. Count, min, max and mean are exact.
//
// record() is a few instructions and never allocates, so it can sit inside a timed loop. The
// object is about 5 KB whatever the run's length.
class LatencyHistogram
{
public:
    static constexpr int kSubBucketBits = 4;
    static constexpr double kRelativeError = 1.0 / (2 << kSubBucketBits); // half a bucket: 3.125 %
    static constexpr int kTrackedBits = 42;                             // durations below 2^42 ns

    void record(std::chrono::nanoseconds duration)
    {
        const std::uint64_t ns = duration.count() > 0 ? std::uint64_t(duration.count()) : 0;
        ++m_buckets[bucketOf(ns)];
        ++m_count;
        m_sumNs += ns;
        m_sumNsHigh += m_sumNs < ns; // the carry: a sum past 2^64 ns stays exact
        if (ns < m_minNs)
            m_minNs = ns;
        if (ns > m_maxNs)
            m_maxNs = ns;
    }

    void merge(const LatencyHistogram &other);
    void reset() { *this = LatencyHistogram(); }

    std::uint64_t count() const { return m_count; }
    double minUs() const;
    double maxUs() const;
    double meanUs() const;
    // Nearest rank: the smallest recorded duration that at least q of all are not above,
    // q in [0, 1]; 0 when nothing was recorded.
    double quantileUs(double q) const;
    LatencySummary summary() const;

private:
    static constexpr std::uint64_t kSubBuckets = 1u << kSubBucketBits;
    static constexpr std::uint64_t kLinearLimit = 2 * kSubBuckets; // below it each value has a bucket
    static constexpr std::size_t kBucketCount = (kTrackedBits - kSubBucketBits - 1) * kSubBuckets + kLinearLimit + 1;
    static constexpr std::size_t kOverflowBucket = kBucketCount - 1;

    // Values from 2 * kSubBuckets on keep their top kSubBucketBits + 1 bits: the shift picks
    // the power of two, those bits the bucket within it.
    static std::size_t bucketOf(std::uint64_t ns)
    {
        if (ns < kLinearLimit)
            return std::size_t(ns);
        const int shift = std::bit_width(ns) - (kSubBucketBits + 1);
        const std::size_t bucket = std::size_t(shift) * kSubBuckets + std::size_t(ns >> shift);
        return bucket < kOverflowBucket ? bucket : kOverflowBucket;
    }
    double bucketMiddleNs(std::size_t bucket) const;

    std::array<std::uint64_t, kBucketCount> m_buckets{};
    std::uint64_t m_count = 0;
    std::uint64_t m_sumNs = 0;
    std::uint64_t m_sumNsHigh = 0;
    std::uint64_t m_minNs = UINT64_MAX;
    std::uint64_t m_maxNs = 0;
};
