#include "KelTcpClient.h"

#include "KelAddress.h"
#include "KelLink.h"
#include "KelSocketStream.h"
#include "MivError.h"

#include <QHostAddress>
#include <QTcpSocket>

#include <memory>

KelTcpClient::KelTcpClient(const KelSettings &settings, KelLinkSink &sink, QObject *parent)
    : KelTransport(parent)
{
    auto socket = std::make_unique<QTcpSocket>();
    if (!settings.myIp.isEmpty() || settings.myPort) {
        // The option parser has checked MyIP.
        const QHostAddress bindAddress = settings.myIp.isEmpty() ? QHostAddress(QHostAddress::AnyIPv4)
                                                                  : QHostAddress(settings.myIp);
        if (!socket->bind(bindAddress, settings.myPort.value_or(0)))
            throw MivError(MivCode::Fail, QStringLiteral("Cannot bind to %1: %2")
                                              .arg(KelAddressText(bindAddress, settings.myPort.value_or(0)),
                                                   socket->errorString()));
    }
    socket->connectToHost(settings.host, settings.port);
    if (!socket->waitForConnected(settings.timeoutMs))
        throw MivError(MivCode::NotConnected, QStringLiteral("Cannot connect to %1:%2: %3")
                                                  .arg(settings.host)
                                                  .arg(settings.port)
                                                  .arg(socket->errorString()));
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    m_local = KelAddressText(socket->localAddress(), socket->localPort());
    const QString peer = KelAddressText(socket->peerAddress(), socket->peerPort());
    m_link = new KelLink(std::make_unique<KelSocketStream>(*socket), peer, settings.packet, sink, this);
}

KelLink *KelTcpClient::target() const
{
    if (!m_link || !m_link->isOpen())
        throw MivError(MivCode::NotConnected, QStringLiteral("Not connected: the peer has closed the connection"));
    return m_link;
}

QList<KelLink *> KelTcpClient::links() const
{
    if (m_link)
        return {m_link.data()};
    return {};
}

QString KelTcpClient::localAddress() const
{
    return m_local;
}
