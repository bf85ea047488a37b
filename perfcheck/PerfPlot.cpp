#include "PerfPlot.h"

#include "PerfPlotData.h"

#include <QAreaSeries>
#include <QChart>
#include <QChartView>
#include <QElapsedTimer>
#include <QGraphicsLayout>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QValueAxis>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int kBars = 40;
constexpr int kMinimumChartHeight = 170;
constexpr double kHeadroom = 1.1;  // above the highest point
constexpr double kLogMargin = 1.2; // beyond the outermost bar edges
constexpr int kFillAlpha = 90;

const QColor kWriteColour(0xd0, 0x50, 0x20);
const QColor kReadColour(0x20, 0x60, 0xc0);

QLineSeries *Line(QChart *chart, const QString &name, const QColor &colour, Qt::PenStyle style)
{
    auto *series = new QLineSeries(chart);
    series->setName(name);
    QPen pen(colour);
    pen.setWidthF(1.5);
    pen.setStyle(style);
    series->setPen(pen);
    chart->addSeries(series);
    return series;
}

// A filled outline down to zero; the line it returns carries the points.
QLineSeries *Area(QChart *chart, const QString &name, const QColor &colour)
{
    auto *outline = new QLineSeries(chart);
    auto *area = new QAreaSeries(outline);
    area->setName(name);
    area->setPen(QPen(colour, 1));
    QColor fill = colour;
    fill.setAlpha(kFillAlpha);
    area->setBrush(fill);
    chart->addSeries(area);
    return outline;
}

QChartView *ChartView(QWidget *parent, QAnyStringView name, const QString &title)
{
    auto *chart = new QChart;
    chart->setTitle(title);
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->legend()->setAlignment(Qt::AlignBottom);
    chart->layout()->setContentsMargins(0, 0, 0, 0);
    chart->setMargins(QMargins(4, 4, 4, 4));
    auto *view = new QChartView(chart, parent);
    view->setObjectName(name.toString());
    view->setAccessibleName(title);
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumHeight(kMinimumChartHeight);
    view->setFocusPolicy(Qt::NoFocus); // nothing in it takes a key
    return view;
}

void Attach(QChart *chart, QAbstractAxis *x, QAbstractAxis *y)
{
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    for (QAbstractSeries *series : chart->series()) {
        series->attachAxis(x);
        series->attachAxis(y);
    }
}

double HighestY(const QList<QPointF> &points, double highest)
{
    for (const QPointF &p : points)
        highest = std::max(highest, p.y());
    return highest;
}

} // namespace

PerfPlot::PerfPlot(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("PerfPlot"));
    chtTimeline = ChartView(this, "chtTimeline", QStringLiteral("Latency over the run"));
    QChart *timeline = chtTimeline->chart();
    m_write.p50 = Line(timeline, QStringLiteral("write p50"), kWriteColour, Qt::SolidLine);
    m_write.p99 = Line(timeline, QStringLiteral("write p99"), kWriteColour, Qt::DashLine);
    m_read.p50 = Line(timeline, QStringLiteral("read p50"), kReadColour, Qt::SolidLine);
    m_read.p99 = Line(timeline, QStringLiteral("read p99"), kReadColour, Qt::DashLine);
    auto *seconds = new QValueAxis(timeline);
    seconds->setTitleText(QStringLiteral("s"));
    seconds->setLabelFormat(QStringLiteral("%g"));
    auto *latency = new QValueAxis(timeline);
    latency->setLabelFormat(QStringLiteral("%g"));
    Attach(timeline, seconds, latency);

    chtHistogram = ChartView(this, "chtHistogram", QStringLiteral("Latency histogram"));
    QChart *histogram = chtHistogram->chart();
    m_write.histogram = Area(histogram, QStringLiteral("write"), kWriteColour);
    m_read.histogram = Area(histogram, QStringLiteral("read"), kReadColour);
    auto *bins = new QLogValueAxis(histogram);
    bins->setLabelFormat(QStringLiteral("%g"));
    bins->setMinorTickCount(-1);
    auto *counts = new QValueAxis(histogram);
    counts->setTitleText(QStringLiteral("cycles"));
    counts->setLabelFormat(QStringLiteral("%.0f"));
    Attach(histogram, bins, counts);

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(chtTimeline, 1);
    column->addWidget(chtHistogram, 1);
}

