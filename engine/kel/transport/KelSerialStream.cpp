#include "KelSerialStream.h"

#include <QSerialPort>

#ifdef Q_OS_UNIX
#include <poll.h>
#endif

namespace {

// A line whose other end has gone (a pseudo-terminal's master closed) reads as end of file,
// which the serial port reports as a read error and then polls for again at once.
bool HungUp(QSerialPort &port)
{
#ifdef Q_OS_UNIX
    pollfd ready = {int(port.handle()), POLLIN, 0};
    return ::poll(&ready, 1, 0) > 0 && (ready.revents & (POLLHUP | POLLERR | POLLNVAL));
#else
    Q_UNUSED(port);
    return false;
#endif
}

} // namespace

KelSerialStream::KelSerialStream(QSerialPort *port) : KelStream(port), m_port(port)
{
    m_port->setReadBufferSize(kReadBufferSize);
    connect(m_port, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError error) {
        if (error == QSerialPort::ResourceError || (error == QSerialPort::ReadError && HungUp(*m_port)))
            end(QStringLiteral("the device went away"));
    });
}

qint64 KelSerialStream::waitAndRead(char *data, qint64 maxSize, int ms)
{
    if (!hasEnded() && m_port->bytesAvailable() == 0)
        m_port->waitForReadyRead(ms);
    if (hasEnded())
        return -1;
    return read(data, maxSize);
}

void KelSerialStream::flush()
{
    m_port->flush();
}

void KelSerialStream::abort()
{
    disconnect(m_port, nullptr, this, nullptr);
    m_port->close();
}
