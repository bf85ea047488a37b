#include "KelSocketStream.h"

#include <QAbstractSocket>
#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace {

const QString kPeerClosed = QStringLiteral("the peer closed it");
constexpr int kSendFlags = MSG_NOSIGNAL | MSG_DONTWAIT;
constexpr int kMsPerSecond = 1000;
constexpr int kUsPerMs = 1000;
// A receive timeout this much shorter than a wait asks for is kept: the wait ends early and
// is asked for again with what is left, and each request saves a system call.
constexpr int kReceiveTimeoutSlackMs = 5;

QString SystemError(int error)
{
    return QString::fromLocal8Bit(strerror(error));
}

// Why a connection ended, from a receive or send that failed (or read the end: error 0).
QString EndReason(int error)
{
    if (error == 0 || error == ECONNRESET || error == EPIPE)
        return kPeerClosed;
    return QStringLiteral("it failed: ") + SystemError(error);
}

bool Transient(int error)
{
    return error == EAGAIN || error == EWOULDBLOCK || error == EINTR;
}

} // namespace

KelSocketStream::KelSocketStream(QAbstractSocket &socket)
{
    // The socket has not read yet (it has just connected, or been accepted): nothing it holds
    // is lost. A descriptor of our own outlives the socket's; the file description it shares
    // becomes ours alone, and blocking, once the socket has closed its own.
    Q_ASSERT(socket.bytesAvailable() == 0);
    m_fd = ::fcntl(int(socket.socketDescriptor()), F_DUPFD_CLOEXEC, 0);
    const int error = errno;
    socket.abort();
    if (m_fd < 0) {
        m_error = SystemError(error);
        m_endReason = EndReason(error);
        QMetaObject::invokeMethod(this, [this] { end(m_endReason); }, Qt::QueuedConnection);
        return;
    }
    const int flags = ::fcntl(m_fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(m_fd, F_SETFL, flags & ~O_NONBLOCK);
    m_readNotifier = new QSocketNotifier(qintptr(m_fd), QSocketNotifier::Read, this);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &KelSocketStream::readable);
    m_writeNotifier = new QSocketNotifier(qintptr(m_fd), QSocketNotifier::Write, this);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, &KelSocketStream::flush);
}

KelSocketStream::~KelSocketStream()
{
    abort();
}

void KelSocketStream::readable()
{
    m_input = true;
    announceInput();
    if (m_fd < 0)
        return;
    if (!m_endReason.isEmpty()) {
        end(m_endReason);
        return;
    }
    // Left unread (the link has no room now): the notifier would fire on every pass until the
    // link reads on.
    if (m_input)
        m_readNotifier->setEnabled(false);
}

qint64 KelSocketStream::received(qint64 n)
{
    const int error = n < 0 ? errno : 0;
    if (n > 0 || (n < 0 && Transient(error))) {
        // One receive per notice: other links get their turn in the event loop before the
        // notifier tells again of what is left.
        if (error != EINTR) {
            m_input = false;
            if (!m_readNotifier->isEnabled())
                m_readNotifier->setEnabled(true);
        }
        return qMax<qint64>(0, n);
    }
    m_input = false;
    m_readNotifier->setEnabled(false);
    m_endReason = EndReason(error);
    m_error = error ? SystemError(error) : m_endReason;
    // Reported from the event loop, not inside the reader's own drain.
    QMetaObject::invokeMethod(this, [this] { end(m_endReason); }, Qt::QueuedConnection);
    return 0;
}

qint64 KelSocketStream::read(char *data, qint64 maxSize)
{
    if (m_fd < 0 || !m_endReason.isEmpty())
        return 0;
    return received(::recv(m_fd, data, size_t(maxSize), MSG_DONTWAIT));
}

