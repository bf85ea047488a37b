#include "KelTcpServer.h"

#include "KelAddress.h"
#include "KelLink.h"
#include "KelSocketStream.h"
#include "MivError.h"

#include <QTcpServer>
#include <QTcpSocket>

namespace {
// How often silent clients are looked for: a client is closed within this much of its deadline.
constexpr int kIdleCheckMs = 200;
} // namespace

KelTcpServer::KelTcpServer(const KelSettings &settings, KelLinkSink &sink, QObject *parent)
    : KelTransport(parent), m_settings(settings), m_sink(sink), m_server(new QTcpServer(this))
{
    // The option parser has checked MyIP.
    const QHostAddress address = settings.myIp.isEmpty() ? QHostAddress(QHostAddress::AnyIPv4)
                                                         : QHostAddress(settings.myIp);
    if (!m_server->listen(address, settings.port))
        throw MivError(MivCode::Fail, QStringLiteral("Cannot listen on %1: %2")
                                          .arg(KelAddressText(address, settings.port),
                                               m_server->errorString()));
    connect(m_server, &QTcpServer::newConnection, this, &KelTcpServer::accept);
    m_idleTimer.setInterval(kIdleCheckMs);
    connect(&m_idleTimer, &QTimer::timeout, this, &KelTcpServer::closeIdle);
}

QString KelTcpServer::localAddress() const
{
    return KelAddressText(m_server->serverAddress(), m_server->serverPort());
}

void KelTcpServer::accept()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        const QString peer = KelAddressText(socket->peerAddress(), socket->peerPort());
        if (m_links.size() >= m_settings.maxClients) {
            socket->abort();
            socket->deleteLater();
            m_sink.transportError(QStringLiteral("Client %1 refused: %2 clients are connected already")
                                      .arg(peer)
                                      .arg(m_links.size()));
            continue;
        }
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        auto stream = std::make_unique<KelSocketStream>(*socket);
        delete socket;
        auto *link = new KelLink(std::move(stream), peer, m_settings.packet, m_sink, this);
        link->setConnectSeq(++m_connectSeq);
        connect(link, &KelLink::closed, this, [this, link] { forget(link); });
        m_links.append(link);
        if (m_settings.idleSeconds > 0 && !m_idleTimer.isActive())
            m_idleTimer.start();
        m_sink.linkOpened(*link);
    }
}

void KelTcpServer::forget(KelLink *link)
{
    m_links.removeOne(link);
    if (m_links.isEmpty())
        m_idleTimer.stop();
    // It may be on the stack (its socket is emitting, or a request waits on it).
    link->deleteLater();
}

void KelTcpServer::closeIdle()
{
    const qint64 deadline = KelSteadyMs() - qint64(m_settings.idleSeconds) * 1000;
    const QList<KelLink *> links = m_links;
    for (KelLink *link : links) {
        // A paused link holds input that waits for delivery: it is not silent.
        if (link->isOpen() && !link->isPaused() && link->lastActivityMs() <= deadline)
            link->close();
    }
}

KelLink *KelTcpServer::target() const
{
    KelLink *best = nullptr;
    for (KelLink *link : m_links) {
        if (!link->isOpen())
            continue;
        if (!best || link->frameSeq() > best->frameSeq()
            || (link->frameSeq() == best->frameSeq() && link->connectSeq() > best->connectSeq()))
            best = link;
    }
    if (!best)
        throw MivError(MivCode::NotConnected, QStringLiteral("No client is connected"));
    return best;
}
