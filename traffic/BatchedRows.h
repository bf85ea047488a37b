#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QTimer>

// The rows of a pane, newest last, at most kMaxRows (the oldest go in chunks).
//
// Rows come in as fast as frames pass, also within a synchronous wait; they collect and go into
// the model together at most once per kPublishMs, so that a view lays out once per batch, not
// once per frame. What waits is bounded like the rows. A model derives from it and says what
// its columns show.
template<typename Row>
class BatchedRows : public QAbstractTableModel
{
public:
    static constexpr int kMaxRows = 20000;
    static constexpr int kDropChunk = 1000;
    static constexpr int kPublishMs = 50;

    int rowCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : int(m_rows.size()); }

    // Queues a row; it shows within kPublishMs.
    void add(Row row)
    {
        if (m_pending.size() >= kMaxRows)
            m_pending.remove(0, kDropChunk);
        m_pending.append(std::move(row));
        if (!m_publish.isActive())
            m_publish.start();
    }

    // Moves the queued rows into the model now.
    void publish()
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

    void clear()
    {
        m_pending.clear();
        m_publish.stop();
        if (m_rows.isEmpty())
            return;
        beginResetModel();
        m_rows.clear();
        endResetModel();
    }

    const Row &row(int index) const { return m_rows.at(index); }

protected:
    explicit BatchedRows(QObject *parent) : QAbstractTableModel(parent)
    {
        m_publish.setSingleShot(true);
        m_publish.setInterval(kPublishMs);
        QObject::connect(&m_publish, &QTimer::timeout, this, [this] { publish(); });
    }

    // The row a view asks for, or none.
    const Row *rowAt(const QModelIndex &index) const
    {
        return index.isValid() && index.row() < m_rows.size() ? &m_rows.at(index.row()) : nullptr;
    }

private:
    QList<Row> m_rows;
    QList<Row> m_pending;
    QTimer m_publish;
};
