// The pass-through monitor's cost: kelpeer --monitor (a process) between clients of this process
// and a kelpeer device (a process), against the same clients straight to the device, in turns.
// Rows: one request at a time (median round trip; the difference is what the monitor adds),
// ten pipelined clients (throughput), and a 16 MiB burst from one host connection (the monitor's
// peak memory growth against an 8 MiB bound, and another pair's round trip against idle). The
// burst goes through a monitor of its own in front of a device that serves each connection on
// its own thread: a single-threaded device would keep the other pair waiting behind the burst
// itself, and the row would time the device, not the monitor.
//
//   bench_monitor [round trips a round, default 2000]
#include "FloodClient.h"
#include "LoopbackPort.h"
#include "LoopbackSocket.h"
#include "Paired.h"
#include "PeakResident.h"
#include "ProcessProbe.h"
#include "ThreadedDevice.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>

#include <poll.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <vector>

namespace {

const QByteArray kRequest = "GET:A:1:X:\r";
const QByteArray kAnswer = "0,3,1\r";
constexpr int kDefaultCount = 2000;
constexpr int kStartMs = 5000;
constexpr int kRetryMs = 10;
constexpr int kClients = 10;
constexpr int kDepth = 4;            // requests each pipelined client keeps unanswered
constexpr int kPipelinedEach = 2000; // requests per pipelined client and round
constexpr qint64 kBurstBytes = 16 << 20;
constexpr double kBoundMiB = 8;
constexpr double kKbPerMiB = 1024;
constexpr int kPollMs = 20;
constexpr qint64 kRoundMs = 300000;
constexpr int kIdleTrips = 50;
constexpr double kNsPerUs = 1e3;

QString ServerOption(quint16 port)
{
    return QStringLiteral("Conn=eth::%1,PacketOpt=4:0:0:0,EtherOpt=1:20:0,Timeout=500,MyIP=127.0.0.1").arg(port);
}

QString ClientOption(quint16 port)
{
    return QStringLiteral("Conn=eth:127.0.0.1:%1,PacketOpt=4:0:0:0,EtherOpt=0,Timeout=2000").arg(port);
}

QString Kelpeer()
{
    return qEnvironmentVariableIsEmpty("KELPEER") ? QStringLiteral(KELPEER_PATH) : qEnvironmentVariable("KELPEER");
}

// kelpeer on a port of ours; its lines (one per frame for a monitor) go nowhere. True once it
// takes a connection.
bool StartPeer(QProcess &peer, quint16 port, const QStringList &more)
{
    peer.setStandardOutputFile(QProcess::nullDevice());
    peer.setStandardErrorFile(QProcess::nullDevice());
    peer.start(Kelpeer(), QStringList{QStringLiteral("--option"), ServerOption(port)} + more);
    QDeadlineTimer deadline(kStartMs);
    while (!deadline.hasExpired()) {
        const int fd = ConnectLoopback(port);
        if (fd >= 0) {
            ::close(fd);
            return true;
        }
        QThread::msleep(kRetryMs);
    }
    std::fprintf(stderr, "bench_monitor: %s did not serve on port %u\n", qPrintable(Kelpeer()), unsigned(port));
    return false;
}

// The median round trip in microseconds, one request at a time; -1 when the link fails.
double MedianRoundTripUs(quint16 port, int count)
{
    const int fd = ConnectLoopback(port);
    if (fd < 0)
        return -1;
    std::vector<double> trips;
    trips.reserve(std::size_t(count));
    QElapsedTimer clock;
    for (int i = 0; i < count; ++i) {
        clock.start();
        if (!BlockingRoundTrip(fd, kRequest)) {
            ::close(fd);
            return -1;
        }
        trips.push_back(double(clock.nsecsElapsed()) / kNsPerUs);
    }
    ::close(fd);
    return Median(trips);
}

// Ten clients, each keeping kDepth requests unanswered until it has had kPipelinedEach answers:
// answers per second; -1 when a link fails.
double PipelinedRate(quint16 port)
{
    std::array<int, kClients> fds;
    std::array<int, kClients> sent{};
    std::array<int, kClients> answered{};
    for (int &fd : fds) {
        if ((fd = ConnectLoopback(port)) < 0)
            return -1;
    }
    char buffer[4096];
    bool ok = true;
    QElapsedTimer clock;
    clock.start();
    int done = 0;
    while (ok && done < kClients && clock.elapsed() < kRoundMs) {
        std::array<pollfd, kClients> polls;
        for (int c = 0; c < kClients; ++c) {
            while (sent[c] < kPipelinedEach && sent[c] - answered[c] < kDepth) {
                ok = ok && ::send(fds[c], kRequest.constData(), size_t(kRequest.size()), MSG_NOSIGNAL) == kRequest.size();
                ++sent[c];
            }
            polls[c] = {fds[c], short(answered[c] < kPipelinedEach ? POLLIN : 0), 0};
        }
        if (::poll(polls.data(), kClients, kPollMs) <= 0)
            continue;
        for (int c = 0; c < kClients; ++c) {
            if (!(polls[c].revents & POLLIN))
                continue;
            const ssize_t n = ::recv(fds[c], buffer, sizeof buffer, MSG_DONTWAIT);
            ok = ok && n > 0;
            if (n > 0)
                answered[c] += int(std::count(buffer, buffer + n, '\r'));
        }
        done = int(std::count_if(answered.begin(), answered.end(), [](int a) { return a >= kPipelinedEach; }));
    }
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    for (int fd : fds)
        ::close(fd);
    return ok && done == kClients ? kClients * kPipelinedEach / seconds : -1;
}

struct BurstFigures
{
    double growthMiB = -1;   // the monitor's peak resident memory over its resident memory before
    double secondMs = -1;    // another pair's round trip during the burst
    double idleMs = -1;      // the same round trip, no burst
};

double OneTripMs(quint16 port)
{
    const double us = MedianRoundTripUs(port, kIdleTrips);
    return us < 0 ? -1 : us / kNsPerUs;
}

// A burst of requests from one host connection through the monitor, its answers read; once a
// quarter has gone, a second pair's round trip.
BurstFigures Burst(quint16 monitorPort, qint64 monitorPid, const QByteArray &burst)
{
    BurstFigures figures;
    figures.idleMs = OneTripMs(monitorPort);
    const qint64 before = ResidentKb(QString::number(monitorPid));
    if (before < 0 || !ResetPeakResident(QString::number(monitorPid)))
        return figures;
    FloodClient flooder;
    if (!flooder.connectTo(monitorPort))
        return figures;
    flooder.start(burst, true);
    const qint64 requests = burst.size() / kRequest.size();
    QElapsedTimer round;
    round.start();
    while (flooder.written < burst.size() / 4 && round.elapsed() < kRoundMs)
        QThread::msleep(1);
    figures.secondMs = OneTripMs(monitorPort);
    while (flooder.answers < requests && round.elapsed() < kRoundMs)
        QThread::msleep(kPollMs);
    const qint64 peak = PeakResidentKb(QString::number(monitorPid));
    flooder.stop();
    if (flooder.answers < requests || peak < 0)
        return figures;
    figures.growthMiB = double(peak - before) / kKbPerMiB;
    return figures;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? std::max(1, atoi(argv[1])) : kDefaultCount;
    QProcess device;
    QProcess monitor;
    const quint16 devicePort = FreePort();
    if (!StartPeer(device, devicePort, {}))
        return 1;
    const quint16 monitorPort = FreePort();
    if (!StartPeer(monitor, monitorPort, {QStringLiteral("--monitor"), ClientOption(devicePort)}))
        return 1;

    bool ok = PairedRun(PairedRow("monitor round trip (median; the difference is added)", "us", Better::Lower),
                        [&] { return MedianRoundTripUs(monitorPort, count); },
                        [&] { return MedianRoundTripUs(devicePort, count); });
    ok = PairedRun(PairedRow("monitor, 10 pipelined clients", "requests/s", Better::Higher),
                   [&] { return PipelinedRate(monitorPort); }, [&] { return PipelinedRate(devicePort); })
         && ok;

    ThreadedDevice burstDevice(kAnswer);
    const quint16 burstDevicePort = burstDevice.listen();
    QProcess burstMonitor;
    const quint16 burstPort = FreePort();
    if (burstDevicePort == 0
        || !StartPeer(burstMonitor, burstPort, {QStringLiteral("--monitor"), ClientOption(burstDevicePort)}))
        return 1;
    QByteArray burst;
    burst.reserve(kBurstBytes);
    while (burst.size() + kRequest.size() <= kBurstBytes)
        burst += kRequest;
    PairedRow memory("monitor, 16 MiB burst: peak memory growth vs 8 MiB bound", "MiB", Better::Lower);
    PairedRow other("monitor, 16 MiB burst: another pair's round trip vs idle", "ms", Better::Lower);
    ok = PairedRounds({&memory, &other}, [&] {
             const BurstFigures figures = Burst(burstPort, burstMonitor.processId(), burst);
             memory.add(figures.growthMiB, kBoundMiB);
             other.add(figures.secondMs, figures.idleMs);
             return figures.growthMiB >= 0 && figures.secondMs >= 0 && figures.idleMs >= 0;
         })
         && ok;
    for (QProcess *peer : {&burstMonitor, &monitor, &device})
        peer->terminate();
    for (QProcess *peer : {&burstMonitor, &monitor, &device})
        peer->waitForFinished(kStartMs);
    return ok ? 0 : 1;
}
