#include "LogDelegate.h"

#include "Captions.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QPainter>
#include <QTextOption>

#include <algorithm>

namespace {

constexpr int kMargin = 3;

// The captions' texts without their tabs, by how many tabs follow them.
QStringList captionsWithTabs(qsizetype tabs)
{
    QStringList texts;
    for (const QString &caption : LogCaption::All) {
        const qsizetype text = caption.indexOf(u'\t');
        if (caption.size() - text == tabs)
            texts << caption.left(text);
    }
    return texts;
}

const QStringList &oneTabCaptions()
{
    static const QStringList captions = captionsWithTabs(1);
    return captions;
}

const QStringList &twoTabCaptions()
{
    static const QStringList captions = captionsWithTabs(2);
    return captions;
}

} // namespace

LogDelegate::LogDelegate(QObject *parent) : QStyledItemDelegate(parent) {}

qreal LogDelegate::tabStopFor(const QFontMetricsF &metrics)
{
    qreal widestShort = 0;
    for (const QString &caption : twoTabCaptions())
        widestShort = std::max(widestShort, metrics.horizontalAdvance(caption));
    qreal narrowestLong = 1e9;
    for (const QString &caption : oneTabCaptions())
        narrowestLong = std::min(narrowestLong, metrics.horizontalAdvance(caption));
    const qreal gap = metrics.averageCharWidth();
    // Between the widest two-tab caption and the narrowest one-tab caption when the font allows
    // it; otherwise just past the two-tab ones.
    if (narrowestLong - widestShort > gap)
        return (widestShort + narrowestLong) / 2;
    return widestShort + gap;
}

qreal LogDelegate::tabStop(const QFont &font) const
{
    if (m_stop < 0 || font != m_stopFont) {
        m_stopFont = font;
        m_stop = tabStopFor(QFontMetricsF(font));
    }
    return m_stop;
}

void LogDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                        const QModelIndex &index) const
{
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QString text = opt.text;
    opt.text.clear();
    const QWidget *widget = opt.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

    QTextOption textOption(Qt::AlignLeft | Qt::AlignVCenter);
    textOption.setWrapMode(QTextOption::NoWrap);
    textOption.setTabStopDistance(tabStop(opt.font));
    const bool selected = opt.state & QStyle::State_Selected;
    const QPalette::ColorGroup group = (opt.state & QStyle::State_Enabled) ? QPalette::Normal
                                                                           : QPalette::Disabled;
    painter->save();
    painter->setFont(opt.font);
    painter->setPen(opt.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
    painter->drawText(QRectF(opt.rect.adjusted(kMargin, 0, -kMargin, 0)), text, textOption);
    painter->restore();
}

QSize LogDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const QFontMetricsF metrics(option.font);
    const QString text = index.data(Qt::DisplayRole).toString();
    const int stop = qRound(tabStop(option.font));
    const QSizeF size = metrics.size(Qt::TextSingleLine | Qt::TextExpandTabs, text, stop);
    return QSize(qCeil(size.width()) + 2 * kMargin, qCeil(metrics.height()) + 2);
}
