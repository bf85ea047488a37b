#include "PeerOptions.h"

QString EtherServerOption(quint16 port, int timeoutMs)
{
    return QStringLiteral("Conn=eth::%1,PacketOpt=4:0:0:0,EtherOpt=1:10:900,Timeout=%2,MyIP=127.0.0.1")
        .arg(port)
        .arg(timeoutMs);
}

QString EtherClientOption(quint16 port, int timeoutMs, bool sync)
{
    QString option = QStringLiteral("Conn=eth:127.0.0.1:%1,PacketOpt=4:0:0:0,EtherOpt=0,Timeout=%2")
                         .arg(port)
                         .arg(timeoutMs);
    if (sync)
        option += QStringLiteral(",Sync=True");
    return option;
}

QString ComOption(int comPort, int timeoutMs)
{
    return QStringLiteral("Conn=com:%1:38400:N:8:1:0,PacketOpt=4:0:0:0,Timeout=%2,Sync=False")
        .arg(comPort)
        .arg(timeoutMs);
}

QStringList HostArgs(const QString &option, const QString &request, int count)
{
    return {QStringLiteral("--option"), option, QStringLiteral("--send"), request,
            QStringLiteral("--count"), QString::number(count)};
}
