#pragma once

#include "KelSettings.h"
#include "KelTransport.h"

#include <QPointer>

class KelLink;
class KelLinkSink;

// One serial line, opened at construction. COM port n is /dev/ttyS<n-1> unless the
// environment variable MIV_COM<n> names another device.
class KelSerialLine : public KelTransport
{
    Q_OBJECT
public:
    // Throws MivError with the system's reason when the port is missing or busy.
    KelSerialLine(const KelSettings &settings, KelLinkSink &sink, QObject *parent = nullptr);

    static QString devicePath(int comPort);

    KelLink *target() const override;
    QList<KelLink *> links() const override;
    QString localAddress() const override { return m_path; }

private:
    QPointer<KelLink> m_link;
    QString m_path;
};