qint64 KelSocketStream::waitAndRead(char *data, qint64 maxSize, int ms)
{
    if (hasEnded())
        return -1;
    if (m_fd >= 0 && m_endReason.isEmpty()) {
        int flags = MSG_DONTWAIT;
        if (ms > 0 && bytesToWrite() == 0 && setReceiveTimeout(ms)) {
            flags = 0;
        } else if (ms > 0) {
            // What is queued (a request's tail behind earlier sends) goes out while the answer
            // is waited for: the peer may need it to answer.
            pollfd ready = {m_fd, short(bytesToWrite() > 0 ? POLLIN | POLLOUT : POLLIN), 0};
            if (::poll(&ready, 1, ms) > 0 && (ready.revents & POLLOUT))
                flush();
        }
        const qint64 n = m_fd < 0 ? 0 : received(::recv(m_fd, data, size_t(maxSize), flags));
        if (n > 0)
            return n;
    }
    if (!hasEnded() && m_endReason.isEmpty())
        return 0;
    end(m_endReason);
    return -1;
}

bool KelSocketStream::setReceiveTimeout(int ms)
{
    if (m_receiveTimeoutMs > 0 && m_receiveTimeoutMs <= ms && ms - m_receiveTimeoutMs <= kReceiveTimeoutSlackMs)
        return true;
    const timeval limit = {ms / kMsPerSecond, (ms % kMsPerSecond) * kUsPerMs};
    if (::setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit) != 0)
        return false;
    m_receiveTimeoutMs = ms;
    return true;
}

qint64 KelSocketStream::writeNow(const char *data, qint64 size)
{
    // Straight to the socket when nothing is queued before it; the rest, if any, is queued.
    if (m_fd < 0 || bytesToWrite() > 0)
        return 0;
    const ssize_t n = ::send(m_fd, data, size_t(size), kSendFlags);
    return n > 0 ? qint64(n) : 0;
}

bool KelSocketStream::queue(const char *data, qint64 size, bool flushNow)
{
    if (m_fd < 0) {
        if (m_error.isEmpty())
            m_error = QStringLiteral("the connection is closed");
        return false;
    }
    m_out.append(data, size);
    if (flushNow)
        flush();
    return true;
}

void KelSocketStream::flush()
{
    if (m_fd < 0)
        return;
    qint64 written = 0;
    while (m_outAt < m_out.size()) {
        const ssize_t n = ::send(m_fd, m_out.constData() + m_outAt, size_t(m_out.size() - m_outAt), kSendFlags);
        if (n > 0) {
            m_outAt += n;
            written += n;
            continue;
        }
        const int error = errno;
        if (error == EINTR)
            continue;
        if (error == EAGAIN || error == EWOULDBLOCK)
            break;
        m_error = SystemError(error);
        end(EndReason(error));
        return;
    }
    // Sent bytes go once they are a large part of the queue; all at once when it is empty.
    if (m_outAt == m_out.size()) {
        m_out.resize(0);
        m_outAt = 0;
    } else if (m_outAt > kReadBufferSize && m_outAt * 2 > m_out.size()) {
        m_out.remove(0, m_outAt);
        m_outAt = 0;
    }
    const bool pending = m_outAt < m_out.size();
    if (m_writeNotifier->isEnabled() != pending)
        m_writeNotifier->setEnabled(pending);
    if (written > 0)
        emit bytesWritten();
}

void KelSocketStream::abort()
{
    if (m_fd < 0)
        return;
    // Disabled, not deleted: this may run inside a notifier's own signal.
    m_readNotifier->setEnabled(false);
    m_writeNotifier->setEnabled(false);
    ::close(m_fd);
    m_fd = -1;
    m_out.clear();
    m_outAt = 0;
    m_input = false;
}

bool KelSocketStream::pollInput()
{
    if (m_input || m_fd < 0 || !m_endReason.isEmpty())
        return m_input;
    pollfd ready = {m_fd, POLLIN, 0};
    m_input = ::poll(&ready, 1, 0) > 0; // an end or an error counts: read() finds it
    return m_input;
}
