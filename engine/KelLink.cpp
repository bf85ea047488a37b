#include "KelLink.h"

#include "MivError.h"

#include <QAbstractSocket>
#include <QSerialPort>

#include <chrono>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <poll.h>
#include <sys/socket.h>
#endif

namespace {

// Answers a message on the link it came from, as long as that link is still open.
class KelReplyChannel : public MivReplyChannel
{
public:
    explicit KelReplyChannel(KelLink *link) : m_link(link), m_address(link->address()) {}

    void reply(const QString &text) override
    {
        if (!m_link || !m_link->isOpen())
            throw MivError(MivCode::NotConnected,
                           QStringLiteral("Cannot reply: the connection to %1 has closed").arg(m_address));
        m_link->sendText(text);
    }

private:
    QPointer<KelLink> m_link;
    QString m_address;
};

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

qint64 KelSteadyMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

KelLink::KelLink(QAbstractSocket *socket, QString address, const KelPacketSettings &packet,
                 KelLinkSink &sink, QObject *parent)
    : QObject(parent), m_device(socket), m_socket(socket), m_address(std::move(address)),
      m_framer(packet), m_sink(sink)
{
    init();
    connect(socket, &QAbstractSocket::disconnected, this, &KelLink::close);
    connect(socket, &QAbstractSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        // A bounded wait that ran out reports a timeout error; the connection is still fine.
        if (error != QAbstractSocket::SocketTimeoutError
            && m_socket->state() != QAbstractSocket::ConnectedState)
            close();
    });
}

KelLink::KelLink(QSerialPort *port, QString address, const KelPacketSettings &packet,
                 KelLinkSink &sink, QObject *parent)
    : QObject(parent), m_device(port), m_serial(port), m_address(std::move(address)),
      m_framer(packet), m_sink(sink)
{
    init();
    connect(port, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError error) {
        // A vanished device; other errors (a framing error on one byte) leave the line usable.
        if (error == QSerialPort::ResourceError || (error == QSerialPort::ReadError && HungUp(*m_serial)))
            close();
    });
}

void KelLink::init()
{
    m_device->setParent(this);
    m_channel = std::make_shared<KelReplyChannel>(this);
    m_lastActivityMs = KelSteadyMs();
    connect(m_device, &QIODevice::readyRead, this, &KelLink::drain);
}

KelLink::~KelLink()
{
    // The device dies with this object: nothing it emits on the way must reach the sink.
    disconnect(m_device, nullptr, this, nullptr);
    m_closed = true;
}

void KelLink::sendText(const QString &text)
{
    if (m_closed)
        throw MivError(MivCode::NotConnected,
                       QStringLiteral("The connection to %1 has closed").arg(m_address));
    const QByteArray bytes = m_framer.encode(text);
    if (m_device->bytesToWrite() + bytes.size() > kMaxQueued)
        throw MivError(MivCode::Fail, QStringLiteral("Send refused: %1 bytes are still queued for %2, "
                                                     "which is not reading")
                                          .arg(m_device->bytesToWrite())
                                          .arg(m_address));
    qsizetype done = writeDirect(bytes);
    if (done == bytes.size())
        return;
    if (m_device->write(bytes.constData() + done, bytes.size() - done) != bytes.size() - done)
        throw MivError(MivCode::Fail, QStringLiteral("Cannot send to %1: %2")
                                          .arg(m_address, m_device->errorString()));
    flush();
}

qsizetype KelLink::writeDirect(const QByteArray &bytes)
{
#ifdef Q_OS_UNIX
    // Straight to the socket when nothing is queued before it: a synchronous round trip then
    // costs the system calls of a plain blocking exchange. The rest, if any, goes to the queue.
    if (m_socket && m_socket->bytesToWrite() == 0 && m_socket->socketDescriptor() >= 0) {
        const ssize_t n = ::send(int(m_socket->socketDescriptor()), bytes.constData(), size_t(bytes.size()),
                                 MSG_NOSIGNAL | MSG_DONTWAIT);
        return n > 0 ? qsizetype(n) : 0;
    }
#endif
    return 0;
}

void KelLink::flush()
{
    if (m_socket)
        m_socket->flush();
    else
        m_serial->flush();
}

void KelLink::drain()
{
    // An empty socket buffer is left alone: reading it would re-arm Qt's notifier for nothing.
    if (m_draining || m_closed || (m_socket && m_socket->bytesAvailable() == 0))
        return;
    m_draining = true;
    char chunk[16384];
    qint64 n;
    bool any = false;
    while ((n = m_device->read(chunk, sizeof chunk)) > 0) {
        any = true;
        m_framer.feed(chunk, n, m_events);
    }
    m_draining = false;
    if (any) {
        m_lastActivityMs = KelSteadyMs();
        report();
    }
}

void KelLink::waitAndDrain(int ms)
{
    if (m_closed)
        return;
#ifdef Q_OS_UNIX
    // Qt's buffer is empty here (drained before the request): read the socket directly and
    // keep Qt's notifiers out of the way.
    if (m_socket && m_socket->bytesAvailable() == 0 && m_socket->socketDescriptor() >= 0) {
        const int fd = int(m_socket->socketDescriptor());
        pollfd ready = {fd, POLLIN, 0};
        if (::poll(&ready, 1, ms) <= 0)
            return;
        char chunk[16384];
        const ssize_t n = ::recv(fd, chunk, sizeof chunk, MSG_DONTWAIT);
        if (n > 0) {
            m_lastActivityMs = KelSteadyMs();
            take(chunk, n);
        } else if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
            close();
        }
        return;
    }
#endif
    if (m_device->waitForReadyRead(ms))
        drain();
}

void KelLink::take(const char *data, qsizetype size)
{
    m_framer.feed(data, size, m_events);
    report();
}

void KelLink::report()
{
    if (m_events.isEmpty())
        return;
    QList<KelFrameEvent> events;
    events.swap(m_events);
    m_sink.linkReceived(*this, events);
    // Keep the capacity for the next chunk.
    events.clear();
    if (m_events.isEmpty())
        m_events.swap(events);
}

void KelLink::clearInput()
{
    // Also what the system holds but the device has not fetched yet; while clearing, what
    // the device fetches is dropped, not framed.
    m_draining = true;
    char chunk[16384];
    do {
        while (m_device->read(chunk, sizeof chunk) > 0) {
        }
    } while (!m_closed && m_device->waitForReadyRead(0));
    m_draining = false;
    m_framer.reset();
    answer.reset();
}

void KelLink::close()
{
    if (m_closed)
        return;
    drain(); // complete frames that arrived before the end still count
    m_closed = true;
    m_framer.reset();
    if (m_socket)
        m_socket->abort();
    else
        m_serial->close();
    m_sink.linkClosed(*this);
    emit closed();
}
