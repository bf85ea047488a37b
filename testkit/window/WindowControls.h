#pragma once

#include <QAction>
#include <QAnyStringView>
#include <QObject>
#include <QString>
#include <QtGlobal>

// Tests and the tour reach a window's controls by their objectNames, the names the description
// gives them ("cmdSend", "txtKELCmd(0)"), never through the window's members. A missing control
// ends the program with its name: every test after it would only fail for the same reason.
template<typename T = QWidget>
T *Control(const QObject *window, QAnyStringView name)
{
    const QString wanted = name.toString();
    T *found = window->findChild<T *>(wanted);
    if (!found)
        qFatal("%s has no %s", qPrintable(window->objectName()), qPrintable(wanted));
    return found;
}

// A control array element: Control<QLineEdit>(w, Element("txtKELCmd", 0)).
inline QString Element(QAnyStringView name, int index)
{
    return QStringLiteral("%1(%2)").arg(name.toString()).arg(index);
}

// A menu command, found like a control.
inline QAction *Command(const QObject *window, QAnyStringView name)
{
    return Control<QAction>(window, name);
}
