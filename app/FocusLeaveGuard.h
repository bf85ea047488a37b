#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>

#include <functional>

class QWidget;
class QWindow;

// Runs a field's check before the focus leaves it by a mouse press or double-click elsewhere
// in the window, a wheel turn over another control, Tab/Backtab, Return/Enter or a mnemonic,
// and eats that event when the check fails, so the focus stays and the action does not happen.
// Escape and focus changes made by code are not checked.
class FocusLeaveGuard : public QObject
{
    Q_OBJECT
public:
    using Check = std::function<bool()>; // true lets the focus go

    explicit FocusLeaveGuard(QWidget *window);
    ~FocusLeaveGuard() override;

    void addField(QWidget *field, Check check);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *guardedField() const;
    bool liesInWindow(const QWidget *widget) const;
    QWidget *widgetAt(QWindow *window, const QPointF &position) const;
    bool filterWindowEvent(QWindow *window, QEvent *event);
    bool filterWidgetEvent(QWidget *widget, QEvent *event);
    // Runs the field's check unless the target is the field itself; true when the event may pass.
    bool allowLeave(QWidget *field, const QWidget *target);

    QPointer<QWidget> m_window;
    QHash<QWidget *, Check> m_checks;
    bool m_checking = false;
    bool m_refusedPress = false; // eat the rest of a refused click: release and double-click
};
