#pragma once

#include "KelPeerConfig.h"
#include "KelPeerThread.h"
#include "KelProvider.h"
#include "MivEngine.h"
#include "MivError.h"
#include "PeerProcess.h"

#include <memory>
#include <optional>

// The error a call throws, or none.
template<typename F>
std::optional<MivError> Failure(F call)
{
    try {
        call();
    } catch (const MivError &e) {
        return e;
    }
    return std::nullopt;
}

// A controller of the KEL provider on this machine.
inline MivController *Connect(MivEngine &engine, const QString &option)
{
    return engine.Workspaces().Item(0)->AddController(QString(), QLatin1String(KelProvider::kName),
                                                      QStringLiteral("localhost"), option);
}

inline QString ClientOption(quint16 port, int timeoutMs = 2000)
{
    return QStringLiteral("Conn=eth:127.0.0.1:%1,PacketOpt=4:0:0:0,EtherOpt=0,Timeout=%2").arg(port).arg(timeoutMs);
}

inline QString ServerOption(int maxClients = 10, int idleSeconds = 900, int timeoutMs = 2000)
{
    return QStringLiteral("Conn=eth::0,PacketOpt=4:0:0:0,EtherOpt=1:%1:%2,Timeout=%3")
        .arg(maxClients)
        .arg(idleSeconds)
        .arg(timeoutMs);
}

// kelpeer in the same process (own thread) or as a child process.
class Device
{
public:
    bool start(bool inProcess, const QStringList &args, const QStringList &env = {})
    {
        if (inProcess) {
            m_thread = std::make_unique<KelPeerThread>(ParseKelPeerArgs(args).config);
            if (!m_thread->start()) {
                m_error = m_thread->errorString();
                return false;
            }
            m_address = m_thread->address();
            return true;
        }
        m_process = std::make_unique<PeerProcess>();
        const bool ok = m_process->start(args, 5000, env);
        m_address = m_process->address();
        m_error = m_process->errorOutput();
        return ok;
    }
    QString address() const { return m_address; }
    quint16 port() const { return m_address.mid(m_address.lastIndexOf(u':') + 1).toUShort(); }
    QString errorString() const { return m_error; }
    PeerProcess *process() const { return m_process.get(); }

private:
    std::unique_ptr<KelPeerThread> m_thread;
    std::unique_ptr<PeerProcess> m_process;
    QString m_address;
    QString m_error;
};
