#pragma once

#include "KelStream.h"

class QSerialPort;

// A serial line. A device that goes away (an adapter unplugged, a pseudo-terminal's other
// end closed) ends the stream; other errors (a framing error on one byte) leave it usable.
class KelSerialStream : public KelStream
{
    Q_OBJECT
public:
    // Takes the port, opened.
    explicit KelSerialStream(QSerialPort *port);

    bool hasInput() const override;
    qint64 bytesToWrite() const override;
    qint64 read(char *data, qint64 maxSize) override;
    qint64 waitAndRead(char *data, qint64 maxSize, int ms) override;
    bool queue(const char *data, qint64 size, bool flushNow = true) override;
    void flush() override;
    QString errorString() const override;
    void abort() override;

private:
    QSerialPort *m_port;
};
