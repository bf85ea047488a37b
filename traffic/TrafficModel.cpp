#include "TrafficModel.h"

#include "TrafficText.h"

#include <QBrush>

int TrafficModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TrafficModel::data(const QModelIndex &index, int role) const
{
    const TrafficRow *found = rowAt(index);
    if (!found)
        return {};
    const TrafficRow &row = *found;
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
