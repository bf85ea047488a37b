#include "LatencyHistogram.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kNsPerUs = 1000.0;

} // namespace

void LatencyHistogram::merge(const LatencyHistogram &other)
{
    for (std::size_t i = 0; i < kBucketCount; ++i)
        m_buckets[i] += other.m_buckets[i];
    m_count += other.m_count;
    m_sumNs += other.m_sumNs;
    m_sumNsHigh += other.m_sumNsHigh + (m_sumNs < other.m_sumNs);
    m_minNs = std::min(m_minNs, other.m_minNs);
    m_maxNs = std::max(m_maxNs, other.m_maxNs);
}

double LatencyHistogram::minUs() const
{
    return m_count ? double(m_minNs) / kNsPerUs : 0;
}

double LatencyHistogram::maxUs() const
{
    return double(m_maxNs) / kNsPerUs;
}

double LatencyHistogram::meanUs() const
{
    constexpr double kTwoTo64 = 18446744073709551616.0;
    const double sum = double(m_sumNsHigh) * kTwoTo64 + double(m_sumNs);
    return m_count ? sum / double(m_count) / kNsPerUs : 0;
}

double LatencyHistogram::bucketMiddleNs(std::size_t bucket) const
{
    if (bucket < kLinearLimit)
        return double(bucket);
    if (bucket == kOverflowBucket)
        return double(m_maxNs);
    const int shift = int(bucket / kSubBuckets) - 1;
    const std::uint64_t lowest = (kSubBuckets + bucket % kSubBuckets) << shift;
    const std::uint64_t width = std::uint64_t(1) << shift;
    return double(lowest) + double(width - 1) / 2;
}

double LatencyHistogram::quantileUs(double q) const
{
    if (m_count == 0)
        return 0;
    const double wanted = std::ceil(std::clamp(q, 0.0, 1.0) * double(m_count));
    const std::uint64_t rank = std::max<std::uint64_t>(1, std::uint64_t(wanted));
    std::uint64_t seen = 0;
    std::size_t bucket = 0;
    while (bucket < kOverflowBucket && (seen += m_buckets[bucket]) < rank)
        ++bucket;
    const double ns = std::clamp(bucketMiddleNs(bucket), double(m_minNs), double(m_maxNs));
    return ns / kNsPerUs;
}

LatencySummary LatencyHistogram::summary() const
{
    constexpr double kP50 = 0.50;
    constexpr double kP95 = 0.95;
    constexpr double kP99 = 0.99;
    return {m_count, minUs(), meanUs(), quantileUs(kP50), quantileUs(kP95), quantileUs(kP99), maxUs()};
}
