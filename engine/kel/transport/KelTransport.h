#pragma once

#include "KelSettings.h"

#include <QList>
#include <QObject>
#include <QString>

#include <memory>

class KelLink;
class KelLinkSink;

// The open connection of a provider: one serial line, one TCP client socket, or a TCP server
// with its clients. Owns its links.
class KelTransport : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // The link that Send and synchronous requests address. Throws MivError when there is none.
    virtual KelLink *target() const = 0;
    virtual QList<KelLink *> links() const = 0;
    // "ip:port" of the listening or bound socket, or the serial device path.
    virtual QString localAddress() const = 0;
    // Frames from a server's clients are requests; elsewhere they are unsolicited frames.
    virtual bool isServer() const { return false; }
};

// Opens the transport of the settings' connection kind. Throws MivError with the reason.
std::unique_ptr<KelTransport> OpenKelTransport(const KelSettings &settings, KelLinkSink &sink);
