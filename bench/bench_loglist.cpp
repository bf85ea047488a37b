// Log list throughput: lines appended per second with the window shown and the event loop
// running between bursts, from an empty log and from a full one (where the oldest lines go).
// QT_QPA_PLATFORM=offscreen bench_loglist

#include "LogModel.h"
#include "MivConverter.h"
#include "MivEngine.h"
#include "frmKELTester.h"
#include "modMain.h"

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>

namespace {

void Run(frmKELTester &window, const char *label, int lines, int perPass)
{
    QElapsedTimer total, pass;
    qint64 worstPassUs = 0;
    total.start();
    for (int done = 0; done < lines;) {
        pass.start();
        for (int i = 0; i < perPass && done < lines; ++i, ++done)
            window.AddLog(QStringLiteral("[ Receive ]\t"), QStringLiteral("0,8,message %1").arg(done));
        QApplication::processEvents();
        worstPassUs = std::max(worstPassUs, pass.nsecsElapsed() / 1000);
    }
    const double seconds = total.nsecsElapsed() / 1e9;
    std::printf("%-34s %7d lines, %4d per pass: %9.0f lines/s, worst pass %6lld us, %d kept\n", label,
                lines, perPass, lines / seconds, static_cast<long long>(worstPassUs),
                window.logModel()->count());
    std::fflush(stdout);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    g_mivEngine = new MivEngine;
    g_mivConverter = new MivConverter;
    {
        frmKELTester window;
        window.show();
        QApplication::processEvents();
        Run(window, "empty log, one line per pass", 2000, 1);
        Run(window, "empty log, bursts", 30000, 100);
        Run(window, "full log, one line per pass", 2000, 1);
        Run(window, "full log, bursts", 50000, 100);
    }
    delete g_mivEngine;
    delete g_mivConverter;
    return 0;
}
