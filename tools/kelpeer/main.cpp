#include "KelLoad.h"
#include "KelMonitorRun.h"
#include "KelPeer.h"
#include "KelPeerConfig.h"
#include "KelPeerText.h"
#include "KelPlanRole.h"
#include "MivError.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_signalPipe[2] = {-1, -1};

constexpr char kEnd = 1;
constexpr char kReload = 2;

void onSignal(int signal)
{
    const char byte = signal == SIGHUP ? kReload : kEnd;
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &byte, 1);
}

// One line whatever the text holds: see KelPeerText.h. Written out at once, or, when held,
// with the other lines of the same turn of the event loop.
void printLine(FILE *stream, const QString &line, bool hold = false)
{
    if (!hold && stream != stdout)
        std::fflush(stdout); // what came before goes before
    const QByteArray bytes = EscapeLine(line).toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fputc('\n', stream);
    if (!hold)
        std::fflush(stream);
}

// Prints what the peer or the load run says and runs until it has finished. A monitor holds its
// lines, errors too, for the turn: system calls for each frame of a pair would keep the other
// pairs waiting. They go out when the event loop is about to wait: a flush posted for the turn
// would wake it once more.
template<typename Runner>
int run(QCoreApplication &app, Runner &runner, bool holdLines = false)
{
    QObject::connect(&runner, &Runner::output, &app,
                     [holdLines](const QString &line) { printLine(stdout, line, holdLines); });
    if (holdLines) {
        std::setvbuf(stderr, nullptr, _IOFBF, BUFSIZ);
        QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, &app, [] {
            std::fflush(stdout);
            std::fflush(stderr);
        });
    }
    QObject::connect(&runner, &Runner::failure, &app,
                     [holdLines](const QString &line) { printLine(stderr, line, holdLines); });
    QObject::connect(&runner, &Runner::finished, &app, [](int code) { QCoreApplication::exit(code); });
    try {
        runner.start();
    } catch (const MivError &e) {
        printLine(stderr, QStringLiteral("kelpeer: ") + e.description());
        return KelPeerExit::Failure;
    }
    return app.exec();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const KelPeerArgs args = ParseKelPeerArgs(app.arguments().mid(1));
    if (args.outcome == KelPeerArgs::Help || args.outcome == KelPeerArgs::Version) {
        const QString text = args.outcome == KelPeerArgs::Help ? KelPeerUsage() : KelPeerVersion() + u'\n';
        std::fputs(text.toUtf8().constData(), stdout);
        return KelPeerExit::Ok;
    }
    if (args.outcome == KelPeerArgs::Usage) {
        printLine(stderr, QStringLiteral("kelpeer: ") + args.error);
        std::fputs((KelPeerSynopsis() + QStringLiteral("Try kelpeer --help.\n")).toUtf8().constData(), stderr);
        return KelPeerExit::Usage;
    }

    if (!args.config.planFromPath.isEmpty()) {
        QString plan;
        QString error;
        const int code = WritePlanFromRecord(args.config, &plan, &error);
        if (code == KelPeerExit::Ok)
            std::fputs(plan.toUtf8().constData(), stdout);
        else
            printLine(stderr, QStringLiteral("kelpeer: ") + error);
        return code;
    }

    // SIGINT/SIGTERM end the event loop through a self-pipe: exit 0, sockets closed cleanly.
    // SIGHUP reloads the rules file.
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) != 0) {
        std::perror("kelpeer: socketpair");
        return 1;
    }
    KelPeer peer(args.config);
    QSocketNotifier notifier(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, &app, [&peer] {
        char byte = kEnd;
        if (::read(g_signalPipe[0], &byte, 1) == 1 && byte == kReload)
            peer.reloadRules();
        else
            QCoreApplication::exit(0);
    });
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    if (!args.config.rulesPath.isEmpty())
        sigaction(SIGHUP, &action, nullptr);

    if (args.config.isMonitor()) {
        KelMonitorRun monitor(args.config);
        const int code = run(app, monitor, true);
        monitor.stop(); // the summary, also after SIGINT/SIGTERM
        return code;
    }
    if (args.config.load) {
        KelLoad load(args.config);
        return run(app, load);
    }
    if (args.config.isPlan()) {
        KelPlanRole plan(args.config);
        return run(app, plan);
    }
    return run(app, peer);
}
