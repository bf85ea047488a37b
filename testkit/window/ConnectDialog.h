#pragma once

#include "ConnectOption.h"

#include <QString>

#include <functional>

class frmConn;
class frmKELTester;

// What a test or the tour chooses in the connection dialog.
struct ConnChoice
{
    ConnType type = EtherClient;
    QString ip = QStringLiteral("127.0.0.1");
    quint16 port = 0;
    int comPort = 1;
    bool sync = true; // where the dialog lets the box be changed
    int timeoutMs = 1000;
    int connMax = 10;
};

// Fills the dialog as a user would: chooses the type from its list, types over each field that
// the type shows and enables, and ticks the sync box when it can be ticked.
void FillDialog(frmConn *dialog, const ConnChoice &settings);

// Opens File > Connect of the window, fills the dialog, lets whileOpen look at it, then clicks
// OK (or Cancel) through the dialog's window. True when the dialog opened and the click closed
// it. A dialog the click leaves open is cancelled, so nothing waits for it.
bool ConnectThroughDialog(frmKELTester &window, const ConnChoice &settings, bool pressOk = true,
                          const std::function<void(frmConn *)> &whileOpen = {});
