#include "KelAddress.h"

#include <QHostAddress>

QString KelAddressText(const QHostAddress &address, quint16 port)
{
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    const QString ip = isV4 ? QHostAddress(v4).toString() : address.toString();
    return QStringLiteral("%1:%2").arg(ip).arg(port);
}
