#pragma once

#include "KelMonitor.h"
#include "PtyPair.h"

#include <QIODevice>
#include <QList>
#include <QTcpServer>

#include <functional>
#include <memory>

enum class Medium { Tcp, Serial };

// A monitor between two ends that the test plays: the host end connects to the monitor's host
// side, the device end is what its device side connects to. A serial end is the far side of a
// pseudo-terminal pair whose near side the monitor opens (host COM 41, device COM 42).
class MonitorRig
{
public:
    static constexpr int kHostCom = 41;
    static constexpr int kDeviceCom = 42;

    // Starts the monitor with these packet options on both sides ("4:0:0:0") and, for the
    // serial ends, their lines. A TCP device end listens; with `deviceListens` false nothing
    // listens on its port.
    bool start(Medium host, Medium device, const QString &packet, int timeoutMs = 2000, bool deviceListens = true);
    // Connects a TCP host end (the serial one is connected from the start) and takes the device
    // end that the monitor opens for it, if any.
    QIODevice *connectHost();
    QIODevice *host() const { return m_host; }
    QIODevice *device() const { return m_device; }
    KelMonitor &monitor() { return m_monitor; }
    QString errorString() const { return m_error; }

    QList<MonitorFrame> frames(MonitorSide side) const;
    QList<MonitorEvent> events(MivTapEventKind kind) const;
    bool hasEvent(MivTapEventKind kind, MonitorSide side, const QString &textPart) const;

    // Runs the event loop until the condition holds, at most timeoutMs.
    static bool pumpUntil(const std::function<bool()> &condition, int timeoutMs = 10000);
    // Whether a TCP end has seen its connection closed.
    static bool closed(QIODevice *end);

private:
    QString option(Medium medium, bool server, int timeoutMs, const QString &packet, quint16 port) const;
    QIODevice *openSerial(PtyPair &pty);

    KelMonitor m_monitor;
    PtyPair m_hostPty;
    PtyPair m_devicePty;
    QTcpServer m_deviceServer;
    quint16 m_devicePort = 0;
    Medium m_hostMedium = Medium::Tcp;
    Medium m_deviceMedium = Medium::Tcp;
    QList<std::shared_ptr<QIODevice>> m_ends;
    QIODevice *m_host = nullptr;
    QIODevice *m_device = nullptr;
    QList<MonitorFrame> m_frames;
    QList<MonitorEvent> m_events;
    QString m_error;
};
