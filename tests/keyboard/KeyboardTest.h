#pragma once

#include <QApplication>
#include <QTest>
#include <QWidget>

// Shared steps of the keyboard tests: every key goes, as a real press would, to the focus
// widget of the active window (or to the open pop-up menu).
namespace KeyboardTest {

inline bool ShowActive(QWidget *window)
{
    window->show();
    window->activateWindow();
    return QTest::qWaitForWindowActive(window);
}

inline QString FocusName()
{
    const QWidget *focus = QApplication::focusWidget();
    return focus ? focus->objectName() : QStringLiteral("(none)");
}

inline void Press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QTest::keyClick(static_cast<QWidget *>(nullptr), key, modifiers);
}

// A letter as typed, carrying its text, which is what a menu matches its mnemonics against.
inline void Type(char letter, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QTest::keyClick(static_cast<QWidget *>(nullptr), letter, modifiers);
}

} // namespace KeyboardTest
