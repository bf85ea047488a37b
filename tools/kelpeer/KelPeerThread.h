#pragma once

#include "KelPeerConfig.h"

#include <QString>
#include <QThread>

class KelPeer;

// A KelPeer on its own thread, so that a synchronous request on the caller's thread can be
// answered. For tests and benchmarks.
class KelPeerThread
{
public:
    explicit KelPeerThread(KelPeerConfig config);
    ~KelPeerThread();
    KelPeerThread(const KelPeerThread &) = delete;
    KelPeerThread &operator=(const KelPeerThread &) = delete;

    // Opens the peer; false with errorString() when it cannot.
    bool start();
    QString address() const { return m_address; }
    quint16 port() const;
    QString errorString() const { return m_error; }

private:
    KelPeerConfig m_config;
    QThread m_thread;
    KelPeer *m_peer = nullptr;
    QString m_address;
    QString m_error;
};
