#pragma once

#include <QByteArray>
#include <QList>

#include <atomic>
#include <thread>

// A TCP device on its own thread that answers its n-th request (CR-terminated) with
// steps[n].answer after steps[n].delayMs; an answer of "-" is never sent, one ending in "!"
// sends what precedes the "!" without a terminator and closes the connection. With no steps
// it closes the connection as soon as it is made. One connection: accepted by start(), or made
// by connectTo() to a server.
class ScriptedPeer
{
public:
    struct Step
    {
        int delayMs = 0;
        QByteArray answer;
    };

    ScriptedPeer() = default;
    ~ScriptedPeer();
    bool start(QList<Step> steps);
    bool connectTo(quint16 port, QList<Step> steps);
    quint16 port() const { return m_port; }

private:
    void run(int fd);
    bool readable(int fd);

    QList<Step> m_steps;
    int m_listen = -1;
    quint16 m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};
