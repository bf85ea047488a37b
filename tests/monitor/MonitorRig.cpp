#include "MonitorRig.h"

#include "LoopbackPort.h"
#include "MivError.h"

#include <QDeadlineTimer>
#include <QSerialPort>
#include <QTcpSocket>
#include <QTest>

namespace {
constexpr int kPumpMs = 5;
} // namespace

QString MonitorRig::option(Medium medium, bool server, int timeoutMs, const QString &packet, quint16 port) const
{
    if (medium == Medium::Serial)
        return QStringLiteral("Conn=com:%1:38400:N:8:1:0,PacketOpt=%2,Timeout=%3")
            .arg(server ? kHostCom : kDeviceCom)
            .arg(packet)
            .arg(timeoutMs);
    if (server)
        return QStringLiteral("Conn=eth::0,PacketOpt=%1,EtherOpt=1:10:0,Timeout=%2").arg(packet).arg(timeoutMs);
    return QStringLiteral("Conn=eth:127.0.0.1:%1,PacketOpt=%2,EtherOpt=0,Timeout=%3").arg(port).arg(packet).arg(timeoutMs);
}

QIODevice *MonitorRig::openSerial(PtyPair &pty)
{
    auto port = std::make_shared<QSerialPort>(pty.second());
    if (!port->open(QIODevice::ReadWrite)) {
        m_error = port->errorString();
        return nullptr;
    }
    m_ends.append(port);
    return port.get();
}

bool MonitorRig::start(Medium host, Medium device, const QString &packet, int timeoutMs, bool deviceListens)
{
    m_hostMedium = host;
    m_deviceMedium = device;
    QObject::connect(&m_monitor, &KelMonitor::frame, &m_monitor, [this](const MonitorFrame &f) { m_frames << f; });
    QObject::connect(&m_monitor, &KelMonitor::event, &m_monitor, [this](const MonitorEvent &e) { m_events << e; });
    for (auto [medium, pty, com] : {std::tuple{host, &m_hostPty, kHostCom}, std::tuple{device, &m_devicePty, kDeviceCom}}) {
        if (medium != Medium::Serial)
            continue;
        if (!pty->start()) {
            m_error = pty->errorString();
            return false;
        }
        qputenv(qPrintable(QStringLiteral("MIV_COM%1").arg(com)), pty->first().toUtf8());
    }
    if (device == Medium::Tcp && deviceListens) {
        m_deviceServer.listen(QHostAddress::LocalHost, 0);
        m_devicePort = m_deviceServer.serverPort();
    } else if (device == Medium::Tcp) {
        m_devicePort = FreePort();
    } else if (!(m_device = openSerial(m_devicePty))) {
        return false;
    }
    if (host == Medium::Serial && !(m_host = openSerial(m_hostPty)))
        return false;
    try {
        m_monitor.start(option(host, true, timeoutMs, packet, 0), option(device, false, timeoutMs, packet, m_devicePort));
    } catch (const MivError &e) {
        m_error = e.description();
        return false;
    }
    if (host == Medium::Serial && device == Medium::Tcp
        && !pumpUntil([this] { return m_deviceServer.hasPendingConnections(); }))
        return false;
    if (m_deviceServer.hasPendingConnections())
        m_device = m_deviceServer.nextPendingConnection();
    return true;
}

QIODevice *MonitorRig::connectHost()
{
    if (m_hostMedium == Medium::Serial)
        return m_host;
    const QString address = m_monitor.hostAddress();
    auto socket = std::make_shared<QTcpSocket>();
    socket->connectToHost(QHostAddress::LocalHost, address.mid(address.lastIndexOf(u':') + 1).toUShort());
    if (!socket->waitForConnected(3000))
        return nullptr;
    m_ends.append(socket);
    m_host = socket.get();
    const qsizetype pairs = m_events.size();
    // The monitor takes the host, then opens (or fails to open) its device side.
    // A TCP device end has its connection once the test's server has taken it.
    pumpUntil([&] {
        if (m_deviceServer.hasPendingConnections())
            return true;
        for (qsizetype i = pairs; i < m_events.size(); ++i) {
            const MonitorEvent &e = m_events.at(i);
            if (e.kind == MivTapEventKind::Error || (e.side == MonitorSide::Device && m_deviceMedium == Medium::Serial))
                return true;
        }
        return false;
    });
    if (m_deviceServer.hasPendingConnections())
        m_device = m_deviceServer.nextPendingConnection();
    return m_host;
}

QList<MonitorFrame> MonitorRig::frames(MonitorSide side) const
{
    QList<MonitorFrame> found;
    for (const MonitorFrame &f : m_frames) {
        if (f.side == side)
            found << f;
    }
    return found;
}

QList<MonitorEvent> MonitorRig::events(MivTapEventKind kind) const
{
    QList<MonitorEvent> found;
    for (const MonitorEvent &e : m_events) {
        if (e.kind == kind)
            found << e;
    }
    return found;
}

bool MonitorRig::hasEvent(MivTapEventKind kind, MonitorSide side, const QString &textPart) const
{
    for (const MonitorEvent &e : m_events) {
        if (e.kind == kind && e.side == side && e.text.contains(textPart))
            return true;
    }
    return false;
}

bool MonitorRig::pumpUntil(const std::function<bool()> &condition, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(kPumpMs);
    }
    return true;
}

bool MonitorRig::closed(QIODevice *end)
{
    auto *socket = qobject_cast<QAbstractSocket *>(end);
    return socket && socket->state() == QAbstractSocket::UnconnectedState;
}
