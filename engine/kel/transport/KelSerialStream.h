#pragma once

#include "KelStream.h"

class QSerialPort;

// A serial line. A device that goes away (an adapter unplugged, a pseudo-terminal's other
// end closed) ends the stream; other errors (a framing error on one byte) leave it usable.
class KelSerialStream : public KelStream
{
    Q_OBJECT
public:
    explicit KelSerialStream(QSerialPort *port);

    qint64 waitAndRead(char *data, qint64 maxSize, int ms) override;
    void flush() override;
    void abort() override;

private:
    QSerialPort *m_port;
};
