#include "KelSocketStream.h"

#include <QAbstractSocket>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#endif

namespace {
const QString kPeerClosed = QStringLiteral("the peer closed it");
} // namespace

KelSocketStream::KelSocketStream(QAbstractSocket *socket) : KelStream(socket), m_socket(socket)
{
    m_socket->setReadBufferSize(kReadBufferSize);
    connect(m_socket, &QAbstractSocket::disconnected, this, [this] { end(kPeerClosed); });
    connect(m_socket, &QAbstractSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        // A bounded wait that ran out reports a timeout error; the connection is still fine.
        if (error != QAbstractSocket::SocketTimeoutError && m_socket->state() != QAbstractSocket::ConnectedState)
            end(error == QAbstractSocket::RemoteHostClosedError ? kPeerClosed
                                                                : QStringLiteral("it failed: ") + m_socket->errorString());
    });
}

qint64 KelSocketStream::waitAndRead(char *data, qint64 maxSize, int ms)
{
    if (hasEnded())
        return -1;
    if (m_socket->bytesAvailable() > 0)
        return read(data, maxSize);
#ifdef Q_OS_UNIX
    const int fd = int(m_socket->socketDescriptor());
    if (fd >= 0) {
        pollfd ready = {fd, POLLIN, 0};
        if (::poll(&ready, 1, ms) <= 0)
            return 0;
        const ssize_t n = ::recv(fd, data, size_t(maxSize), MSG_DONTWAIT);
        if (n > 0)
            return n;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
            return 0;
        end(n == 0 ? kPeerClosed : QStringLiteral("it failed: ") + QString::fromLocal8Bit(strerror(errno)));
        return -1;
    }
#endif
    if (m_socket->waitForReadyRead(ms))
        return read(data, maxSize);
    return hasEnded() ? -1 : 0;
}

qint64 KelSocketStream::writeNow(const char *data, qint64 size)
{
#ifdef Q_OS_UNIX
    // Straight to the socket when nothing is queued before it; the rest, if any, is queued.
    if (m_socket->bytesToWrite() == 0 && m_socket->socketDescriptor() >= 0) {
        const ssize_t n = ::send(int(m_socket->socketDescriptor()), data, size_t(size), MSG_NOSIGNAL | MSG_DONTWAIT);
        return n > 0 ? qint64(n) : 0;
    }
#endif
    Q_UNUSED(data);
    Q_UNUSED(size);
    return 0;
}

void KelSocketStream::flush()
{
    m_socket->flush();
}

void KelSocketStream::abort()
{
    disconnect(m_socket, nullptr, this, nullptr);
    m_socket->abort();
}
