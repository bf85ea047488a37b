#include "TrafficModel.h"

#include "TrafficText.h"

#include <QBrush>

TrafficModel::TrafficModel(QObject *parent) : QAbstractTableModel(parent)
{
    m_publish.setSingleShot(true);
    m_publish.setInterval(kPublishMs);
    connect(&m_publish, &QTimer::timeout, this, &TrafficModel::publish);
}

int TrafficModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int TrafficModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TrafficModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const TrafficRow &row = m_rows.at(index.row());
    if (role == Qt::ForegroundRole) {
        if (row.kind == TrafficRow::Error)
            return QBrush(Qt::red);
        return row.kind == TrafficRow::Gap ? QVariant(QBrush(Qt::darkGray)) : QVariant();
    }
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    switch (index.column()) {
    case Time: return TrafficTimeText(row.wall);
    case Kind: return TrafficKindText(row.kind);
    case Peer: return row.peer;
    case Text: return EscapedText(row.text);
    case Hex: return HexText(row.wire);
    default: return {};
    }
}

QVariant TrafficModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case Time: return QStringLiteral("Time");
    case Kind: return QStringLiteral("What");
    case Peer: return QStringLiteral("Peer");
    case Text: return QStringLiteral("Text");
    case Hex: return QStringLiteral("Bytes");
    default: return {};
    }
}

void TrafficModel::add(TrafficRow row)
{
    if (m_pending.size() >= kMaxRows)
        m_pending.remove(0, kDropChunk);
    m_pending.append(std::move(row));
    if (!m_publish.isActive())
        m_publish.start();
}

void TrafficModel::publish()
{
    m_publish.stop();
    if (m_pending.isEmpty())
        return;
    // Room for the batch: the oldest rows go in whole chunks.
    const qsizetype over = m_rows.size() + m_pending.size() - kMaxRows;
    if (over > 0) {
        const int drop = int(qMin(m_rows.size(), (over + kDropChunk - 1) / kDropChunk * kDropChunk));
        if (drop > 0) {
            beginRemoveRows({}, 0, drop - 1);
            m_rows.remove(0, drop);
            endRemoveRows();
        }
    }
    const int first = int(m_rows.size());
    beginInsertRows({}, first, first + int(m_pending.size()) - 1);
    m_rows.append(std::move(m_pending));
    endInsertRows();
    m_pending = {};
}

void TrafficModel::clear()
{
    m_pending.clear();
    m_publish.stop();
    if (m_rows.isEmpty())
        return;
    beginResetModel();
    m_rows.clear();
    endResetModel();
}
