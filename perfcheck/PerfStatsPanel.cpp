#include "PerfStatsPanel.h"

#include "Controls.h"
#include "PerfPlotData.h"

#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

const QString kNone = QStringLiteral("-");
constexpr int kWriteRow = 0;
constexpr int kReadRow = 1;
constexpr int kFiguresPerRow = 3;

QLabel *Figure(QWidget *parent, QAnyStringView name)
{
    QLabel *label = MakeLabel(parent, name, kNone);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

void ShowRow(QTableWidget *table, int row, const LatencySummary &s)
{
    const double figures[] = {s.min_us, s.mean_us, s.p50_us, s.p95_us, s.p99_us, s.max_us};
    for (int column = 0; column < int(std::size(figures)); ++column) {
        QTableWidgetItem *item = table->item(row, column);
        item->setText(s.count ? LatencyText(figures[column]) : kNone);
    }
}

} // namespace

PerfStatsPanel::PerfStatsPanel(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("PerfStatsPanel"));
    lblTarget = MakeLabel(this, "lblTarget", QString());
    lblCycles = Figure(this, "lblCycles");
    lblRate = Figure(this, "lblRate");
    lblErrors = Figure(this, "lblErrors");
    lblOutages = Figure(this, "lblOutages");
    auto *counts = new QGridLayout;
    const QString captions[] = {QStringLiteral("Cycles:"), QStringLiteral("Cycles/s:"), QStringLiteral("Errors:"),
                                QStringLiteral("Outages:")};
    QLabel *figures[] = {lblCycles, lblRate, lblErrors, lblOutages};
    for (int i = 0; i < int(std::size(figures)); ++i) {
        QLabel *caption = new QLabel(captions[i], this);
        NameByLabel(figures[i], caption);
        const int row = i / kFiguresPerRow;
        const int column = i % kFiguresPerRow;
        counts->addWidget(caption, row, 2 * column);
        counts->addWidget(figures[i], row, 2 * column + 1);
        counts->setColumnStretch(2 * column + 1, 1);
    }

    tblLatency = Named(new QTableWidget(2, 6, this), "tblLatency");
    tblLatency->setAccessibleName(QStringLiteral("Latency"));
    tblLatency->setHorizontalHeaderLabels({QStringLiteral("Min"), QStringLiteral("Mean"), QStringLiteral("p50"),
                                           QStringLiteral("p95"), QStringLiteral("p99"), QStringLiteral("Max")});
    tblLatency->setVerticalHeaderLabels({QStringLiteral("Write"), QStringLiteral("Read")});
    tblLatency->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tblLatency->setSelectionMode(QAbstractItemView::NoSelection);
    tblLatency->setFocusPolicy(Qt::NoFocus);
    tblLatency->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    tblLatency->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    tblLatency->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    for (int row = 0; row < tblLatency->rowCount(); ++row)
        for (int column = 0; column < tblLatency->columnCount(); ++column) {
            auto *item = new QTableWidgetItem(kNone);
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            tblLatency->setItem(row, column, item);
        }
    const int rows = tblLatency->horizontalHeader()->sizeHint().height()
                     + tblLatency->rowCount() * tblLatency->verticalHeader()->defaultSectionSize()
                     + 2 * tblLatency->frameWidth();
    tblLatency->setFixedHeight(rows);

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(lblTarget);
    column->addLayout(counts);
    column->addWidget(tblLatency);
}

void PerfStatsPanel::setTarget(const QString &name)
{
    lblTarget->setText(QStringLiteral("Target: ") + name);
}

void PerfStatsPanel::showFigures(const PerfFigures &figures)
{
    lblCycles->setText(QString::number(figures.cycles));
    lblRate->setText(figures.seconds > 0 ? RateText(figures.cyclesPerSecond) : kNone);
    lblErrors->setText(QString::number(figures.errors));
    ShowRow(tblLatency, kWriteRow, figures.write);
    ShowRow(tblLatency, kReadRow, figures.read);
}

void PerfStatsPanel::showOutages(const QList<PerfOutages::Span> &outages)
{
    lblOutages->setText(OutagesText(outages));
}
