#include "PlanStepModel.h"

#include <QBrush>
#include <QColor>

namespace {
constexpr double kUsPerMs = 1000.0;
const QColor kPassedColor(0xd4, 0xf4, 0xd4);
const QColor kFailedColor(0xf8, 0xd0, 0xd0);
} // namespace

QString PlanResultText(const PlanStepResult &result)
{
    return result.passed ? QStringLiteral("passed") : QStringLiteral("failed: ") + result.reason;
}

QString PlanTimeText(const PlanStepResult &result)
{
    QString text = PlanMs(double(result.us) / kUsPerMs) + QStringLiteral(" ms");
    if (result.p99Ms)
        text += QStringLiteral(" (%1 requests, p50 %2 ms, p99 %3 ms)")
                    .arg(result.repetitions)
                    .arg(PlanMs(result.p50Ms.value_or(0)), PlanMs(*result.p99Ms));
    return text;
}

PlanStepModel::PlanStepModel(QObject *parent) : QAbstractTableModel(parent)
{
    m_publish.setSingleShot(true);
    m_publish.setInterval(kPublishMs);
    connect(&m_publish, &QTimer::timeout, this, &PlanStepModel::publish);
}

int PlanStepModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int PlanStepModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant PlanStepModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const Row &row = m_rows.at(index.row());
    const PlanStepResult *result = row.result ? &*row.result : nullptr;
    if (role == Qt::BackgroundRole)
        return result ? QVariant(QBrush(result->passed ? kPassedColor : kFailedColor)) : QVariant();
    if (role == Qt::ToolTipRole && result && !result->passed)
        return result->reason;
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    switch (index.column()) {
    case Step: return row.name;
    case Request: return result ? result->send : row.request;
    case Expected: return result ? result->expected : row.expected;
    case Answer: return result ? result->answer : QString();
    case Time: return result ? PlanTimeText(*result) : QString();
    case Result: return result ? PlanResultText(*result) : QString();
    default: return {};
    }
}

QVariant PlanStepModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case Step: return QStringLiteral("Step");
    case Request: return QStringLiteral("Request");
    case Expected: return QStringLiteral("Expected");
    case Answer: return QStringLiteral("Answer");
    case Time: return QStringLiteral("Time");
    case Result: return QStringLiteral("Result");
    default: return {};
    }
}

void PlanStepModel::setPlan(const Plan &plan)
{
    m_publish.stop();
    m_pending.clear();
    beginResetModel();
    m_rows.clear();
    m_rows.reserve(plan.steps.size());
    for (qsizetype i = 0; i < plan.steps.size(); ++i) {
        const PlanStep &step = plan.steps.at(i);
        Row row;
        row.name = step.name.isEmpty() ? QString::number(i + 1) : step.name;
        row.request = step.isPause() ? QStringLiteral("pause %1 ms").arg(step.pauseMs) : step.send;
        row.expected = step.judge == PlanJudgeKind::ExpectError ? step.expectErrorText : step.expect;
        m_rows.append(std::move(row));
    }
    endResetModel();
}

void PlanStepModel::clearResults()
{
    m_publish.stop();
    m_pending.clear();
    for (Row &row : m_rows)
        row.result.reset();
    if (!m_rows.isEmpty())
        emit dataChanged(index(0, 0), index(int(m_rows.size()) - 1, ColumnCount - 1));
}

void PlanStepModel::addResult(const PlanStepResult &result)
{
    m_pending.append(result);
    if (!m_publish.isActive())
        m_publish.start();
}

void PlanStepModel::publish()
{
    m_publish.stop();
    if (m_pending.isEmpty())
        return;
    int first = int(m_rows.size());
    int last = -1;
    for (PlanStepResult &result : m_pending) {
        if (result.index < 0 || result.index >= m_rows.size())
            continue;
        const int row = int(result.index);
        first = qMin(first, row);
        last = qMax(last, row);
        m_rows[row].result = std::move(result);
    }
    m_pending.clear();
    if (last >= first)
        emit dataChanged(index(first, 0), index(last, ColumnCount - 1));
    emit published();
}
