#pragma once

#include <QFont>
#include <QStyledItemDelegate>

// Draws a log line with its tabs as column stops. The stop distance is chosen from the font so
// that one-tab captions ("Disconnect\t") and two-tab captions ("Connect\t\t") end at the same
// column, as the captions are written for.
class LogDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    explicit LogDelegate(QObject *parent = nullptr);

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

    static qreal tabStopFor(const QFontMetricsF &metrics);

private:
    // Measuring the captions shapes nine texts: done again only when the font changes.
    qreal tabStop(const QFont &font) const;

    mutable QFont m_stopFont;
    mutable qreal m_stop = -1;
};
