// Synchronous round trips through the engine against a raw blocking-socket ping-pong of the
// same bytes, both to the same in-process kelpeer, in turns (each goes first every other round).
//   bench_roundtrip [round trips a round, default 3000]
#include "KelPeerConfig.h"
#include "KelPeerThread.h"
#include "LoopbackSocket.h"
#include "MivCommand.h"
#include "MivController.h"
#include "MivEngine.h"
#include "MivError.h"
#include "Paired.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace {

const char kRequest[] = "GET:A:1:X:";
constexpr int kDefaultCount = 3000;

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
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < count; ++i) {
        if (!BlockingRoundTrip(fd, frame))
            return -1;
    }
    return count * 1e9 / double(clock.nsecsElapsed());
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? std::max(1, atoi(argv[1])) : kDefaultCount;
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
        const int fd = ConnectLoopback(peer.port());
        if (fd < 0) {
            std::fprintf(stderr, "bench_roundtrip: raw connect failed\n");
            return 1;
        }
        PairedRow row("round trip, Execute(0)", "round trips/s", Better::Higher);
        int round = 0;
        const bool ok = PairedRounds({&row}, [&] {
            // Each side goes first every other round, so that neither always follows the other.
            const bool engineFirst = ++round % 2 == 0;
            const double first = engineFirst ? EngineRun(*command, count) : RawRun(fd, count);
            const double second = engineFirst ? RawRun(fd, count) : EngineRun(*command, count);
            const double engine = engineFirst ? first : second;
            const double raw = engineFirst ? second : first;
            row.add(engine, raw);
            return engine >= 0 && raw >= 0;
        });
        ::close(fd);
        if (!ok)
            return 1;
    } catch (const MivError &e) {
        std::fprintf(stderr, "bench_roundtrip: %s\n", qPrintable(e.description()));
        return 1;
    }
    return 0;
}
