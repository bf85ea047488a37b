#pragma once

#include "PerfOutages.h"
#include "PerfRedrawBudget.h"
#include "PerfStatistics.h"

#include <QWidget>

class QChart;
class QChartView;
class QLineSeries;
class QAreaSeries;

// The plot of the run under way or of the last one: p50 and p99 of each operation over the
// run's time (chtTimeline), and the histogram of each operation's latencies (chtHistogram).
class PerfPlot : public QWidget
{
    Q_OBJECT
public:
    explicit PerfPlot(QWidget *parent = nullptr);

    // Draws the statistics as they stand.
    void showStatistics(const PerfStatistics &statistics);
    // The same during a run, drawn at once, but seldom: when the redraw budget allows.
    void showProgress(const PerfStatistics &statistics);
    // The times the line was away, shaded over the timeline from its next drawing on.
    void setOutages(const QList<PerfOutages::Span> &outages);

private:
    void fitValueAxes(); // to the tops and the room beside the plots

    struct Lines
    {
        QLineSeries *p50;
        QLineSeries *p99;
        QLineSeries *histogram;
        QAreaSeries *area;
    };
    QChartView *chtTimeline;
    QChartView *chtHistogram;
    Lines m_write;
    Lines m_read;
    QAreaSeries *m_outageArea;
    QList<PerfOutages::Span> m_outages;
    double m_secondsTop = 1;  // of the timeline's axes; the latency in its unit
    double m_latencyTop = 1;
    double m_countTop = 1;   // of the histogram's axis
    PerfRedrawBudget m_budget;
    double m_paintCost[2] = {}; // of each chart's latest paint, in seconds
};
