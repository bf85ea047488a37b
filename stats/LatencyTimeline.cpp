#include "LatencyTimeline.h"

#include <algorithm>

namespace {

constexpr double kNsPerUs = 1000.0;
constexpr double kP50 = 0.50;
constexpr double kP99 = 0.99;

} // namespace

LatencyTimeline::LatencyTimeline(std::chrono::nanoseconds interval, std::size_t maxIntervals)
    : m_firstInterval(std::max(interval, std::chrono::nanoseconds(1)))
    , m_interval(m_firstInterval)
    , m_maxIntervals(std::max<std::size_t>(2, maxIntervals + maxIntervals % 2))
{
    m_intervals.reserve(m_maxIntervals);
}

void LatencyTimeline::record(std::chrono::nanoseconds at, std::chrono::nanoseconds latency)
{
    const std::uint64_t ns = at.count() > 0 ? std::uint64_t(at.count()) : 0;
    std::uint64_t index = ns / std::uint64_t(m_interval.count());
    while (index >= m_maxIntervals) {
        halve();
        index /= 2;
    }
    if (index >= m_intervals.size())
        m_intervals.resize(std::size_t(index) + 1); // within the reserved capacity
    m_intervals[std::size_t(index)].record(latency);
}

void LatencyTimeline::halve()
{
    const std::size_t halved = (m_intervals.size() + 1) / 2;
    for (std::size_t i = 0; i < halved; ++i) {
        m_intervals[i] = m_intervals[2 * i]; // slots after i are read before they are written
        if (2 * i + 1 < m_intervals.size())
            m_intervals[i].merge(m_intervals[2 * i + 1]);
    }
    m_intervals.resize(halved);
    m_interval *= 2;
}

void LatencyTimeline::reset()
{
    m_intervals.clear();
    m_interval = m_firstInterval;
}

std::vector<LatencyPoint> LatencyTimeline::points() const
{
    std::vector<LatencyPoint> points;
    points.reserve(m_intervals.size());
    const double lengthUs = double(m_interval.count()) / kNsPerUs;
    for (std::size_t i = 0; i < m_intervals.size(); ++i) {
        const LatencyHistogram &h = m_intervals[i];
        points.push_back({double(i) * lengthUs, double(i + 1) * lengthUs, h.count(), h.quantileUs(kP50),
                          h.quantileUs(kP99)});
    }
    return points;
}
