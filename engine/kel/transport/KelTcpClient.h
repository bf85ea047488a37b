#pragma once

#include "KelSettings.h"
#include "KelTransport.h"

#include <QPointer>

class KelLink;
class KelLinkSink;
class QTcpSocket;

// The client role: one socket, bound to MyIP[:port] when given, connected at construction.
class KelTcpClient : public KelTransport
{
    Q_OBJECT
public:
    // Throws MivError with the system's reason when binding or connecting fails.
    KelTcpClient(const KelSettings &settings, KelLinkSink &sink, QObject *parent = nullptr);

    KelLink *target() const override;
    QList<KelLink *> links() const override;
    QString localAddress() const override;

private:
    QPointer<KelLink> m_link;
    QString m_local;
};
