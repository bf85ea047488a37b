#include "LogModel.h"

LogModel::LogModel(QObject *parent) : QAbstractListModel(parent) {}

QModelIndex LogModel::index(int row, int column, const QModelIndex &parent) const
{
    if (column != 0 || row < 0 || row >= count() || parent.isValid())
        return {};
    return createIndex(row, 0);
}

int LogModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : count();
}

QVariant LogModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= count())
        return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return m_lines.at(index.row());
    return {};
}

void LogModel::append(const QString &line)
{
    if (count() >= kMaxLines) {
        beginRemoveRows({}, 0, kDropChunk - 1);
        // Removing from the front only moves the list's start: no copying of the rest.
        m_lines.remove(0, kDropChunk);
        endRemoveRows();
    }
    const int row = count();
    beginInsertRows({}, row, row);
    m_lines.append(line);
    endInsertRows();
}

void LogModel::clear()
{
    if (m_lines.isEmpty())
        return;
    beginResetModel();
    m_lines.clear();
    endResetModel();
}

QString LogModel::joined() const
{
    qsizetype size = 0;
    for (const QString &line : m_lines)
        size += line.size() + 2;
    QString text;
    text.reserve(size);
    for (const QString &line : m_lines) {
        text += line;
        text += QLatin1String("\r\n");
    }
    return text;
}
