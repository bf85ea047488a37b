// A flood of empty frames against a server: one client sends a burst of bare CRs and reads its
// answers; once a quarter of the burst is sent, a second client sends one GET. Measured: the
// second client's wait for its answer (baseline: the same GET against the idle server) and the
// server's peak resident memory over the run (baseline: its resident memory before). Servers:
// a kelpeer device (a process) and the tester window in Ether(Server) with its automatic reply
// (in this process).
//
//   bench_flood [MiB ...]    bursts, default 1 4 16
#include "BenchRow.h"
#include "BenchServers.h"
#include "EngineObjects.h"
#include "FloodClient.h"
#include "MivController.h"
#include "PeakResident.h"
#include "frmKELTester.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>

#include <cstdio>
#include <functional>
#include <string>

namespace {

const QByteArray kRequest = "GET:A:1:X:\r";
constexpr qint64 kMaxRunMs = 600000;

struct Figures
{
    double waitMs = 0;     // the second client's, under the flood
    double idleWaitMs = 0; // the same request with no flood
    qint64 residentKb = 0; // before the flood
    qint64 growthKb = 0;   // peak over the run, less residentKb
    double floodMs = 0;    // until the flood's last answer
    bool complete = false;
};

// Runs the event loop of this process until done() or the run's time is up.
bool Until(const std::function<bool()> &done, const QElapsedTimer &run)
{
    while (!done()) {
        if (run.elapsed() > kMaxRunMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, FloodClient::kPollMs);
        if (!done())
            QThread::usleep(200);
    }
    return true;
}

// One request from a fresh client, in ms, -1 when it gets no answer.
double OneRequest(quint16 port, const QElapsedTimer &run)
{
    FloodClient client;
    if (!client.connectTo(port))
        return -1;
    QElapsedTimer wait;
    wait.start();
    client.start(kRequest, true);
    if (!Until([&] { return client.answers > 0; }, run))
        return -1;
    return double(wait.nsecsElapsed()) / 1e6;
}

Figures Flood(quint16 port, const QString &pid, qint64 burstBytes)
{
    Figures f;
    QElapsedTimer run;
    run.start();
    f.idleWaitMs = OneRequest(port, run);
    const QByteArray burst(burstBytes, '\r');
    ResetPeakResident(pid);
    f.residentKb = PeakResidentKb(pid);

    FloodClient flooder;
    FloodClient second;
    if (!flooder.connectTo(port) || !second.connectTo(port))
        return f;
    QElapsedTimer flood;
    flood.start();
    flooder.start(burst, true);
    if (!Until([&] { return flooder.written >= burstBytes / 4; }, run))
        return f;
    QElapsedTimer wait;
    wait.start();
    second.start(kRequest, true);
    bool answered = Until([&] { return second.answers > 0; }, run);
    f.waitMs = double(wait.nsecsElapsed()) / 1e6;
    answered = answered && Until([&] { return flooder.answers >= burstBytes; }, run);
    f.floodMs = double(flood.nsecsElapsed()) / 1e6;
    f.growthKb = PeakResidentKb(pid) - f.residentKb;
    f.complete = answered;
    return f;
}

void Report(const char *server, qint64 mib, const Figures &f)
{
    std::printf("%-7s %3lld MiB: second client waited %9.1f ms (idle %.2f ms), memory +%lld kB over %lld kB, "
                "flood answered in %.0f ms%s\n",
                server, static_cast<long long>(mib), f.waitMs, f.idleWaitMs, static_cast<long long>(f.growthKb),
                static_cast<long long>(f.residentKb), f.floodMs, f.complete ? "" : "  (INCOMPLETE)");
    const std::string wait = std::string("flood ") + std::to_string(mib) + " MiB, " + server + ": 2nd client's wait";
    PrintRow(wait.c_str(), f.waitMs, f.idleWaitMs, "ms (vs idle)", f.waitMs / qMax(f.idleWaitMs, 1e-3));
    const std::string memory = std::string("flood ") + std::to_string(mib) + " MiB, " + server + ": peak memory";
    PrintRow(memory.c_str(), double(f.residentKb + f.growthKb) / 1024, double(f.residentKb) / 1024, "MiB (vs before)",
             double(f.residentKb + f.growthKb) / qMax<double>(double(f.residentKb), 1));
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QList<qint64> bursts;
    for (int i = 1; i < argc; ++i)
        bursts << qMax(1, QString::fromLocal8Bit(argv[i]).toInt());
    if (bursts.isEmpty())
        bursts = {1, 4, 16};
    const QString kelpeer = KelpeerPath();
    int status = 0;
    for (qint64 mib : bursts) {
        QProcess device;
        const quint16 port = StartDevice(device, kelpeer);
        if (port == 0)
            return 1;
        const Figures f = Flood(port, QString::number(device.processId()), mib << 20);
        Report("kelpeer", mib, f);
        status |= f.complete ? 0 : 1;
        device.terminate();
        device.waitForFinished(5000);
    }

    EngineObjects engine;
    for (qint64 mib : bursts) {
        frmKELTester window;
        window.show();
        const Figures f = Flood(ServeFromWindow(window), QStringLiteral("self"), mib << 20);
        Report("window", mib, f);
        status |= f.complete ? 0 : 1;
        window.RemoveController();
    }
    return status;
}
