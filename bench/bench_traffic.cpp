// Synchronous round trips through the main window's controller with the Traffic pane open,
// with a session being recorded, and both, against the same window with neither, in the same
// run. The event loop runs every few round trips, as it would between a user's sends, so that
// the pane shows what passed. Prints rates, ratios and the record's size per 1,000 round trips.
//   bench_traffic [round trips per run, default 20000]
#include "BenchRow.h"
#include "EngineObjects.h"
#include "KelPeerConfig.h"
#include "KelPeerThread.h"
#include "MivCommand.h"
#include "MivController.h"
#include "MivEngine.h"
#include "MivError.h"
#include "TrafficSetting.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kRuns = 5;
constexpr int kEventLoopEvery = 64;

double Run(MivCommand &command, int count)
{
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < count; ++i) {
        command.Execute(0);
        if (i % kEventLoopEvery == 0)
            QCoreApplication::processEvents();
    }
    QCoreApplication::processEvents();
    return count * 1e9 / double(clock.nsecsElapsed());
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int count = argc > 1 ? std::max(1, atoi(argv[1])) : 20000;
    KelPeerThread peer(ParseKelPeerArgs({"--option", "Conn=eth::0,EtherOpt=1:10:900,Timeout=2000"}).config);
    if (!peer.start()) {
        std::fprintf(stderr, "bench_traffic: %s\n", qPrintable(peer.errorString()));
        return 1;
    }
    QTemporaryDir folder;
    try {
        EngineObjects engine;
        frmKELTester window;
        window.show();
        MivController *ctrl = g_mivEngine->Workspaces().Item(0)->AddController(
            QString(), "MivProv.KEL", "localhost",
            QStringLiteral("Conn=eth:127.0.0.1:%1,EtherOpt=0,Timeout=2000").arg(peer.port()));
        window.setMivCtrl(ctrl);
        MivCommand *command = ctrl->AddCommand("KELCmd", QString());
        command->setParameters({"GET", "A", "1", "X", ""});

        constexpr int kSettings = int(std::size(kTrafficSettings));
        std::vector<double> rates[kSettings];
        Run(*command, count / 10 + 1);
        // Interleaved, so that drift hits every setting alike.
        for (int run = 0; run < kRuns; ++run) {
            for (int s = 0; s < kSettings; ++s) {
                ApplyTrafficSetting(window, kTrafficSettings[s], QDir(folder.path()));
                rates[s].push_back(Run(*command, count));
            }
        }
        ApplyTrafficSetting(window, kTrafficSettings[0], QDir(folder.path()));
        const double baseline = Median(rates[0]);
        std::printf("round trips per run: %d (median of %d runs)\n", count, kRuns);
        for (int s = 0; s < kSettings; ++s) {
            const double rate = Median(rates[s]);
            std::printf("%-24s %8.0f/s, %.1f us each\n", kTrafficSettings[s].name, rate, 1e6 / rate);
            if (s == 0)
                continue;
            const std::string name = std::string("round trip, window, ") + kTrafficSettings[s].name;
            PrintRow(name.c_str(), rate, baseline, "round trips/s", baseline / rate);
        }
        // The last recording of a run holds that run's round trips.
        const QFileInfo record(QDir(folder.path()).filePath(QStringLiteral("recording.jsonl")));
        const double perThousand = double(record.size()) * 1000.0 / count;
        std::printf("record size: %.0f bytes per 1,000 round trips\n", perThousand);
        window.RemoveController();
    } catch (const MivError &e) {
        std::fprintf(stderr, "bench_traffic: %s\n", qPrintable(e.description()));
        return 1;
    }
    return 0;
}
