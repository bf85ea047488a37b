#include "StatusLine.h"

#include <QPainter>
#include <QStyle>

namespace {
constexpr int kMargin = 2;
constexpr int kHintChars = 20;
} // namespace

StatusLine::StatusLine(QWidget *parent) : QWidget(parent), m_repaint(this, [this] { update(); }) {}

void StatusLine::setText(const QString &text)
{
    if (text == m_text)
        return;
    m_text = text;
    setAccessibleName(text);
    m_repaint.request();
}

QSize StatusLine::sizeHint() const
{
    return {fontMetrics().averageCharWidth() * kHintChars, fontMetrics().height() + 2 * kMargin};
}

QSize StatusLine::minimumSizeHint() const
{
    return {0, fontMetrics().height() + 2 * kMargin};
}

void StatusLine::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QRect area = contentsRect().adjusted(kMargin, 0, -kMargin, 0);
    const QString shown = fontMetrics().elidedText(m_text, Qt::ElideRight, area.width());
    style()->drawItemText(&painter, area, Qt::AlignLeft | Qt::AlignVCenter, palette(), isEnabled(), shown,
                          foregroundRole());
}
