#include "KelPeerReconnect.h"

#include "MivController.h"
#include "MivProvider.h"

KelPeerReconnect::KelPeerReconnect(bool enabled, QObject *parent) : QObject(parent)
{
    m_reconnector.setEnabled(enabled);
    connect(&m_reconnector, &MivReconnector::reconnecting, this, [this](int attempt, const QString &reason) {
        const MivController *controller = m_reconnector.controller();
        emit failure(QStringLiteral("kelpeer: reconnecting to %1: %2")
                         .arg(controller ? controller->provider().openedTo() : QString(),
                              MivReconnector::describe(attempt, reason)));
    });
    connect(&m_reconnector, &MivReconnector::opened, this, [this] {
        emit failure(QStringLiteral("kelpeer: reopened %1").arg(m_reconnector.controller()->provider().openedTo()));
        emit opened();
    });
    connect(&m_reconnector, &MivReconnector::gaveUp, this,
            [this](const QString &reason) { emit failure(QStringLiteral("kelpeer: not reconnecting: ") + reason); });
}

void KelPeerReconnect::watch(MivController *controller)
{
    m_reconnector.watch(controller);
}

bool KelPeerReconnect::lineGone(const QString &reason)
{
    if (!m_reconnector.isEnabled() || !m_reconnector.controller()
        || !m_reconnector.controller()->provider().canReopen())
        return false;
    m_reconnector.start(reason);
    return true;
}
