#pragma once

#include "UserActions.h"
#include "WindowControls.h"
#include "OptionBox.h"
#include "frmConn.h"

#include <QPlainTextEdit>
#include <QTest>

#include <algorithm>
#include <memory>

// Shared steps of the dialog tests: the dialog made and shown for each test, typing, the
// option box, and the stored setting behind each numeric field.

const QString kComClientDefault =
    QStringLiteral("Conn=com:1:38400:N:8:1:0,PacketOpt=4:0:0:0,Timeout=500,Sync=True");

// Through the window, so the focus-leave guard sees the press before the focus moves.
inline void click(QWidget *widget)
{
    UserActions::Click(widget);
}

inline void typeInto(QLineEdit *field, const QString &text)
{
    field->setFocus();
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Delete);
    // Key clicks carry Latin-1 only; other characters are pasted in.
    if (std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; }))
        QTest::keyClicks(field, text);
    else
        field->insert(text);
}

inline QString option(frmConn *dialog)
{
    return Control<OptionBox>(dialog, "txtCmdOpt")->option();
}

// The stored setting behind a numeric field.
inline qint64 storedValue(const frmConn *dialog, const QString &field)
{
    const ConnSettings &stored = dialog->storedSettings();
    if (field == u"txtComPort")
        return stored.comPort.toLongLong();
    if (field == u"txtPortNumber")
        return stored.portNumber.toLongLong();
    if (field == u"txtConnMax")
        return stored.connMax.toLongLong();
    if (field == u"txtConnTimeout")
        return stored.connTimeout.toLongLong();
    if (field == u"txtEscape")
        return stored.escape.toLongLong();
    return stored.timeout.toLongLong();
}

// A type on which the field is shown and usable.
inline int typeShowing(const QString &field)
{
    if (field == u"txtComPort")
        return ComClient;
    if (field == u"txtPortNumber" || field == u"txtConnMax" || field == u"txtConnTimeout")
        return EtherServer;
    return EtherClient;
}

// A fresh dialog for each test, shown and active.
class DialogTest : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        m_dialog = std::make_unique<frmConn>();
        open();
    }
    void cleanup() { m_dialog.reset(); }

protected:
    void open()
    {
        m_dialog->show();
        QVERIFY(QTest::qWaitForWindowActive(m_dialog.get()));
    }
    std::unique_ptr<frmConn> m_dialog;
};
