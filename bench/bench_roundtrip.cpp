// Synchronous round trips through the engine against a raw blocking-socket ping-pong of the
// same bytes, both to the same in-process kelpeer. Prints both rates and their ratio.
//   bench_roundtrip [round trips per run, default 20000]
#include "BenchRow.h"
#include "KelPeerConfig.h"
#include "KelPeerThread.h"
#include "MivCommand.h"
#include "MivController.h"
#include "MivEngine.h"
#include "MivError.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

const char kRequest[] = "GET:A:1:X:";

double EngineRun(MivCommand &command, int count)
{
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < count; ++i)
        command.Execute(0);
    return count * 1e9 / double(clock.nsecsElapsed());
}

double RawRun(int fd, int count)
{
    const QByteArray frame = QByteArray(kRequest) + '\r';
    char buffer[256];
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < count; ++i) {
        if (::send(fd, frame.constData(), size_t(frame.size()), 0) != frame.size())
            return 0;
        for (;;) {
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0)
                return 0;
            if (buffer[n - 1] == '\r')
                break;
        }
    }
    return count * 1e9 / double(clock.nsecsElapsed());
}

int RawConnect(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? std::max(1, atoi(argv[1])) : 20000;
    KelPeerThread peer(ParseKelPeerArgs({"--option", "Conn=eth::0,EtherOpt=1:10:900,Timeout=2000"}).config);
    if (!peer.start()) {
        std::fprintf(stderr, "bench_roundtrip: %s\n", qPrintable(peer.errorString()));
        return 1;
    }
    try {
        MivEngine engine;
        MivController *ctrl = engine.Workspaces().Item(0)->AddController(
            QString(), "MivProv.KEL", "localhost",
            QStringLiteral("Conn=eth:127.0.0.1:%1,EtherOpt=0,Timeout=2000").arg(peer.port()));
        MivCommand *command = ctrl->AddCommand("KELCmd", QString());
        command->setParameters({"GET", "A", "1", "X", ""});
        const int fd = RawConnect(peer.port());
        if (fd < 0) {
            std::fprintf(stderr, "bench_roundtrip: raw connect failed\n");
            return 1;
        }
        // Warm both paths, then interleave runs so that drift hits both alike.
        EngineRun(*command, count / 10 + 1);
        RawRun(fd, count / 10 + 1);
        std::vector<double> engineRates;
        std::vector<double> rawRates;
        for (int run = 0; run < 5; ++run) {
            engineRates.push_back(EngineRun(*command, count));
            rawRates.push_back(RawRun(fd, count));
        }
        ::close(fd);
        const double engineRate = Median(engineRates);
        const double rawRate = Median(rawRates);
        std::printf("round trips per run: %d (median of 5 runs)\n", count);
        std::printf("engine (MivCommand.Execute 0): %.0f/s, %.1f us each\n", engineRate, 1e6 / engineRate);
        std::printf("raw blocking socket:           %.0f/s, %.1f us each\n", rawRate, 1e6 / rawRate);
        std::printf("ratio engine/raw time: %.3f (target <= 1.10)\n", rawRate / engineRate);
        PrintRow("round trip, Execute(0)", engineRate, rawRate, "round trips/s", rawRate / engineRate);
    } catch (const MivError &e) {
        std::fprintf(stderr, "bench_roundtrip: %s\n", qPrintable(e.description()));
        return 1;
    }
    return 0;
}
