// Automatic reply throughput: kelpeer hosts fire requests at a tester window's Ether(Server)
// (delay 0, logging on) with 1 and with 10 clients at once; the same load against a kelpeer
// device is the baseline. Prints requests answered per second and, for the window, the 99th
// percentile and maximum of event-loop stalls seen by a 10 ms timer. Then, with 1 client, the
// window with the Traffic pane open, recording, and both, against the window with neither.
//
//   bench_autoreply [requests per run, default 20000]

#include "BenchRow.h"
#include "EngineObjects.h"
#include "LogModel.h"
#include "MivController.h"
#include "MivEngine.h"
#include "MivWorkspace.h"
#include "TrafficSetting.h"
#include "frmKELTester.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

struct Figures
{
    double perSecond = 0;
    qint64 stallP99 = 0;
    qint64 stallMax = 0;
    bool complete = false;
};

QString HostOption(quint16 port)
{
    return QStringLiteral("Conn=eth:127.0.0.1:%1,PacketOpt=4:0:0:0,EtherOpt=0,Timeout=60000").arg(port);
}

quint16 PortOf(const QString &address)
{
    return address.mid(address.lastIndexOf(u':') + 1).toUShort();
}

// Runs `clients` hosts of `perClient` requests each against the port, with the event loop
// running; measures from their start to the last host's exit.
Figures Fire(const QString &kelpeer, quint16 port, int clients, int perClient)
{
    std::vector<std::unique_ptr<QProcess>> hosts;
    std::vector<qint64> gaps;
    QElapsedTimer sinceTick;
    QTimer ticker;
    ticker.setInterval(10);
    QObject::connect(&ticker, &QTimer::timeout, &ticker, [&] { gaps.push_back(sinceTick.restart()); });

    QElapsedTimer run;
    run.start();
    sinceTick.start();
    ticker.start();
    for (int i = 0; i < clients; ++i) {
        auto host = std::make_unique<QProcess>();
        host->setStandardOutputFile(QProcess::nullDevice());
        host->start(kelpeer, {QStringLiteral("--option"), HostOption(port), QStringLiteral("--send"),
                              QStringLiteral("GET:A:1:X:"), QStringLiteral("--count"),
                              QString::number(perClient), QStringLiteral("--no-wait")});
        hosts.push_back(std::move(host));
    }
    Figures figures;
    figures.complete = true;
    for (auto &host : hosts) {
        while (host->state() != QProcess::NotRunning && run.elapsed() < 300000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        figures.complete = figures.complete && host->exitStatus() == QProcess::NormalExit
                           && host->exitCode() == 0;
    }
    const qint64 elapsed = run.elapsed();
    ticker.stop();

    figures.perSecond = double(clients) * perClient * 1000.0 / double(qMax<qint64>(elapsed, 1));
    std::sort(gaps.begin(), gaps.end());
    if (!gaps.empty()) {
        figures.stallP99 = gaps[std::min(gaps.size() - 1, gaps.size() * 99 / 100)];
        figures.stallMax = gaps.back();
    }
    return figures;
}

void Print(const char *what, int clients, const Figures &figures, bool stalls)
{
    std::printf("%-10s %2d client(s): %9.0f requests/s%s", what, clients, figures.perSecond,
                figures.complete ? "" : "  (INCOMPLETE: a host failed)");
    if (stalls)
        std::printf("   stall p99 %3lld ms, max %4lld ms", static_cast<long long>(figures.stallP99),
                    static_cast<long long>(figures.stallMax));
    std::printf("\n");
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int requests = argc > 1 ? qMax(10, QString::fromLocal8Bit(argv[1]).toInt()) : 20000;
    const QString kelpeer = qEnvironmentVariableIsEmpty("KELPEER")
                                ? QStringLiteral(KELPEER_PATH)
                                : qEnvironmentVariable("KELPEER");

    int status = 0;
    {
        EngineObjects engine;
        // Baseline: a kelpeer device answering the same requests.
        QProcess device;
        device.start(kelpeer, {QStringLiteral("--option"),
                               QStringLiteral("Conn=eth::0,PacketOpt=4:0:0:0,EtherOpt=1:20:0,Timeout=500,MyIP=127.0.0.1")});
        device.waitForReadyRead(5000);
        const QString ready = QString::fromUtf8(device.readLine()).trimmed();
        if (!ready.startsWith(QLatin1String("ready "))) {
            std::fprintf(stderr, "kelpeer device did not start: %s\n", qPrintable(kelpeer));
            return 1;
        }
        const quint16 devicePort = PortOf(ready);

        frmKELTester window;
        window.show();
        MivController *controller = g_mivEngine->Workspaces().Item(0)->AddController(
            QString(), QStringLiteral("MivProv.KEL"), QStringLiteral("localhost"),
            QStringLiteral("Conn=eth::0,PacketOpt=4:0:0:0,EtherOpt=1:20:0,Timeout=500,MyIP=127.0.0.1"));
        window.setMivCtrl(controller);
        window.m_lClient = 0;
        window.m_strAutoReply = QStringLiteral("0,3,1");
        window.m_strReplyDelay = QStringLiteral("0");
        const quint16 windowPort = PortOf(controller->localAddress());

        std::printf("%d requests per run\n", requests);
        double plainWindow = 0;
        for (int clients : {1, 10}) {
            const Figures baseline = Fire(kelpeer, devicePort, clients, requests / clients);
            Print("kelpeer", clients, baseline, false);
            window.logModel()->clear();
            const Figures tester = Fire(kelpeer, windowPort, clients, requests / clients);
            Print("window", clients, tester, true);
            if (clients == 1)
                plainWindow = tester.perSecond;
            const std::string name = "server auto-reply, " + std::to_string(clients) + " client(s)";
            PrintRow(name.c_str(), tester.perSecond, baseline.perSecond, "requests/s",
                     baseline.perSecond / qMax(tester.perSecond, 1.0));
            const std::string stall = "event-loop stall p99, " + std::to_string(clients) + " client(s)";
            PrintRow(stall.c_str(), double(tester.stallP99), 16.0, "ms (vs one frame)",
                     double(tester.stallP99) / 16.0);
            if (!baseline.complete || !tester.complete)
                status = 1;
        }
        QTemporaryDir folder;
        for (const TrafficSetting &setting : kTrafficSettings) {
            if (!setting.pane && !setting.record)
                continue;
            ApplyTrafficSetting(window, setting, QDir(folder.path()));
            window.logModel()->clear();
            const Figures tester = Fire(kelpeer, windowPort, 1, requests);
            Print(setting.name, 1, tester, true);
            const std::string name = std::string("server auto-reply, 1 client, ") + setting.name;
            PrintRow(name.c_str(), tester.perSecond, plainWindow, "requests/s (vs neither)",
                     plainWindow / qMax(tester.perSecond, 1.0));
            if (!tester.complete)
                status = 1;
        }
        ApplyTrafficSetting(window, kTrafficSettings[0], QDir(folder.path()));
        window.RemoveController();
        device.terminate();
        device.waitForFinished(3000);
    }
    return status;
}
