#pragma once

#include "KelStream.h"

class QAbstractSocket;

// A TCP connection. A synchronous wait reads the socket directly while Qt's buffer is empty,
// so that a round trip costs the system calls of a plain blocking exchange.
class KelSocketStream : public KelStream
{
    Q_OBJECT
public:
    explicit KelSocketStream(QAbstractSocket *socket);

    qint64 waitAndRead(char *data, qint64 maxSize, int ms) override;
    qint64 writeNow(const char *data, qint64 size) override;
    void flush() override;
    void abort() override;

private:
    QAbstractSocket *m_socket;
};
