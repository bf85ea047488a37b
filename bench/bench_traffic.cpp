// Synchronous round trips through the main window's controller with the Traffic pane open,
// with a session being recorded, and both, against the same window with neither, taking turns
// within one run. The event loop runs every few round trips, as it would between a user's sends,
// so that the pane shows what passed. Also prints the record's size per 1,000 round trips.
//   bench_traffic [round trips a run, default 5000]
#include "KelPeerConfig.h"
#include "KelPeerThread.h"
#include "MivCommand.h"
#include "MivController.h"
#include "MivEngine.h"
#include "MivError.h"
#include "Paired.h"
#include "ProcessEngine.h"
#include "TesterSession.h"
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

constexpr int kDefaultCount = 5000;
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

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int count = argc > 1 ? std::max(1, atoi(argv[1])) : kDefaultCount;
    KelPeerThread peer(ParseKelPeerArgs({"--option", "Conn=eth::0,EtherOpt=1:10:900,Timeout=2000"}).config);
    if (!peer.start()) {
        std::fprintf(stderr, "bench_traffic: %s\n", qPrintable(peer.errorString()));
        return 1;
    }
    QTemporaryDir folder;
    try {
        ProcessEngine engine;
        frmKELTester window;
        window.show();
        MivController *ctrl = g_mivEngine->Workspaces().Item(0)->AddController(
            QString(), "MivProv.KEL", "localhost",
            QStringLiteral("Conn=eth:127.0.0.1:%1,EtherOpt=0,Timeout=2000").arg(peer.port()));
        window.session().setMivCtrl(ctrl);
        MivCommand *command = ctrl->AddCommand("KELCmd", QString());
        command->setParameters({"GET", "A", "1", "X", ""});

        // A row per setting but the first (neither), which is each row's baseline, run right after.
        std::vector<PairedRow> rows;
        for (std::size_t s = 1; s < std::size(kTrafficSettings); ++s)
            rows.emplace_back(std::string("round trip, window, ") + kTrafficSettings[s].name, "round trips/s",
                              Better::Higher);
        const auto runWith = [&](const TrafficSetting &setting) {
            ApplyTrafficSetting(window, setting, QDir(folder.path()));
            return Run(*command, count);
        };
        PairedRounds({&rows[0], &rows[1], &rows[2]}, [&] {
            for (std::size_t s = 0; s < rows.size(); ++s) {
                const double rate = runWith(kTrafficSettings[s + 1]);
                rows[s].add(rate, runWith(kTrafficSettings[0]));
            }
            return true;
        });
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
