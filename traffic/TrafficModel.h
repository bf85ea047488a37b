#pragma once

#include "BatchedRows.h"
#include "TrafficRow.h"

// The rows of the Traffic pane: see BatchedRows.
class TrafficModel : public BatchedRows<TrafficRow>
{
    Q_OBJECT
public:
    enum Column { Time, Kind, Peer, Text, Hex, ColumnCount };

    explicit TrafficModel(QObject *parent = nullptr) : BatchedRows(parent) {}

    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
};
