// Automatic reply throughput: kelpeer hosts send requests to the tester window in Ether(Server)
// (delay 0, logging on, window shown), one at a time from one host and pipelined from 1 and from
// 10 hosts; the same hosts against a kelpeer device are the baseline. While the window serves, a
// 10 ms ticker in this process measures how late the event loop runs it; the same ticker while
// this process only waits for the kelpeer device is the stall baseline. This process waits in
// its event loop (blocked in poll), never spinning, so it does not compete with the peers.
// Then, one at a time from one host, the window with the Traffic pane open, recording, and both,
// against the window with neither. Ours and its baseline take turns, a round each.
//
//   bench_autoreply [requests one at a time a round, default 5000] [pipelined, default 10000]

#include "BenchServers.h"
#include "LogModel.h"
#include "MivController.h"
#include "Paired.h"
#include "ProcessEngine.h"
#include "TrafficSetting.h"
#include "frmKELTester.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kTickMs = 10;
constexpr int kRunLimitMs = 300000;
constexpr int kDefaultOneAtATime = 5000;
constexpr int kDefaultPipelined = 10000;

struct Load
{
    const char *name;
    int clients;
    bool pipelined;
};

struct Figures
{
    double perSecond = 0;
    double stallP99Ms = 0;
    bool complete = false;
};

QString HostOption(quint16 port)
{
    return QStringLiteral("Conn=eth:127.0.0.1:%1,PacketOpt=4:0:0:0,EtherOpt=0,Timeout=60000").arg(port);
}

// Runs the load's hosts against the port, `total` requests shared among them; measures from their
// start to the last host's exit, and the gaps between ticks of a timer in this process.
Figures Fire(const QString &kelpeer, quint16 port, const Load &load, int total)
{
    std::vector<qint64> gapsNs;
    QElapsedTimer sinceTick;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(kTickMs);
    QObject::connect(&ticker, &QTimer::timeout, &ticker, [&] { gapsNs.push_back(sinceTick.nsecsElapsed()); sinceTick.start(); });

    QEventLoop loop;
    int running = load.clients;
    Figures figures;
    figures.complete = true;
    std::vector<std::unique_ptr<QProcess>> hosts;
    QStringList arguments{QStringLiteral("--option"), HostOption(port), QStringLiteral("--send"),
                          QStringLiteral("GET:A:1:X:"), QStringLiteral("--count"),
                          QString::number(total / load.clients)};
    if (load.pipelined)
        arguments << QStringLiteral("--no-wait");
    QElapsedTimer run;
    run.start();
    sinceTick.start();
    ticker.start();
    for (int i = 0; i < load.clients; ++i) {
        auto host = std::make_unique<QProcess>();
        host->setStandardOutputFile(QProcess::nullDevice());
        QProcess *raw = host.get();
        QObject::connect(raw, &QProcess::finished, &loop, [&, raw](int code, QProcess::ExitStatus status) {
            figures.complete = figures.complete && status == QProcess::NormalExit && code == 0;
            if (--running == 0)
                loop.quit();
        });
        host->start(kelpeer, arguments);
        hosts.push_back(std::move(host));
    }
    QTimer::singleShot(kRunLimitMs, &loop, [&] {
        figures.complete = false;
        loop.quit();
    });
    loop.exec();
    const qint64 elapsedNs = run.nsecsElapsed();
    ticker.stop();
    for (auto &host : hosts) {
        host->kill();
        host->waitForFinished(kBenchStartMs);
    }

    figures.perSecond = double(load.clients * (total / load.clients)) * 1e9 / double(qMax<qint64>(elapsedNs, 1));
    std::sort(gapsNs.begin(), gapsNs.end());
    if (!gapsNs.empty())
        figures.stallP99Ms = gapsNs[std::min(gapsNs.size() - 1, gapsNs.size() * 99 / 100)] / 1e6;
    return figures;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int oneAtATime = argc > 1 ? qMax(10, QString::fromLocal8Bit(argv[1]).toInt()) : kDefaultOneAtATime;
    const int pipelined = argc > 2 ? qMax(10, QString::fromLocal8Bit(argv[2]).toInt()) : kDefaultPipelined;
    const QString kelpeer = KelpeerPath();

    int status = 0;
    {
        BenchServers servers;
        if (!servers.start(kelpeer))
            return 1;
        frmKELTester &window = servers.window;
        const quint16 devicePort = servers.devicePort;
        const quint16 windowPort = servers.windowPort;

        const Load loads[] = {{"one at a time, 1 client", 1, false},
                              {"pipelined, 1 client", 1, true},
                              {"pipelined, 10 clients", 10, true}};
        // The window's run, from an empty log.
        const auto serve = [&](const Load &load, int total) {
            window.logModel()->clear();
            return Fire(kelpeer, windowPort, load, total);
        };
        for (const Load &load : loads) {
            const int total = load.pipelined ? pipelined : oneAtATime;
            PairedRow rate(std::string("auto-reply, ") + load.name, "requests/s", Better::Higher);
            // A run shorter than a tick has no gaps to measure.
            PairedRow stall(std::string("event-loop stall p99, ") + load.name, "ms between 10 ms ticks",
                            Better::Lower, kTickMs / 2.0);
            const bool ok = PairedRounds({&rate, &stall}, [&] {
                const Figures tester = serve(load, total);
                const Figures baseline = Fire(kelpeer, devicePort, load, total);
                rate.add(tester.perSecond, baseline.perSecond);
                stall.add(tester.stallP99Ms, baseline.stallP99Ms);
                return tester.complete && baseline.complete;
            });
            status |= ok ? 0 : 1;
        }
        QTemporaryDir folder;
        for (const TrafficSetting &setting : kTrafficSettings) {
            if (!setting.pane && !setting.record)
                continue;
            PairedRow rate(std::string("traffic: auto-reply one at a time, 1 client, ") + setting.name,
                           "requests/s (vs neither)", Better::Higher);
            const bool ok = PairedRounds({&rate}, [&] {
                ApplyTrafficSetting(window, setting, QDir(folder.path()));
                const Figures tester = serve(loads[0], oneAtATime);
                ApplyTrafficSetting(window, kTrafficSettings[0], QDir(folder.path()));
                const Figures plain = serve(loads[0], oneAtATime);
                rate.add(tester.perSecond, plain.perSecond);
                return tester.complete && plain.complete;
            });
            status |= ok ? 0 : 1;
        }
    }
    return status;
}
