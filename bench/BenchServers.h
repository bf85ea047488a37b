#pragma once

// The two servers the throughput benchmarks compare: a kelpeer device (a process) and the tester
// window in Ether(Server) answering every request automatically (in this process).
#include "MivController.h"
#include "MivEngine.h"
#include "MivWorkspace.h"
#include "ProcessEngine.h"
#include "TesterSession.h"
#include "frmKELTester.h"

#include <QProcess>

#include <cstdio>

// Any free port, answers after no delay, clients never idle out.
inline const QString kBenchServerOption =
    QStringLiteral("Conn=eth::0,PacketOpt=4:0:0:0,EtherOpt=1:20:0,Timeout=500,MyIP=127.0.0.1");
constexpr int kBenchStartMs = 5000;

inline QString KelpeerPath()
{
    return qEnvironmentVariableIsEmpty("KELPEER") ? QStringLiteral(KELPEER_PATH) : qEnvironmentVariable("KELPEER");
}

inline quint16 PortOf(const QString &address)
{
    return address.mid(address.lastIndexOf(u':') + 1).toUShort();
}

// Starts kelpeer as the device and returns its port, or 0 (said on stderr) when it did not start.
inline quint16 StartDevice(QProcess &device, const QString &kelpeer)
{
    device.setStandardErrorFile(QProcess::nullDevice());
    device.start(kelpeer, {QStringLiteral("--option"), kBenchServerOption});
    device.waitForReadyRead(kBenchStartMs);
    const QString ready = QString::fromUtf8(device.readLine()).trimmed();
    if (!ready.startsWith(QLatin1String("ready "))) {
        std::fprintf(stderr, "kelpeer device did not start: %s\n", qPrintable(kelpeer));
        return 0;
    }
    return PortOf(ready);
}

// Makes the shown window serve in Ether(Server) with the automatic reply "0,3,1" and returns its
// port. Needs the process-wide engine objects.
inline quint16 ServeFromWindow(frmKELTester &window)
{
    MivController *controller = g_mivEngine->Workspaces().Item(0)->AddController(
        QString(), QStringLiteral("MivProv.KEL"), QStringLiteral("localhost"), kBenchServerOption);
    window.session().setMivCtrl(controller);
    window.session().m_lClient = 0;
    window.session().m_strAutoReply = QStringLiteral("0,3,1");
    window.session().m_strReplyDelay = QStringLiteral("0");
    return PortOf(controller->localAddress());
}

// Both servers side by side, for one benchmark run; stopped when it goes. Needs the application.
struct BenchServers
{
    ProcessEngine engine;
    QProcess device;
    frmKELTester window;
    quint16 devicePort = 0;
    quint16 windowPort = 0;

    // False (said on stderr) when the device did not start.
    bool start(const QString &kelpeer)
    {
        devicePort = StartDevice(device, kelpeer);
        if (devicePort == 0)
            return false;
        window.show();
        windowPort = ServeFromWindow(window);
        return true;
    }

    ~BenchServers()
    {
        window.RemoveController();
        device.terminate();
        device.waitForFinished(kBenchStartMs);
    }
};
