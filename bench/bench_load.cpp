// kelpeer's load generator, one request at a time per connection, with 1 and 10 connections:
// against a kelpeer device (the baseline) and against the tester window in Ether(Server) with
// its automatic reply (delay 0, logging on), hosted in this process. Prints the load summary's
// requests per second and p99; the two servers take turns, a round each.
//
//   bench_load [requests a run, default 10000]

#include "BenchServers.h"
#include "LogModel.h"
#include "MivController.h"
#include "Paired.h"
#include "ProcessEngine.h"
#include "frmKELTester.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <string>

namespace {

constexpr qint64 kMaxRunMs = 300000;
constexpr int kDefaultRequests = 10000;
constexpr double kNearZeroMs = 1e-3;

struct Figures
{
    double perSecond = 0;
    double p99Ms = 0;
    bool complete = false;
};

// One load run against the port, with this process's event loop running meanwhile.
Figures Load(const QString &kelpeer, quint16 port, int clients, int requests)
{
    QTemporaryDir dir;
    const QString json = dir.filePath(QStringLiteral("load.json"));
    QProcess host;
    host.setStandardOutputFile(QProcess::nullDevice());
    host.start(kelpeer, {QStringLiteral("--option"),
                         QStringLiteral("Conn=eth:127.0.0.1:%1,EtherOpt=0,Timeout=5000").arg(port),
                         QStringLiteral("--send"), QStringLiteral("GET:A:1:X:"), QStringLiteral("--clients"),
                         QString::number(clients), QStringLiteral("--count"), QString::number(requests),
                         QStringLiteral("--json"), json, QStringLiteral("--max-errors"), QStringLiteral("0")});
    QElapsedTimer run;
    run.start();
    while (host.state() != QProcess::NotRunning && run.elapsed() < kMaxRunMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    Figures f;
    QFile file(json);
    if (!file.open(QIODevice::ReadOnly))
        return f;
    const QJsonObject summary = QJsonDocument::fromJson(file.readAll()).object();
    const QJsonObject all = summary.value(QLatin1String("latency")).toArray().last().toObject();
    f.perSecond = summary.value(QLatin1String("requests_per_s")).toDouble();
    f.p99Ms = all.value(QLatin1String("p99_us")).toDouble() / 1000;
    f.complete = host.exitStatus() == QProcess::NormalExit && host.exitCode() == 0;
    return f;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int requests = argc > 1 ? qMax(10, QString::fromLocal8Bit(argv[1]).toInt()) : kDefaultRequests;
    const QString kelpeer = KelpeerPath();
    BenchServers servers;
    if (!servers.start(kelpeer))
        return 1;

    int status = 0;
    std::printf("%d requests per run, one at a time per connection\n", requests);
    for (int clients : {1, 10}) {
        const std::string name = "load, " + std::to_string(clients) + " client(s)";
        PairedRow rate(name + ": requests/s", "requests/s", Better::Higher);
        PairedRow p99(name + ": p99", "ms", Better::Lower, kNearZeroMs);
        const bool ok = PairedRounds({&rate, &p99}, [&] {
            servers.window.logModel()->clear();
            const Figures tester = Load(kelpeer, servers.windowPort, clients, requests);
            const Figures baseline = Load(kelpeer, servers.devicePort, clients, requests);
            rate.add(tester.perSecond, baseline.perSecond);
            p99.add(tester.p99Ms, baseline.p99Ms);
            return tester.complete && baseline.complete;
        });
        status |= ok ? 0 : 1;
    }
    return status;
}
