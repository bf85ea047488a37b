// Performance check cost, all against one kelpeer device over loopback, in one run:
//  - the cycle with statistics (every write and read timed into histograms, the panel and the
//    plot updated live) against the same cycle without them: the measurement's overhead;
//  - the performance window's whole "Write && Read" run against a plain blocking socket client
//    doing the same work: per cycle a PUT and a GET, each written and its answer read.
// The variants take turns in rounds, and within a round in several runs each, so that a burst of
// load on the machine falls on both sides alike; a row's ratio is the median of the rounds' ratios.
// The plain client runs at the priority the window gives its process, as the window's run does.
//
//   bench_perfcheck [cycles a run, 1..65535, default 4000]

#include "KelFramer.h"
#include "KelOptions.h"
#include "LoopbackSocket.h"
#include "MivController.h"
#include "MivEngine.h"
#include "MivError.h"
#include "MivVariable.h"
#include "MivWorkspace.h"
#include "Paired.h"
#include "PeerOnItsThread.h"
#include "PeerOptions.h"
#include "PerfPlot.h"
#include "PerfRun.h"
#include "PerfStatsPanel.h"
#include "ProcessEngine.h"
#include "ProcessProbe.h"
#include "WindowControls.h"
#include "frmPerfChk.h"
#include "modAPI.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QRadioButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QWindow>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

const QString kValueText = QStringLiteral("abc");
constexpr int kBstrIndex = 10;
constexpr int kDefaultCycles = 4000;
constexpr int kTimeoutMs = 5000;
constexpr int kPaintWaitMs = 10;
// Runs of each side per round, taking turns.
constexpr int kTurns = 3;

// Shows the widget and returns once it has painted: its first paint is no part of a run.
void ShowPainted(QWidget &widget)
{
    widget.show();
    QElapsedTimer shown;
    shown.start();
    while (!(widget.windowHandle() && widget.windowHandle()->isExposed()) && shown.elapsed() < kTimeoutMs)
        QApplication::processEvents(QEventLoop::AllEvents, kPaintWaitMs);
    QApplication::processEvents();
}

// Runs the call with this thread at the window's priority, then restores the one it had.
template <typename Call>
auto AtWindowPriority(Call call)
{
    const modAPI::HANDLE self = modAPI::GetCurrentProcess();
    const quint32 before = modAPI::GetPriorityClass(self);
    modAPI::SetPriorityClass(self, modAPI::HIGH_PRIORITY_CLASS);
    const auto result = call();
    modAPI::SetPriorityClass(self, before ? before : modAPI::NORMAL_PRIORITY_CLASS);
    return result;
}

// A plain blocking client: connect, then per cycle write PUT and read to its terminator,
// write GET and read to its terminator. Nanoseconds, or -1 when the device fails.
qint64 RawRoundTrips(quint16 port, int cycles)
{
    const KelFramer framer(ParseKelOptions(EtherClientOption(port)).packet);
    const QByteArray put = framer.encode(QStringLiteral("PUT:A:1:X:8,") + kValueText);
    const QByteArray get = framer.encode(QStringLiteral("GET:A:1:X:"));
    const int fd = ConnectLoopback(port);
    if (fd < 0)
        return -1;
    QElapsedTimer timer;
    timer.start();
    bool ok = true;
    for (int i = 0; i < cycles && ok; ++i)
        ok = BlockingRoundTrip(fd, put) && BlockingRoundTrip(fd, get);
    const qint64 elapsed = timer.nsecsElapsed();
    ::close(fd);
    return ok ? elapsed : -1;
}

struct Timing
{
    qint64 wallNs = -1; // -1: the run did not end well
    qint64 cpuMs = 0;   // of this process
};

