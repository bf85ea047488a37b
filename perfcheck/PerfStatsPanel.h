#pragma once

#include "PerfOutages.h"
#include "PerfStatistics.h"

#include <QWidget>

class QLabel;
class QTableWidget;

// The figures of the run under way or of the last one: target, cycles, cycles per second,
// errors, outages of the line, and for write and read each min, mean, p50, p95, p99 and max. Its controls are
// named lblTarget, lblCycles, lblRate, lblErrors, lblOutages and tblLatency.
class PerfStatsPanel : public QWidget
{
    Q_OBJECT
public:
    explicit PerfStatsPanel(QWidget *parent = nullptr);

    void setTarget(const QString &name);
    void showFigures(const PerfFigures &figures);
    void showOutages(const QList<PerfOutages::Span> &outages);

private:
    QLabel *lblTarget;
    QLabel *lblCycles;
    QLabel *lblRate;
    QLabel *lblErrors;
    QLabel *lblOutages; // count and total length, while the line was away
    QTableWidget *tblLatency; // a row per operation, a column per figure
};
