// A flood of empty frames against a server: one client sends a burst of bare CRs and reads its
// answers; once a quarter of the burst is sent, a second client sends one GET. Measured, in rounds:
// the second client's wait for its answer, against the same GET to the idle server and against the
// same GET once a quarter of as many empty frames has come from ten well-behaved clients (each
// keeps a few unanswered, and stops once the GET is answered); and the server's peak resident
// memory over the flood, against its resident memory before. Servers: a kelpeer device (a
// process) and the tester window in Ether(Server) with its automatic reply (in this process).
//
//   bench_flood [MiB ...]    bursts, default 1 4 16
#include "BenchServers.h"
#include "FloodClient.h"
#include "MivController.h"
#include "Paired.h"
#include "PeakResident.h"
#include "PoliteClient.h"
#include "ProcessEngine.h"
#include "frmKELTester.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

const QByteArray kRequest = "GET:A:1:X:\r";
constexpr qint64 kMaxRoundMs = 600000;
constexpr int kPoliteClients = 10;
// The polite clients' load is steady long before this many requests; waiting for a quarter of a
// 16 MiB burst's requests under their flow control would take the window a quarter of an hour.
constexpr qint64 kPoliteWarmRequests = qint64(1) << 18;
constexpr double kNearZeroMs = 1e-3;

// Runs the event loop of this process until done() or the round's time is up.
bool Until(const std::function<bool()> &done, const QElapsedTimer &round)
{
    while (!done()) {
        if (round.elapsed() > kMaxRoundMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, FloodClient::kPollMs);
        if (!done())
            QThread::usleep(200);
    }
    return true;
}

// A second client connects, then `load` starts; once `ready()`, the client sends one GET. Its wait
// for the answer in ms, -1 when none came.
double SecondClientWait(quint16 port, const std::function<void()> &load, const std::function<bool()> &ready,
                        const QElapsedTimer &round)
{
    FloodClient second;
    if (!second.connectTo(port))
        return -1;
    load();
    if (!Until(ready, round))
        return -1;
    QElapsedTimer wait;
    wait.start();
    second.start(kRequest, true);
    if (!Until([&] { return second.answers > 0; }, round))
        return -1;
    return double(wait.nsecsElapsed()) / 1e6;
}

double IdleWait(quint16 port, const QElapsedTimer &round)
{
    return SecondClientWait(port, [] {}, [] { return true; }, round);
}

double FloodWait(quint16 port, const QByteArray &burst, const QElapsedTimer &round)
{
    FloodClient flooder;
    if (!flooder.connectTo(port))
        return -1;
    const double wait = SecondClientWait(port, [&] { flooder.start(burst, true); },
                                         [&] { return flooder.written >= burst.size() / 4; }, round);
    // A flooder that left with answers unread would be a fault the window tells of.
    return Until([&] { return flooder.answers >= burst.size(); }, round) ? wait : -1;
}

double PoliteWait(quint16 port, qint64 requests, const QElapsedTimer &round)
{
    std::vector<std::unique_ptr<PoliteClient>> clients;
    for (int i = 0; i < kPoliteClients; ++i) {
        clients.push_back(std::make_unique<PoliteClient>(port));
        if (!clients.back()->connected())
            return -1;
    }
    const auto ready = [&] {
        qint64 sent = 0;
        for (const auto &client : clients) {
            if (client->lost)
                return true;
            sent += client->sent;
        }
        return sent >= std::min(requests / 4, kPoliteWarmRequests);
    };
    const double wait = SecondClientWait(
        port, [&] { for (auto &client : clients) client->start(requests / kPoliteClients); }, ready, round);
    for (auto &client : clients)
        client->finish();
    const bool drained = Until(
        [&] { return std::all_of(clients.begin(), clients.end(), [](const auto &c) { return c->done(); }); }, round);
    for (const auto &client : clients) {
        if (client->lost) {
            std::fprintf(stderr, "the server closed a polite client's connection\n");
            return -1;
        }
    }
    return drained ? wait : -1;
}

// The rows of one burst against one server.
struct FloodRows
{
    PairedRow idle;
    PairedRow memory;
    PairedRow polite;

    FloodRows(const char *server, qint64 mib)
        : idle(Prefix(server, mib) + ": 2nd client's wait", "ms (vs idle)", Better::Lower, kNearZeroMs),
          memory(Prefix(server, mib) + ": peak memory", "MiB (vs before)", Better::Lower),
          polite(Prefix(server, mib) + ": 2nd client's wait vs polite load", "ms (vs polite load)", Better::Lower,
                 kNearZeroMs)
    {
    }
    static std::string Prefix(const char *server, qint64 mib)
    {
        return "flood " + std::to_string(mib) + " MiB, " + server;
    }
};

// Rounds of: the GET to the idle server, the GET under the flood (and the server's memory), and
// the GET under polite load. False when a GET went unanswered.
bool Flood(const char *server, quint16 port, const QString &pid, qint64 mib)
{
    const QByteArray burst(mib << 20, '\r');
    FloodRows rows(server, mib);
    return PairedRounds({&rows.idle, &rows.memory, &rows.polite}, [&] {
        QElapsedTimer round;
        round.start();
        // The server is done with the last round's clients once it answers again.
        const bool calm = IdleWait(port, round) >= 0;
        const double idle = IdleWait(port, round);
        ResetPeakResident(pid);
        const qint64 beforeKb = PeakResidentKb(pid);
        const double flood = FloodWait(port, burst, round);
        const qint64 peakKb = PeakResidentKb(pid);
        const double polite = PoliteWait(port, burst.size(), round);
        std::printf("%-7s %3lld MiB: second client waited %.1f ms under the flood, %.1f ms under polite load, "
                    "%.2f ms idle; memory %lld kB, peak %lld kB\n",
                    server, static_cast<long long>(mib), flood, polite, idle, static_cast<long long>(beforeKb),
                    static_cast<long long>(peakKb));
        rows.idle.add(flood, idle);
        rows.memory.add(double(peakKb) / 1024, double(beforeKb) / 1024);
        rows.polite.add(flood, polite);
        return calm && idle >= 0 && flood >= 0 && polite >= 0;
    });
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
        status |= Flood("kelpeer", port, QString::number(device.processId()), mib) ? 0 : 1;
        device.terminate();
        device.waitForFinished(kBenchStartMs);
    }

    ProcessEngine engine;
    for (qint64 mib : bursts) {
        frmKELTester window;
        window.show();
        status |= Flood("window", ServeFromWindow(window), QStringLiteral("self"), mib) ? 0 : 1;
        window.RemoveController();
    }
    return status;
}
