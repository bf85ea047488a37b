#pragma once

#include <QApplication>
#include <QPoint>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QWidget;

// What a user does with the mouse and the keyboard, sent through the windows so that focus
// moves, field checks and handlers run as they do for a person at the desk.
namespace UserActions {

// A click through the control's window, so that the focus-leave checks see the press before
// the focus moves: at the given point of the control, or else where a press takes effect
// (the indicator and caption of a check box or option button, the centre of anything else).
void Click(QWidget *control, Qt::MouseButton button = Qt::LeftButton, QPoint at = QPoint(-1, -1));
// Clicks into the field, selects its text and types the new one over it.
void Type(QLineEdit *field, const QString &text);
// Gives the list the focus and steps through it with the arrow keys until the item shows.
bool Choose(QComboBox *box, const QString &item);
void Tick(QCheckBox *box, bool on);
// Tab: the focus moves on, and the field's own check runs.
void Leave(QWidget *field);

// Runs the event loop until done() holds or timeoutMs pass; the result is done().
bool WaitFor(const std::function<bool()> &done, int timeoutMs);

// Calls act on the modal window of type T once it is up. For use just before the call that
// shows the window and blocks in its exec(). onMissing runs when none shows within timeoutMs.
template<typename T>
void WhenModal(std::function<void(T *)> act, std::function<void()> onMissing, int timeoutMs = 5000)
{
    auto *poll = new QTimer(qApp);
    auto waited = std::make_shared<int>(0);
    constexpr int kSliceMs = 20;
    QObject::connect(poll, &QTimer::timeout, poll, [poll, waited, act, onMissing, timeoutMs] {
        if (auto *window = qobject_cast<T *>(QApplication::activeModalWidget());
            window && window->isVisible()) {
            poll->deleteLater();
            poll->stop();
            act(window);
        } else if ((*waited += kSliceMs) >= timeoutMs) {
            poll->deleteLater();
            poll->stop();
            onMissing();
        }
    });
    poll->start(kSliceMs);
}

} // namespace UserActions