void PerfPlot::showProgress(const PerfStatistics &statistics)
{
    const double second = statistics.seconds();
    if (second < m_drawnAtSecond) { // a new run
        m_drawnAtSecond = 0;
        m_nextDrawSecond = kRedrawInterval.count();
    }
    if (second < m_nextDrawSecond)
        return;
    QElapsedTimer took;
    took.start();
    showStatistics(statistics);
    chtTimeline->repaint();
    chtHistogram->repaint();
    const double cost = double(took.nsecsElapsed()) / 1e9;
    m_drawnAtSecond = second;
    m_nextDrawSecond = second + std::max(kRedrawInterval.count(), cost / kShareOfRun);
}

void PerfPlot::showStatistics(const PerfStatistics &statistics)
{
    const LatencyHistogram &writes = statistics.histogram(PerfOp::Write);
    const LatencyHistogram &reads = statistics.histogram(PerfOp::Read);
    const LatencyUnit unit = UnitFor(std::max(writes.maxUs(), reads.maxUs()));

    double highest = 0;
    double lastSecond = 0;
    for (auto [op, lines] : {std::pair{PerfOp::Write, m_write}, std::pair{PerfOp::Read, m_read}}) {
        const LatencyTimeline &timeline = statistics.timeline(op);
        const QList<QPointF> p50 = TimelineSeries(timeline, TimelineQuantile::P50, unit);
        const QList<QPointF> p99 = TimelineSeries(timeline, TimelineQuantile::P99, unit);
        for (auto [line, points] : {std::pair{lines.p50, &p50}, std::pair{lines.p99, &p99}}) {
            line->replace(*points);
            line->setPointsVisible(points->size() == 1); // a line needs two
        }
        highest = HighestY(p99, highest);
        if (!p99.isEmpty()) {
            const double halfInterval = std::chrono::duration<double>(timeline.interval()).count() / 2;
            lastSecond = std::max(lastSecond, p99.last().x() + halfInterval);
        }
    }
    QChart *timeline = chtTimeline->chart();
    auto *seconds = static_cast<QValueAxis *>(timeline->axes(Qt::Horizontal).first());
    seconds->setRange(0, std::max(lastSecond, 1e-3));
    seconds->applyNiceNumbers();
    QAbstractAxis *latency = timeline->axes(Qt::Vertical).first();
    latency->setRange(0, std::max(highest * kHeadroom, 1.0));
    static_cast<QValueAxis *>(latency)->applyNiceNumbers();
    latency->setTitleText(unit.name);

    double low = 0;
    double high = 0;
    double most = 0;
    for (auto [histogram, line] : {std::pair{&writes, m_write.histogram}, std::pair{&reads, m_read.histogram}}) {
        const std::vector<HistogramBar> bars = HistogramBars(*histogram, kBars);
        const QList<QPointF> outline = HistogramOutline(bars, unit);
        line->replace(outline);
        most = HighestY(outline, most);
        if (bars.empty())
            continue;
        low = low > 0 ? std::min(low, bars.front().lowUs / unit.perUs) : bars.front().lowUs / unit.perUs;
        high = std::max(high, bars.back().highUs / unit.perUs);
    }
    QChart *histogram = chtHistogram->chart();
    QAbstractAxis *bins = histogram->axes(Qt::Horizontal).first();
    if (low > 0)
        bins->setRange(low / kLogMargin, high * kLogMargin);
    bins->setTitleText(unit.name);
    auto *counts = static_cast<QValueAxis *>(histogram->axes(Qt::Vertical).first());
    counts->setRange(0, std::max(most * kHeadroom, 1.0));
    counts->applyNiceNumbers();
}
