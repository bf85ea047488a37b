#pragma once

#include <QAbstractListModel>
#include <QList>
#include <QString>

// The log lines, newest last. Appending is O(1) amortised: at the limit the oldest lines go in
// one chunk, so the views see one removal per chunk instead of one per line.
class LogModel : public QAbstractListModel
{
    Q_OBJECT
public:
    static constexpr int kMaxLines = 32767;
    static constexpr int kDropChunk = 1024;

    explicit LogModel(QObject *parent = nullptr);

    // The view lays out by asking for every row's index: kept to a bounds check.
    QModelIndex index(int row, int column = 0, const QModelIndex &parent = {}) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    void append(const QString &line);
    void clear();
    const QString &line(int row) const { return m_lines.at(row); }
    int count() const { return int(m_lines.size()); }
    // Every line followed by CR LF, the last included.
    QString joined() const;

private:
    QList<QString> m_lines;
};
