#include "FocusLeaveGuard.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScopedValueRollback>
#include <QShortcutEvent>
#include <QWheelEvent>
#include <QWidget>
#include <QWindow>

FocusLeaveGuard::FocusLeaveGuard(QWidget *window) : QObject(window), m_window(window)
{
    qApp->installEventFilter(this);
}

FocusLeaveGuard::~FocusLeaveGuard()
{
    qApp->removeEventFilter(this);
}

void FocusLeaveGuard::addField(QWidget *field, Check check)
{
    m_checks.insert(field, std::move(check));
    // A freed address may come back as another widget: forget the field before that.
    connect(field, &QObject::destroyed, this, [this, field] { m_checks.remove(field); });
}

QWidget *FocusLeaveGuard::guardedField() const
{
    QWidget *focus = QApplication::focusWidget();
    if (!focus || !m_checks.contains(focus) || !liesInWindow(focus))
        return nullptr;
    return focus;
}

bool FocusLeaveGuard::liesInWindow(const QWidget *widget) const
{
    return m_window && widget && (widget == m_window || m_window->isAncestorOf(widget));
}

QWidget *FocusLeaveGuard::widgetAt(QWindow *window, const QPointF &position) const
{
    if (!m_window)
        return nullptr;
    QWidget *top = m_window->window();
    if (top->windowHandle() != window)
        return nullptr;
    QWidget *target = top->childAt(position.toPoint());
    if (!target)
        target = top;
    return liesInWindow(target) ? target : nullptr;
}

bool FocusLeaveGuard::allowLeave(QWidget *field, const QWidget *target)
{
    if (target == field || field->isAncestorOf(target))
        return true;
    const Check check = m_checks.value(field); // a copy: the check may add or drop fields
    const QScopedValueRollback checking(m_checking, true);
    return !check || check();
}

bool FocusLeaveGuard::eventFilter(QObject *watched, QEvent *event)
{
    if (m_checking)
        return false;
    if (watched->isWidgetType())
        return filterWidgetEvent(static_cast<QWidget *>(watched), event);
    if (watched->isWindowType())
        return filterWindowEvent(static_cast<QWindow *>(watched), event);
    return false;
}

// Mouse and wheel are judged on the window, before the widget layer gives the focus to the
// widget under the pointer; the widget-level copy of a passed event is not checked again.
bool FocusLeaveGuard::filterWindowEvent(QWindow *window, QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        QWidget *target = widgetAt(window, mouse->position());
        if (!target)
            return false;
        if (event->type() == QEvent::MouseButtonDblClick && m_refusedPress)
            return true;
        QWidget *field = guardedField();
        m_refusedPress = field && !allowLeave(field, target);
        return m_refusedPress;
    }
    case QEvent::MouseButtonRelease: {
        if (!m_refusedPress || !widgetAt(window, static_cast<QMouseEvent *>(event)->position()))
            return false;
        if (static_cast<QMouseEvent *>(event)->buttons() == Qt::NoButton)
            m_refusedPress = false;
        return true;
    }
    case QEvent::Wheel: {
        QWidget *target = widgetAt(window, static_cast<QWheelEvent *>(event)->position());
        QWidget *field = guardedField();
        return target && field && !allowLeave(field, target);
    }
    default:
        return false;
    }
}

bool FocusLeaveGuard::filterWidgetEvent(QWidget *widget, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress: {
        QWidget *field = guardedField();
        // Parents see an unaccepted key again; only the first delivery, to the field, counts.
        if (!field || widget != field)
            return false;
        const auto *key = static_cast<QKeyEvent *>(event);
        const bool leaves = key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab
            || key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter
            || ((key->modifiers() & Qt::AltModifier) && key->key() != Qt::Key_Alt);
        // The target is unknown yet: anything but the field itself.
        return leaves && !allowLeave(field, nullptr);
    }
    case QEvent::Shortcut: {
        const auto *shortcut = static_cast<QShortcutEvent *>(event);
        if (shortcut->key() == QKeySequence(Qt::Key_Escape))
            return false;
        QWidget *field = guardedField();
        return field && liesInWindow(widget) && !allowLeave(field, widget);
    }
    default:
        return false;
    }
}
