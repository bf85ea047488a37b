#pragma once

#include "BatchedRows.h"
#include "MonitorRows.h"

#include <chrono>
#include <optional>

// One row of the Monitor pane: a frame of one side (request, answer, stray, receive error) or
// what happened to a side's connection.
struct MonitorRow
{
    enum Kind { Request, Answer, Stray, Error, Opened, Connected, Disconnected, Closed, Reconnecting };
    Kind kind = Error;
    MonitorSide side = MonitorSide::Host;
    std::chrono::system_clock::time_point wall = std::chrono::system_clock::now();
    QString peer;
    QString text;
    QByteArray wire;
    std::optional<std::chrono::nanoseconds> answerTime;
};

MonitorRow MonitorRowOf(const MonitorFrame &frame);
MonitorRow MonitorRowOf(const MonitorEvent &event);

// The rows of the Monitor pane, bounded and published in batches as the Traffic pane's rows are
// (see BatchedRows): a busy pair lays the view out once per batch, and its rows never grow
// without bound.
class MonitorRowModel : public BatchedRows<MonitorRow>
{
    Q_OBJECT
public:
    enum Column { Time, Side, Kind, Peer, Text, AnswerMs, Hex, ColumnCount };

    explicit MonitorRowModel(QObject *parent = nullptr) : BatchedRows(parent) {}

    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
};
