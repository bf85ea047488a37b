#include "PerfPlot.h"

#include "PerfPlotData.h"

#include <QAreaSeries>
#include <QChart>
#include <QChartView>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QGraphicsLayout>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QValueAxis>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <functional>
#include <tuple>

namespace {

constexpr int kBars = 40;
constexpr int kMostIntervals = 5;  // between the ticks of a value axis
constexpr int kLabelPadding = 4;   // the charts' own, on either side of a tick label
const QString kWidestSecondsLabel = QStringLiteral("0000.5");
constexpr int kMinimumChartHeight = 170;
constexpr double kHeadroom = 1.1;  // above the highest point
constexpr double kLogMargin = 1.2; // beyond the outermost bar edges
constexpr int kFillAlpha = 90;
constexpr double kLeastSeconds = 1e-3; // of the timeline's axis

const QColor kWriteColour(0xd0, 0x50, 0x20);
const QColor kReadColour(0x20, 0x60, 0xc0);
const QColor kOutageColour(0x80, 0x80, 0x80);

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

// A filled outline down to zero; its upper line carries the points.
QAreaSeries *Area(QChart *chart, const QString &name, const QColor &colour)
{
    auto *area = new QAreaSeries(new QLineSeries(chart));
    area->setName(name);
    area->setPen(QPen(colour, 1));
    QColor fill = colour;
    fill.setAlpha(kFillAlpha);
    area->setBrush(fill);
    chart->addSeries(area);
    return area;
}

// A chart view that tells how long each of its paints took, in seconds.
class TimedChartView : public QChartView
{
public:
    TimedChartView(QChart *chart, QWidget *parent, std::function<void(double)> painted)
        : QChartView(chart, parent), m_painted(std::move(painted))
    {
    }

protected:
    void paintEvent(QPaintEvent *event) override
    {
        QElapsedTimer took;
        took.start();
        QChartView::paintEvent(event);
        m_painted(double(took.nsecsElapsed()) / 1e9);
    }

private:
    std::function<void(double)> m_painted;
};

QChartView *ChartView(QWidget *parent, QAnyStringView name, const QString &title, std::function<void(double)> painted)
{
    auto *chart = new QChart;
    chart->setTitle(title);
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->legend()->setAlignment(Qt::AlignBottom);
    chart->layout()->setContentsMargins(0, 0, 0, 0);
    chart->setMargins(QMargins(4, 4, 4, 4));
    auto *view = new TimedChartView(chart, parent, std::move(painted));
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

// A line with nothing to draw is hidden, its legend entry with it.
void Show(QLineSeries *line, const QList<QPointF> &points)
{
    line->replace(points);
    line->setVisible(!points.isEmpty());
}

// An axis of a chart from 0 to at least top, its ticks 1, 2 or 5 times a power of ten apart
// (whole numbers apart when whole), as many as their labels have room for along the plot: a
// chart elides every label of a crowded axis to "...".
void SetValueRange(QChart *chart, Qt::Orientation orientation, double top, bool whole)
{
    auto *axis = static_cast<QValueAxis *>(chart->axes(orientation).constFirst());
    const QFontMetrics metrics(axis->labelsFont());
    const bool vertical = orientation == Qt::Vertical;
    const int room = (vertical ? metrics.height() : metrics.horizontalAdvance(kWidestSecondsLabel)) + 2 * kLabelPadding;
    const qreal length = vertical ? chart->plotArea().height() : chart->plotArea().width();
    const int intervals = std::clamp(int(length) / room, 1, kMostIntervals);
    const double least = top / intervals;
    const double decade = std::pow(10.0, std::floor(std::log10(least)));
    double step = decade;
    for (double multiple : {1.0, 2.0, 5.0, 10.0}) {
        step = multiple * decade;
        if (step >= least)
            break;
    }
    if (whole)
        step = std::max(step, 1.0);
    axis->setTickType(QValueAxis::TicksDynamic);
    axis->setTickAnchor(0);
    axis->setTickInterval(step);
    axis->setRange(0, std::ceil(top / step) * step);
}

} // namespace

PerfPlot::PerfPlot(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("PerfPlot"));
    const auto painted = [this](int chart) {
        return [this, chart](double cost) {
            m_paintCost[chart] = cost;
            m_budget.timed(m_paintCost[0] + m_paintCost[1]);
        };
    };
    chtTimeline = ChartView(this, "chtTimeline", QStringLiteral("Latency over the run"), painted(0));
    QChart *timeline = chtTimeline->chart();
    m_write.p50 = Line(timeline, QStringLiteral("write p50"), kWriteColour, Qt::SolidLine);
    m_write.p99 = Line(timeline, QStringLiteral("write p99"), kWriteColour, Qt::DashLine);
    m_read.p50 = Line(timeline, QStringLiteral("read p50"), kReadColour, Qt::SolidLine);
    m_read.p99 = Line(timeline, QStringLiteral("read p99"), kReadColour, Qt::DashLine);
    m_outageArea = Area(timeline, QStringLiteral("outage"), kOutageColour);
    auto *seconds = new QValueAxis(timeline);
    seconds->setTitleText(QStringLiteral("s"));
    seconds->setLabelFormat(QStringLiteral("%g"));
    auto *latency = new QValueAxis(timeline);
    latency->setLabelFormat(QStringLiteral("%g"));
    Attach(timeline, seconds, latency);

