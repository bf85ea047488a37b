#pragma once

#include "PerfStatistics.h"

#include <QElapsedTimer>
#include <QWidget>

#include <chrono>

class QChart;
class QChartView;
class QLineSeries;

// The plot of the run under way or of the last one: p50 and p99 of each operation over the
// run's time (chtTimeline), and the histogram of each operation's latencies (chtHistogram).
class PerfPlot : public QWidget
{
    Q_OBJECT
public:
    explicit PerfPlot(QWidget *parent = nullptr);

    // Draws the statistics as they stand.
    void showStatistics(const PerfStatistics &statistics);
    // The same during a run, at most once per kRedrawInterval: a redraw of both charts takes
    // a few milliseconds, which the run's cycles should not pay ten times a second.
    void showProgress(const PerfStatistics &statistics);
    static constexpr std::chrono::milliseconds kRedrawInterval{500};

private:
    struct Lines
    {
        QLineSeries *p50;
        QLineSeries *p99;
        QLineSeries *histogram;
    };
    QChartView *chtTimeline;
    QChartView *chtHistogram;
    Lines m_write;
    Lines m_read;
    QElapsedTimer m_sinceRedraw;
};
