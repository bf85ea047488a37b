#pragma once

#include "Plan.h"
#include "PlanReport.h"

#include <QAbstractTableModel>
#include <QList>
#include <QTimer>

#include <optional>

// The rows of the Test Plan pane: one per step of the open plan, with its result once it ran
// (passed rows green, failed rows red with the reason as text and tool tip).
//
// Results come in as fast as the steps run; they collect and go into the model together at
// most once per kPublishMs, so that a view repaints once per batch, not once per step.
class PlanStepModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { Step, Request, Expected, Answer, Time, Result, ColumnCount };
    static constexpr int kPublishMs = 40;

    explicit PlanStepModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // A row per step of the plan, with no results.
    void setPlan(const Plan &plan);
    // Drops the results, keeping the steps.
    void clearResults();
    // Queues a result; it shows within kPublishMs.
    void addResult(const PlanStepResult &result);
    // Moves the queued results into the model now.
    void publish();

signals:
    void published();

private:
    struct Row
    {
        QString name;
        QString request;
        QString expected;
        std::optional<PlanStepResult> result;
    };
    QList<Row> m_rows;
    QList<PlanStepResult> m_pending;
    QTimer m_publish;
};

// A result's Result column: "passed", or "failed: <reason>".
QString PlanResultText(const PlanStepResult &result);
// A result's Time column: "0.41 ms"; a repeat adds its count and percentiles.
QString PlanTimeText(const PlanStepResult &result);
