// A test plan of one-request steps against one kelpeer device over loopback, in one run:
//  - kelpeer --plan against kelpeer --send of the same requests, each a process started the same
//    way; whole, and with what comes before the first request taken out of both (the start, the
//    connection and the plan's reading), which is each process's time with the same arguments
//    against a port where nothing listens: what differs then is the plan's judging and reporting;
//  - the plan run in the main window's Test Plan pane against the plan runner alone on the same
//    connection of the same window.
//   bench_plan [steps, default 10000]
#include "ConnectDialog.h"
#include "KelPeerConfig.h"
#include "KelPeerThread.h"
#include "Paired.h"
#include "PlanPane.h"
#include "PlanParser.h"
#include "PlanRunner.h"
#include "ProcessEngine.h"
#include "frmKELTester.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kDefaultSteps = 10000;
constexpr int kProcessWaitMs = 600000;
constexpr quint16 kRefusedPort = 1; // nothing listens there: a client's connection is refused
const QString kRequest = QStringLiteral("GET:A:1:X:");

QString ClientOption(quint16 port)
{
    return QStringLiteral("Conn=eth:127.0.0.1:%1,EtherOpt=0,Timeout=2000").arg(port);
}

QByteArray PlanText(int steps)
{
    QByteArray text = "[plan]\nname = \"bench\"\n";
    for (int i = 0; i < steps; ++i)
        text += "[[step]]\nsend = \"" + kRequest.toLatin1() + "\"\nmatch = '^0,.*$'\n";
    return text;
}

// Milliseconds kelpeer takes with these arguments; negative when it failed or, with a refused
// connection expected, did not fail with exitCode.
double KelpeerRun(const QStringList &args, int exitCode = 0)
{
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    process.start(QStringLiteral(KELPEER_PATH), args);
    if (!process.waitForFinished(kProcessWaitMs) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != exitCode)
        return -1;
    return double(clock.nsecsElapsed()) / 1e6;
}

// Milliseconds until started() has run the plan to its end; negative when a step failed.
template<typename Sender, typename Signal>
double UntilFinished(Sender *sender, Signal finished, const std::function<void()> &started, const std::function<bool()> &passed)
{
    QEventLoop loop;
    QObject::connect(sender, finished, &loop, &QEventLoop::quit);
    QElapsedTimer clock;
    clock.start();
    started();
    loop.exec();
    return passed() ? double(clock.nsecsElapsed()) / 1e6 : -1;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int steps = argc > 1 ? std::max(1, atoi(argv[1])) : kDefaultSteps;
    KelPeerThread device(ParseKelPeerArgs({"--option", "Conn=eth::0,EtherOpt=1:10:900,Timeout=2000"}).config);
    if (!device.start()) {
        std::fprintf(stderr, "bench_plan: %s\n", qPrintable(device.errorString()));
        return 1;
    }
    QTemporaryDir folder;
    const QString planPath = folder.filePath(QStringLiteral("bench.toml"));
    QFile file(planPath);
    const QByteArray text = PlanText(steps);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        return 1;
    file.close();

    const QString count = QString::number(steps);
    const QStringList planArgs{"--plan", planPath};
    const QStringList sendArgs{"--send", kRequest, "--count", count};
    const QStringList live{"--option", ClientOption(device.port())};
    const QStringList refused{"--option", ClientOption(kRefusedPort)};
    PairedRow whole("plan of " + count.toStdString() + " steps: kelpeer --plan vs --send", "ms", Better::Lower);
    PairedRow runs("plan of " + count.toStdString() + " steps: kelpeer --plan vs --send, the runs alone", "ms", Better::Lower);
    bool ok = PairedRounds({&whole, &runs}, [&] {
        const double planMs = KelpeerRun(live + planArgs);
        const double sendMs = KelpeerRun(live + sendArgs);
        const double planSetupMs = KelpeerRun(refused + planArgs, KelPeerExit::PlanBad);
        const double sendSetupMs = KelpeerRun(refused + sendArgs, KelPeerExit::Failure);
        if (std::min({planMs, sendMs, planSetupMs, sendSetupMs}) < 0)
            return false;
        whole.add(planMs, sendMs);
        runs.add(planMs - planSetupMs, sendMs - sendSetupMs);
        return true;
    });

    ProcessEngine engine; // the process-wide engine the window connects through
    frmKELTester window;
    window.show();
    ConnChoice settings;
    settings.port = device.port();
    settings.timeoutMs = 2000;
    if (!ConnectThroughDialog(window, settings) || !window.mivCtrl()) {
        std::fprintf(stderr, "bench_plan: the window did not connect\n");
        return 1;
    }
    PlanPane *pane = window.planPane();
    pane->show();
    QString error;
    std::optional<Plan> plan = ParsePlan(text, planPath, &error);
    if (!plan || !pane->openPlan(planPath)) {
        std::fprintf(stderr, "bench_plan: %s\n", qPrintable(error));
        return 1;
    }
    const auto paneRun = [&] {
        return UntilFinished(pane, &PlanPane::planFinished, [&] { pane->run(); },
                             [&] { return pane->report() && pane->report()->allPassed(); });
    };
    const auto runnerRun = [&] {
        PlanRunner runner(*plan, window.mivCtrl());
        return UntilFinished(&runner, &PlanRunner::finished, [&] { runner.start(); },
                             [&] { return runner.report().allPassed(); });
    };
    ok = PairedRun(PairedRow("plan of " + count.toStdString() + " steps: Test Plan pane vs runner alone", "ms", Better::Lower),
                   paneRun, runnerRun) && ok;
    return ok ? 0 : 1;
}