    chtHistogram = ChartView(this, "chtHistogram", QStringLiteral("Latency histogram"), painted(1));
    QChart *histogram = chtHistogram->chart();
    for (auto [lines, name, colour] : {std::tuple{&m_write, QStringLiteral("write"), kWriteColour},
                                       std::tuple{&m_read, QStringLiteral("read"), kReadColour}}) {
        lines->area = Area(histogram, name, colour);
        lines->histogram = lines->area->upperSeries();
    }
    auto *bins = new QLogValueAxis(histogram);
    bins->setLabelFormat(QStringLiteral("%g"));
    bins->setMinorTickCount(-1);
    auto *counts = new QValueAxis(histogram);
    counts->setTitleText(QStringLiteral("cycles"));
    counts->setLabelFormat(QStringLiteral("%.0f"));
    Attach(histogram, bins, counts);
    for (QAbstractSeries *series : timeline->series() + histogram->series())
        series->setVisible(false); // until it has something to draw
    for (QChart *chart : {timeline, histogram})
        connect(chart, &QChart::plotAreaChanged, this, &PerfPlot::fitValueAxes);
    fitValueAxes();

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(chtTimeline, 1);
    column->addWidget(chtHistogram, 1);
}

void PerfPlot::showProgress(const PerfStatistics &statistics)
{
    const double second = statistics.seconds();
    if (!m_budget.due(second))
        return;
    QElapsedTimer took;
    took.start();
    showStatistics(statistics);
    // The charts lay themselves out and update their scenes in posted events: handled here,
    // that work counts in the budget too, and one repaint shows all of it.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    for (QChartView *view : {chtTimeline, chtHistogram})
        QCoreApplication::sendPostedEvents(view->scene(), QEvent::MetaCall);
    chtTimeline->repaint();
    chtHistogram->repaint();
    m_budget.spent(second, double(took.nsecsElapsed()) / 1e9);
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
            Show(line, *points);
            line->setPointsVisible(points->size() == 1); // a line needs two
        }
        highest = HighestY(p99, highest);
        if (!p99.isEmpty()) {
            const double halfInterval = std::chrono::duration<double>(timeline.interval()).count() / 2;
            lastSecond = std::max(lastSecond, p99.last().x() + halfInterval);
        }
    }
    for (const PerfOutages::Span &outage : m_outages)
        lastSecond = std::max(lastSecond, std::chrono::duration<double>(outage.start + outage.length).count());
    QChart *timeline = chtTimeline->chart();
    m_secondsTop = std::max(lastSecond, kLeastSeconds);
    m_latencyTop = std::max(highest * kHeadroom, 1.0);
    timeline->axes(Qt::Vertical).constFirst()->setTitleText(unit.name);

    double low = 0;
    double high = 0;
    double most = 0;
    for (auto [histogram, lines] : {std::pair{&writes, &m_write}, std::pair{&reads, &m_read}}) {
        const std::vector<HistogramBar> bars = HistogramBars(*histogram, kBars);
        const QList<QPointF> outline = HistogramOutline(bars, unit);
        lines->histogram->replace(outline);
        lines->area->setVisible(!outline.isEmpty());
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
    m_countTop = std::max(most * kHeadroom, 1.0);
    fitValueAxes();
}

void PerfPlot::setOutages(const QList<PerfOutages::Span> &outages)
{
    m_outages = outages;
}

void PerfPlot::fitValueAxes()
{
    SetValueRange(chtTimeline->chart(), Qt::Horizontal, m_secondsTop, false);
    SetValueRange(chtTimeline->chart(), Qt::Vertical, m_latencyTop, false);
    SetValueRange(chtHistogram->chart(), Qt::Vertical, m_countTop, true);
    // The boxes reach the top of the axis as it now stands.
    const auto *latency = static_cast<QValueAxis *>(chtTimeline->chart()->axes(Qt::Vertical).constFirst());
    m_outageArea->upperSeries()->replace(OutageOutline(m_outages, latency->max()));
    m_outageArea->setVisible(!m_outages.isEmpty());
}
