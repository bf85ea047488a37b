#pragma once

#include "KelSettings.h"
#include "KelTransport.h"

#include <QTimer>

class KelLink;
class KelLinkSink;
class QTcpServer;

// The server role: listens on MyIP (or every address) and the port; keeps at most maxClients
// clients (the next is accepted, closed at once and reported) and closes a client that has
// been silent for idleSeconds.
class KelTcpServer : public KelTransport
{
    Q_OBJECT
public:
    // Throws MivError with the system's reason when it cannot listen.
    KelTcpServer(const KelSettings &settings, KelLinkSink &sink, QObject *parent = nullptr);

    // The client that sent the latest frame, or before any frame the latest connected.
    KelLink *target() const override;
    QList<KelLink *> links() const override { return m_links; }
    QString localAddress() const override;
    bool isServer() const override { return true; }

private:
    void accept();
    void closeIdle();
    void forget(KelLink *link);

    KelSettings m_settings;
    KelLinkSink &m_sink;
    QTcpServer *m_server;
    QList<KelLink *> m_links; // in connecting order
    QTimer m_idleTimer;
    quint64 m_connectSeq = 0;
};
