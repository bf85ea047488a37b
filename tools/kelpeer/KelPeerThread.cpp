#include "KelPeerThread.h"

#include "KelPeer.h"
#include "MivError.h"

KelPeerThread::KelPeerThread(KelPeerConfig config) : m_config(std::move(config)) {}

KelPeerThread::~KelPeerThread()
{
    m_thread.quit();
    m_thread.wait();
}

bool KelPeerThread::start()
{
    m_peer = new KelPeer(m_config);
    m_peer->moveToThread(&m_thread);
    QObject::connect(&m_thread, &QThread::finished, m_peer, &QObject::deleteLater);
    m_thread.start();
    bool ok = false;
    QMetaObject::invokeMethod(
        m_peer,
        [this, &ok] {
            try {
                m_peer->start();
                m_address = m_peer->address();
                ok = true;
            } catch (const MivError &e) {
                m_error = e.description();
            }
        },
        Qt::BlockingQueuedConnection);
    return ok;
}

quint16 KelPeerThread::port() const
{
    return m_address.mid(m_address.lastIndexOf(u':') + 1).toUShort();
}
