#include "frmKELTester.h"

#include "Controls.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

// Tools > Reconnect Automatically: for now a check item that a profile keeps and sets; what it
// does comes with the reconnecting session.
void frmKELTester::buildToolsMenu()
{
    auto *tools = findChild<QMenu *>(QStringLiteral("mnuTools"));
    if (!tools) {
        tools = NameMenu(new QMenu(QStringLiteral("&Tools"), this), "mnuTools");
        menuBar()->insertMenu(mnuHelp->menuAction(), tools);
    }
    const QList<QAction *> before = tools->actions();
    mnuToolsReconnect = new QAction(QStringLiteral("&Reconnect Automatically"), tools);
    mnuToolsReconnect->setObjectName(QStringLiteral("mnuToolsReconnect"));
    mnuToolsReconnect->setCheckable(true);
    tools->insertAction(before.isEmpty() ? nullptr : before.constFirst(), mnuToolsReconnect);
}

bool frmKELTester::reconnectAutomatically() const
{
    return mnuToolsReconnect->isChecked();
}

void frmKELTester::setReconnectAutomatically(bool on)
{
    mnuToolsReconnect->setChecked(on);
}
