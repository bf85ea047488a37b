#include "LoopbackPort.h"

#include <QDeadlineTimer>
#include <QTcpServer>
#include <QTcpSocket>

quint16 FreePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

QByteArray ReadFrame(QTcpSocket &socket, int timeoutMs, char terminator)
{
    QByteArray got;
    QDeadlineTimer deadline(timeoutMs);
    while (!got.endsWith(terminator) && !deadline.hasExpired()) {
        if (socket.bytesAvailable() == 0)
            socket.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
        got += socket.read(1);
    }
    got.chop(got.endsWith(terminator) ? 1 : 0);
    return got;
}
