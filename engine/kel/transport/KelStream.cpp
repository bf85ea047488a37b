#include "KelStream.h"

#include <QIODevice>

KelStream::KelStream(QIODevice *device) : m_device(device)
{
    m_device->setParent(this);
    connect(m_device, &QIODevice::readyRead, this, &KelStream::deviceReadyRead);
    connect(m_device, &QIODevice::bytesWritten, this, &KelStream::bytesWritten);
}

void KelStream::deviceReadyRead()
{
    ++m_emitting;
    emit readyRead();
    // Deleted from the outermost emission's level: a deferred deletion asked for below a
    // nested event loop would run inside that loop, under the device's signal.
    if (--m_emitting == 0 && m_released)
        deleteLater();
}

void KelStream::release(std::unique_ptr<KelStream> stream)
{
    if (stream && stream->m_emitting > 0)
        stream.release()->m_released = true;
}

qint64 KelStream::bytesAvailable() const
{
    return m_device->bytesAvailable();
}

qint64 KelStream::bytesToWrite() const
{
    return m_device->bytesToWrite();
}

qint64 KelStream::read(char *data, qint64 maxSize)
{
    // A device that closed itself (a failed write aborts a socket) has dropped its input.
    if (!m_device->isOpen())
        return 0;
    return qMax<qint64>(0, m_device->read(data, maxSize));
}

qint64 KelStream::writeNow(const char *, qint64)
{
    return 0;
}

bool KelStream::queue(const char *data, qint64 size, bool flushNow)
{
    if (m_device->write(data, size) != size)
        return false;
    if (flushNow)
        flush();
    return true;
}

QString KelStream::errorString() const
{
    return m_device->errorString();
}

void KelStream::end(const QString &why)
{
    if (m_ended)
        return;
    m_ended = true;
    emit ended(why);
}
