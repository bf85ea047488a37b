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

KelSerialStream::KelSerialStream(QSerialPort *port) : m_port(port)
{
    m_port->setParent(this);
    m_port->setReadBufferSize(kReadBufferSize);
    connect(m_port, &QIODevice::readyRead, this, &KelSerialStream::announceInput);
    connect(m_port, &QIODevice::bytesWritten, this, &KelStream::bytesWritten);
    connect(m_port, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError error) {
        // A read that finds nothing after all (a pseudo-terminal's input still on its way) is
        // reported as an error named after whatever errno held last: only a line that has
        // hung up has gone.
        if ((error == QSerialPort::ResourceError || error == QSerialPort::ReadError) && HungUp(*m_port))
            end(QStringLiteral("the device went away"));
    });
}

bool KelSerialStream::hasInput() const
{
    return m_port->bytesAvailable() > 0;
}

qint64 KelSerialStream::bytesToWrite() const
{
    return m_port->bytesToWrite();
}

qint64 KelSerialStream::read(char *data, qint64 maxSize)
{
    // A port that closed itself has dropped its input.
    if (!m_port->isOpen())
        return 0;
    return qMax<qint64>(0, m_port->read(data, maxSize));
}

qint64 KelSerialStream::waitAndRead(char *data, qint64 maxSize, int ms)
{
    if (!hasEnded() && m_port->bytesAvailable() == 0)
        m_port->waitForReadyRead(ms);
    if (hasEnded())
        return -1;
    return read(data, maxSize);
}

bool KelSerialStream::queue(const char *data, qint64 size, bool flushNow)
{
    if (m_port->write(data, size) != size)
        return false;
    if (flushNow)
        flush();
    return true;
}

void KelSerialStream::flush()
{
    m_port->flush();
}

QString KelSerialStream::errorString() const
{
    return m_port->errorString();
}

void KelSerialStream::abort()
{
    disconnect(m_port, nullptr, this, nullptr);
    m_port->close();
}