// The window's run without the window: the same steps, with or without statistics and their
// live display.
Timing CycleRun(MivVariable *variable, int cycles, bool statistics)
{
    PerfStatistics figures;
    // The panel over the plot, with the room the window gives them: a panel shown on its own
    // grows with its figures' text, and a window that grows is repainted whole at each update.
    QWidget pane;
    auto *panel = new PerfStatsPanel(&pane);
    auto *plot = new PerfPlot(&pane);
    auto *column = new QVBoxLayout(&pane);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(panel);
    column->addWidget(plot, 1);
    pane.resize(QSize(frmPerfChk::kStatisticsWidth, frmPerfChk::kStatisticsHeight).expandedTo(pane.sizeHint()));
    ShowPainted(pane);
    // The variable written and read, and a window that only shows the figures.
    struct Cycles : PerfTarget, PerfObserver
    {
        MivVariable *variable;
        PerfStatistics &figures;
        PerfStatsPanel &panel;
        PerfPlot &plot;
        qint32 result = -1;

        Cycles(MivVariable *v, PerfStatistics &f, PerfStatsPanel &p, PerfPlot &pl) : variable(v), figures(f), panel(p), plot(pl) {}
        void write(const MivVariant &value) override { variable->setValue(value); }
        MivVariant read() override { return variable->Value(); }
        void runStarted(const modAPI::SYSTEMTIME &) override {}
        void runEnded(qint32 code, const modAPI::SYSTEMTIME &, quint32) override { result = code; }
        bool stopRequested() override { return false; }
        void yield() override { QCoreApplication::processEvents(); }
        void debugText(const QString &) override {}
        void progress() override
        {
            panel.showFigures(figures.figures());
            plot.showProgress(figures);
        }
    } cycle(variable, figures, *panel, *plot);
    PerfRun run(cycle, cycle, statistics ? &figures : nullptr);
    PerfPlan plan;
    plan.mode = ModeWriteRead;
    plan.count = cycles;
    plan.dataCheck = true;
    QElapsedTimer timer;
    const qint64 cpuBefore = ProcessCpuMs();
    timer.start();
    run.RunCheck(MivVariant(kValueText), plan);
    const qint64 elapsed = timer.nsecsElapsed();
    return {cycle.result == ResultNone ? elapsed : -1, ProcessCpuMs() - cpuBefore};
}

void PrintFigures(const RecordedPerf &run)
{
    std::printf("the window's last run, as its runFinished reports it: %s, %llu cycles in %lld ms, %llu errors\n",
                run.result == PerfResult::End ? "END" : "ERROR", static_cast<unsigned long long>(run.cycles),
                static_cast<long long>(run.elapsedMs), static_cast<unsigned long long>(run.errors));
    for (auto [name, s] : {std::pair{"write", &run.write}, std::pair{"read", &run.read}})
        std::printf("  %-5s n=%llu  min %.1f  mean %.1f  p50 %.1f  p95 %.1f  p99 %.1f  max %.1f us\n", name,
                    static_cast<unsigned long long>(s->count), s->min_us, s->mean_us, s->p50_us, s->p95_us,
                    s->p99_us, s->max_us);
}

