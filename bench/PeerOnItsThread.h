#pragma once

#include "PeerProcess.h"

#include <QThread>

#include <condition_variable>
#include <memory>
#include <mutex>

// kelpeer started and watched from a thread of its own, so that the measuring thread's event
// loop does not poll the child's pipes and exit descriptor on every turn: a window that talks to
// a device has none of them.
class PeerOnItsThread
{
public:
    explicit PeerOnItsThread(QStringList args)
    {
        m_thread.reset(QThread::create([this, args = std::move(args)] {
            PeerProcess device;
            device.setBlockingWaits(true);
            const bool ok = device.start(args);
            std::unique_lock lock(m_mutex);
            m_started = true;
            m_port = ok ? device.port() : 0;
            m_changed.notify_all();
            m_changed.wait(lock, [this] { return m_stopping; });
            lock.unlock();
            device.stop();
        }));
        m_thread->start();
    }
    ~PeerOnItsThread()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_changed.notify_all();
        m_thread->wait();
    }
    PeerOnItsThread(const PeerOnItsThread &) = delete;
    PeerOnItsThread &operator=(const PeerOnItsThread &) = delete;

    // Once kelpeer is ready: its port, or 0 when it did not start.
    quint16 port()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_started; });
        return m_port;
    }

private:
    std::unique_ptr<QThread> m_thread;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_started = false;
    bool m_stopping = false;
    quint16 m_port = 0;
};
