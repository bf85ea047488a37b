#pragma once

#include "TrafficRow.h"

#include <QAbstractTableModel>
#include <QList>
#include <QTimer>

// The rows of the Traffic pane, newest last, at most kMaxRows (the oldest go in chunks).
//
// Rows come in as fast as the engine passes frames, also within a synchronous wait; they
// collect and go into the model together at most once per kPublishMs, so that a view lays out
// once per batch, not once per frame. What waits is bounded like the rows.
class TrafficModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { Time, Kind, Peer, Text, Hex, ColumnCount };
    static constexpr int kMaxRows = 20000;
    static constexpr int kDropChunk = 1000;
    static constexpr int kPublishMs = 50;

    explicit TrafficModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Queues a row; it shows within kPublishMs.
    void add(TrafficRow row);
    // Moves the queued rows into the model now.
    void publish();
    void clear();
    const TrafficRow &row(int index) const { return m_rows.at(index); }

private:
    QList<TrafficRow> m_rows;
    QList<TrafficRow> m_pending;
    QTimer m_publish;
};
