#pragma once

#include "LatencyHistogram.h"
#include "LatencyTimeline.h"
#include "PerfOutages.h"

#include <QList>
#include <QPointF>
#include <QString>

#include <cstdint>
#include <vector>

// What the statistics panel and the plot show, without widgets.

// A latency as the panel shows it, three significant digits in the unit that fits:
// "85.3 µs", "1.25 ms", "2.50 s".
QString LatencyText(double us);
// Cycles per second: "8123", "12.5".
QString RateText(double perSecond);

// The unit of a plot's latency axis: microseconds up to kMillisecondAxisFromUs, milliseconds from
// there on.
struct LatencyUnit
{
    double perUs = 1; // axis value = microseconds / perUs
    QString name;
};
constexpr double kMillisecondAxisFromUs = 10000;
LatencyUnit UnitFor(double maxUs);

// A bar of a latency histogram, its edges in microseconds.
struct HistogramBar
{
    double lowUs = 0;
    double highUs = 0;
    std::uint64_t count = 0;
};
// Bars of equal width on a logarithmic scale from the smallest to the largest sample; their
// counts add up to the histogram's count. Empty when nothing was recorded.
std::vector<HistogramBar> HistogramBars(const LatencyHistogram &histogram, int bars);

// The outline of the bars as a line: up and down each bar's edges, x and y in the unit.
QList<QPointF> HistogramOutline(const std::vector<HistogramBar> &bars, const LatencyUnit &unit);
// One quantile over the run: an interval's middle in seconds against its p50 or p99 in the
// unit; intervals without a sample are left out.
enum class TimelineQuantile { P50, P99 };
QList<QPointF> TimelineSeries(const LatencyTimeline &timeline, TimelineQuantile quantile, const LatencyUnit &unit);

// The outages as boxes from 0 to top over their seconds in the run, joined along 0, for a
// filled area.
QList<QPointF> OutageOutline(const QList<PerfOutages::Span> &outages, double top);
