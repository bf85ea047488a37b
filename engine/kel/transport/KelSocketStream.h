#pragma once

#include "KelStream.h"

#include <QByteArray>

class QAbstractSocket;
class QSocketNotifier;

// A TCP connection on a descriptor of its own, kept blocking: a synchronous wait is one
// receive bounded by a receive timeout, the system calls of a plain blocking exchange. Every
// other call passes "don't wait", so that neither a send nor a read from the event loop ever
// blocks the thread.
class KelSocketStream : public KelStream
{
    Q_OBJECT
public:
    // Takes over the connection of a connected socket, which is left closed. The descriptor is
    // duplicated and the socket aborted, so Qt's notifiers and buffers are out of the way and
    // this object alone reads the connection, with plain system calls. The socket must not have
    // read yet: bytes it had buffered would be lost.
    explicit KelSocketStream(QAbstractSocket &socket);
    ~KelSocketStream() override;

    bool hasInput() const override { return m_input; }
    qint64 bytesToWrite() const override { return m_out.size() - m_outAt; }
    qint64 read(char *data, qint64 maxSize) override;
    // One blocking receive bounded by SO_RCVTIMEO (set only when the bound changes by more than
    // a few ms); with bytes still queued it polls for reading and writing instead, so the tail
    // of the request goes out while the answer is awaited. Returns the bytes, 0 for none in
    // time, or -1 once the connection has ended (reported through end()).
    qint64 waitAndRead(char *data, qint64 maxSize, int ms) override;
    qint64 writeNow(const char *data, qint64 size) override;
    bool queue(const char *data, qint64 size, bool flushNow = true) override;
    void flush() override;
    QString errorString() const override { return m_error; }
    void abort() override;
    bool pollInput() override;

private:
    void readable();
    // Takes the result of a receive: the bytes, or 0 for none now, or the end.
    qint64 received(qint64 n);
    bool setReceiveTimeout(int ms);

    int m_fd = -1;
    QSocketNotifier *m_readNotifier = nullptr;
    QSocketNotifier *m_writeNotifier = nullptr;
    QByteArray m_out; // queued: bytes from m_outAt on
    qsizetype m_outAt = 0;
    QString m_error;
    QString m_endReason; // set once the end has been read
    int m_receiveTimeoutMs = 0; // 0: none set
    bool m_input = false;
};
