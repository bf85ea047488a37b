#include "StatusLine.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPainter>
#include <QStyle>

namespace {
constexpr int kMargin = 2;
constexpr int kHintChars = 20;

// Static text whose name is the line's text, as a label's is.
class AccessibleStatusLine : public QAccessibleWidget
{
public:
    explicit AccessibleStatusLine(StatusLine *line) : QAccessibleWidget(line, QAccessible::StaticText) {}

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty())
            return static_cast<const StatusLine *>(widget())->text();
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface *StatusLineInterface(const QString &className, QObject *object)
{
    if (className == QLatin1String(StatusLine::staticMetaObject.className()))
        return new AccessibleStatusLine(static_cast<StatusLine *>(object));
    return nullptr;
}

} // namespace

StatusLine::StatusLine(QWidget *parent) : QWidget(parent), m_repaint(this, [this] { update(); })
{
    static const bool installed = [] {
        QAccessible::installFactory(StatusLineInterface);
        return true;
    }();
    Q_UNUSED(installed);
}

void StatusLine::setText(const QString &text)
{
    if (text == m_text)
        return;
    m_text = text;
    if (accessibleName().isEmpty()) { // the text is the name, as a label's is
        QAccessibleEvent named(this, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&named);
    }
    m_repaint.request();
    emit textChanged(m_text);
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
