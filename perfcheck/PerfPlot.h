#pragma once

#include "PerfStatistics.h"

#include <QWidget>

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

    void showStatistics(const PerfStatistics &statistics);

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
};
