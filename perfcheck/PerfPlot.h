#pragma once

#include "PerfStatistics.h"

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
    // The same during a run, drawn at once, but seldom: a redraw of both charts takes
    // milliseconds, which the run's cycles pay. The first comes after kRedrawInterval of the
    // run's time, each next one when that interval has passed again and the redraws have
    // taken no more than kShareOfRun of the run's time.
    void showProgress(const PerfStatistics &statistics);
    static constexpr std::chrono::duration<double> kRedrawInterval{0.5};
    static constexpr double kShareOfRun = 0.005;

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
    double m_drawnAtSecond = 0; // of the run under way
    double m_nextDrawSecond = kRedrawInterval.count();
};
