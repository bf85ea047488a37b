#pragma once

#include "MivReconnector.h"

#include <QObject>

class MivController;

// kelpeer --reconnect: a lost client or serial line is opened again with the engine's back-off,
// with one standard-error line per try and one when the line is back. Without --reconnect
// (or on a server, which keeps listening) a lost line ends the role as before.
class KelPeerReconnect : public QObject
{
    Q_OBJECT
public:
    explicit KelPeerReconnect(bool enabled, QObject *parent = nullptr);

    void watch(MivController *controller);
    // The line went: true when it is being opened again (the role goes on), false when the
    // role ends.
    bool lineGone(const QString &reason);
    bool isReopening() const { return m_reconnector.isTrying(); }

signals:
    void failure(const QString &line);
    void opened();

private:
    MivReconnector m_reconnector;
};
