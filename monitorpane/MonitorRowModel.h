#pragma once

#include "MonitorRows.h"

#include <QAbstractTableModel>
#include <QList>
#include <QTimer>

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

// The rows of the Monitor pane, newest last, bounded and published in batches as the Traffic
// pane's rows are: a busy pair lays the view out once per batch, and its rows never grow
// without bound.
class MonitorRowModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { Time, Side, Kind, Peer, Text, AnswerMs, Hex, ColumnCount };

    explicit MonitorRowModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    void add(MonitorRow row);
    void publish();
    void clear();
    const MonitorRow &row(int index) const { return m_rows.at(index); }

private:
    QList<MonitorRow> m_rows;
    QList<MonitorRow> m_pending;
    QTimer m_publish;
};
