// kelpeer's load generator, one request at a time per connection, with 1 and 10 connections:
// against a kelpeer device (the baseline) and against the tester window in Ether(Server) with
// its automatic reply (delay 0, logging on), hosted in this process. Prints the load summary's
// requests per second, p50 and p99 of each run.
//
//   bench_load [requests per run, default 20000]

#include "BenchRow.h"
#include "BenchServers.h"
#include "EngineObjects.h"
#include "LogModel.h"
#include "MivController.h"
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

struct Figures
{
    double perSecond = 0;
    double p50Ms = 0;
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
    f.p50Ms = all.value(QLatin1String("p50_us")).toDouble() / 1000;
    f.p99Ms = all.value(QLatin1String("p99_us")).toDouble() / 1000;
    f.complete = host.exitStatus() == QProcess::NormalExit && host.exitCode() == 0;
    return f;
}

void Print(const char *what, int clients, const Figures &f)
{
    std::printf("%-8s %2d client(s): %9.0f requests/s  p50 %7.3f ms  p99 %7.3f ms%s\n", what, clients, f.perSecond,
                f.p50Ms, f.p99Ms, f.complete ? "" : "  (INCOMPLETE)");
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int requests = argc > 1 ? qMax(10, QString::fromLocal8Bit(argv[1]).toInt()) : 20000;
    const QString kelpeer = KelpeerPath();
    BenchServers servers;
    if (!servers.start(kelpeer))
        return 1;

    int status = 0;
    std::printf("%d requests per run, one at a time per connection\n", requests);
    for (int clients : {1, 10}) {
        const Figures baseline = Load(kelpeer, servers.devicePort, clients, requests);
        Print("kelpeer", clients, baseline);
        servers.window.logModel()->clear();
        const Figures tester = Load(kelpeer, servers.windowPort, clients, requests);
        Print("window", clients, tester);
        const std::string name = "load, " + std::to_string(clients) + " client(s)";
        PrintRow((name + ": requests/s").c_str(), tester.perSecond, baseline.perSecond, "requests/s",
                 baseline.perSecond / qMax(tester.perSecond, 1.0));
        PrintRow((name + ": p99").c_str(), tester.p99Ms, baseline.p99Ms, "ms", tester.p99Ms / qMax(baseline.p99Ms, 1e-3));
        status |= baseline.complete && tester.complete ? 0 : 1;
    }
    return status;
}
