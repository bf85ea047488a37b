#include "PerfPlotData.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kUsPerMs = 1000;
constexpr double kUsPerS = 1000000;
constexpr double kSmallestUs = 0.001; // a sample of 0 ns sits in the first bar
constexpr std::uint64_t kQuantilePoints = 256; // a bar's count is read at this resolution
constexpr double kTwoDigits = 10;
constexpr double kOneDigit = 100;

// Three significant digits for values from 1 to 999.
QString Significant(double value)
{
    const int decimals = value < kTwoDigits ? 2 : value < kOneDigit ? 1 : 0;
    return QString::number(value, 'f', decimals);
}

} // namespace

QString LatencyText(double us)
{
    if (us < kUsPerMs)
        return Significant(us) + QStringLiteral(" µs");
    if (us < kUsPerS)
        return Significant(us / kUsPerMs) + QStringLiteral(" ms");
    return Significant(us / kUsPerS) + QStringLiteral(" s");
}

QString RateText(double perSecond)
{
    return QString::number(perSecond, 'f', perSecond < kOneDigit ? 1 : 0);
}

LatencyUnit UnitFor(double maxUs)
{
    if (maxUs >= kMillisecondAxisFromUs)
        return {kUsPerMs, QStringLiteral("ms")};
    return {1, QStringLiteral("µs")};
}

// The counts come from evenly spaced quantiles (every sample's own when there are few), each
// standing for the samples between its rank and the one before.
std::vector<HistogramBar> HistogramBars(const LatencyHistogram &histogram, int bars)
{
    const std::uint64_t n = histogram.count();
    if (n == 0 || bars < 1)
        return {};
    const double low = std::max(histogram.minUs(), kSmallestUs);
    const double high = std::max(histogram.maxUs(), low);
    if (high == low)
        return {{low, high, n}};

    std::vector<HistogramBar> result(static_cast<std::size_t>(bars));
    const double step = std::log(high / low) / bars;
    for (int i = 0; i < bars; ++i) {
        result[std::size_t(i)].lowUs = low * std::exp(step * i);
        result[std::size_t(i)].highUs = i + 1 == bars ? high : low * std::exp(step * (i + 1));
    }
    const std::uint64_t points = std::min(n, kQuantilePoints);
    std::uint64_t previousRank = 0;
    for (std::uint64_t j = 1; j <= points; ++j) {
        const std::uint64_t rank = j == points ? n : (j * n + points - 1) / points;
        const double q = (double(rank) - 0.5) / double(n); // half a rank below: no rounding up past it
        const double us = std::clamp(histogram.quantileUs(q), low, high);
        const int bar = std::clamp(int(std::log(us / low) / step), 0, bars - 1);
        result[std::size_t(bar)].count += rank - previousRank;
        previousRank = rank;
    }
    return result;
}

QList<QPointF> HistogramOutline(const std::vector<HistogramBar> &bars, const LatencyUnit &unit)
{
    QList<QPointF> points;
    if (bars.empty())
        return points;
    points.reserve(qsizetype(2 * bars.size() + 2));
    points << QPointF(bars.front().lowUs / unit.perUs, 0);
    for (const HistogramBar &bar : bars) {
        points << QPointF(bar.lowUs / unit.perUs, double(bar.count));
        points << QPointF(bar.highUs / unit.perUs, double(bar.count));
    }
    points << QPointF(bars.back().highUs / unit.perUs, 0);
    return points;
}

QList<QPointF> TimelineSeries(const LatencyTimeline &timeline, TimelineQuantile quantile, const LatencyUnit &unit)
{
    QList<QPointF> points;
    for (const LatencyPoint &p : timeline.points()) {
        if (p.count == 0)
            continue;
        const double us = quantile == TimelineQuantile::P50 ? p.p50_us : p.p99_us;
        points << QPointF((p.start_us + p.end_us) / 2 / kUsPerS, us / unit.perUs);
    }
    return points;
}

QList<QPointF> OutageOutline(const QList<PerfOutages::Span> &outages, double top)
{
    QList<QPointF> points;
    for (const PerfOutages::Span &span : outages) {
        const double from = std::chrono::duration<double>(span.start).count();
        const double to = from + std::chrono::duration<double>(span.length).count();
        points << QPointF(from, 0) << QPointF(from, top) << QPointF(to, top) << QPointF(to, 0);
    }
    return points;
}