// The whole window, as a user starts it. Nanoseconds, or -1 when it did not end with "END".
qint64 WindowRun(MivVariable *variable, int cycles, RecordedPerf &reported)
{
    frmPerfChk window;
    QObject::connect(&window, &frmPerfChk::runFinished, &window, [&reported](const RecordedPerf &run) { reported = run; });
    window.m_mivVar = variable;
    Control<QRadioButton>(&window, Element("optReadWrite", ModeWriteRead))->setChecked(true);
    Control<QComboBox>(&window, "cmbValueType")->setCurrentIndex(kBstrIndex);
    Control<QLineEdit>(&window, "txtValue")->setText(kValueText);
    Control<QCheckBox>(&window, "chkDataCheck")->setChecked(true);
    Control<QLineEdit>(&window, "txtPatternCount")->setText(QString::number(cycles));
    // A user clicks Start on a window that has painted.
    ShowPainted(window);
    QElapsedTimer timer;
    timer.start();
    window.cmdStart_Click();
    const qint64 elapsed = timer.nsecsElapsed();
    const QTreeWidgetItem *end = Control<QTreeWidget>(&window, "lvResult")->topLevelItem(1);
    return end && end->text(0) == QLatin1String("END") ? elapsed : -1;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("KELPEER"))
        qputenv("KELPEER", KELPEER_PATH);
    QApplication app(argc, argv);
    const int cycles = argc > 1 ? std::clamp(QString::fromLocal8Bit(argv[1]).toInt(), 1, 65535) : kDefaultCycles;
    ProcessEngine engine;

    PeerOnItsThread device({QStringLiteral("--option"), EtherServerOption(0)});
    const quint16 port = device.port();
    if (port == 0) {
        std::fprintf(stderr, "kelpeer did not start (%s)\n", qPrintable(PeerProcess::program()));
        return 1;
    }

    int status = 0;
    try {
        MivController *controller = g_mivEngine->Workspaces().Item(0)->AddController(
            QString(), QStringLiteral("MivProv.KEL"), QStringLiteral("localhost"),
            EtherClientOption(port, kTimeoutMs, true));
        MivVariable *variable = controller->AddVariable(QStringLiteral("A:1:X"), QString());

        PairedRow overhead("performance-check cycle, with vs without statistics", "us/cycle", Better::Lower);
        PairedRow whole("performance-check run vs two blocking round trips", "us/cycle", Better::Lower);
        std::vector<double> cpuShares; // CPU time added by the statistics over the plain run's time
        RecordedPerf measured;
        int round = 0;
        const auto perCycle = [cycles](qint64 ns) { return double(ns) / (double(cycles) * kTurns) / 1000.0; };
        const bool ok = PairedRounds({&overhead, &whole}, [&] {
            ++round;
            qint64 w = 0;
            qint64 r = 0;
            Timing plain{0, 0};
            Timing measuring{0, 0};
            const auto sum = [](qint64 &total, qint64 ns) { total = total < 0 || ns < 0 ? -1 : total + ns; };
            for (int turn = 0; turn < kTurns; ++turn) {
                // Each side goes first every other turn, so that neither always meets a warmer peer.
                const bool oursFirst = (round + turn) % 2 == 0;
                const auto window = [&] { sum(w, WindowRun(variable, cycles, measured)); };
                const auto raw = [&] { sum(r, AtWindowPriority([&] { return RawRoundTrips(port, cycles); })); };
                if (oursFirst) {
                    window();
                    raw();
                } else {
                    raw();
                    window();
                }
                const Timing first = CycleRun(variable, cycles, oursFirst);
                const Timing second = CycleRun(variable, cycles, !oursFirst);
                for (auto [total, run] : {std::pair{&measuring, oursFirst ? first : second},
                                          std::pair{&plain, oursFirst ? second : first}}) {
                    sum(total->wallNs, run.wallNs);
                    total->cpuMs += run.cpuMs;
                }
            }
            if (r < 0 || plain.wallNs < 0 || measuring.wallNs < 0 || w < 0) {
                std::fprintf(stderr, "round %d failed (raw %lld, without %lld, with %lld, window %lld)\n", round,
                             static_cast<long long>(r), static_cast<long long>(plain.wallNs),
                             static_cast<long long>(measuring.wallNs), static_cast<long long>(w));
                return false;
            }
            overhead.add(perCycle(measuring.wallNs), perCycle(plain.wallNs));
            whole.add(perCycle(w), perCycle(r));
            // What measuring adds to this process's work, against the plain cycle's time. The
            // cycle is serial (each call waits for its answer), so CPU added here is time added
            // to the cycle; unlike wall time it hardly moves with what else the machine runs.
            cpuShares.push_back(double(measuring.cpuMs - plain.cpuMs) * 1e6 / double(plain.wallNs));
            return true;
        });
        if (ok) {
            std::printf("cycles %d a run (Write && Read, data check on, BSTR \"%s\")\n", cycles, qPrintable(kValueText));
            std::printf("CPU time the statistics add, over the plain run's time: %+.2f %% (median)\n",
                        Median(cpuShares) * 100);
            PrintFigures(measured);
        }
        status = ok ? 0 : 1;
        g_mivEngine->Workspaces().Item(0)->Controllers().Remove(controller->Index());
    } catch (const MivError &e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.description()));
        status = 1;
    }
    return status;
}
