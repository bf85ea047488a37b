#pragma once

#include <QString>
#include <QStringList>

// Option strings in the dialog's grammar, for kelpeer and for controllers a test adds itself.
// Port 0 lets a server take any free port (kelpeer prints the one it got).

// A TCP server on 127.0.0.1 (kelpeer as the device, answering requests).
QString EtherServerOption(quint16 port, int timeoutMs = 500);
// A TCP client of 127.0.0.1:port.
QString EtherClientOption(quint16 port, int timeoutMs = 2000, bool sync = false);
// A serial line, COM port n (MIV_COM<n> names the device).
QString ComOption(int comPort, int timeoutMs = 2000);

// kelpeer's arguments as the host: option, then the request sent count times.
QStringList HostArgs(const QString &option, const QString &request, int count);
