// Log list ingestion: lines appended per second with the window shown and the event loop
// running between passes, and the 99th percentile of a pass, from an empty log and from a full
// one (where the oldest lines go). The baseline is a stock QListWidget, shown, taking the same
// lines in the same passes and selecting the newest once per pass; it keeps every line.
// QT_QPA_PLATFORM=offscreen bench_loglist

#include "BenchRow.h"
#include "EngineObjects.h"
#include "LogModel.h"
#include "WindowControls.h"
#include "frmKELTester.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QListWidget>
#include <QTime>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

struct Result
{
    double linesPerSecond = 0;
    double p99Ms = 0;
};

Result Run(const std::function<void(int)> &append, const std::function<void()> &endPass, int lines,
           int perPass)
{
    QElapsedTimer total, pass;
    std::vector<qint64> passNs;
    total.start();
    for (int done = 0; done < lines;) {
        pass.start();
        for (int i = 0; i < perPass && done < lines; ++i, ++done)
            append(done);
        endPass();
        QApplication::processEvents();
        passNs.push_back(pass.nsecsElapsed());
    }
    Result r;
    r.linesPerSecond = lines / (total.nsecsElapsed() / 1e9);
    std::sort(passNs.begin(), passNs.end());
    r.p99Ms = passNs[std::min(passNs.size() - 1, passNs.size() * 99 / 100)] / 1e6;
    return r;
}

void Report(const char *label, int lines, int perPass, const Result &ours, const Result &base)
{
    std::printf("%-28s %6d lines, %3d per pass: %9.0f lines/s (baseline %9.0f), p99 pass %7.2f ms "
                "(baseline %7.2f)\n",
                label, lines, perPass, ours.linesPerSecond, base.linesPerSecond, ours.p99Ms, base.p99Ms);
    const std::string rate = std::string("log ingestion, ") + label;
    const std::string stall = std::string("log ingestion p99 pass, ") + label;
    PrintRow(rate.c_str(), ours.linesPerSecond, base.linesPerSecond, "lines/s",
             base.linesPerSecond / ours.linesPerSecond);
    PrintRow(stall.c_str(), ours.p99Ms, base.p99Ms, "ms", ours.p99Ms / std::max(base.p99Ms, 1e-3));
}

QString Line(int n)
{
    return QStringLiteral("[ Receive ]\t(") + QTime::currentTime().toString(QStringLiteral("hh:mm:ss"))
           + QStringLiteral(") : 0,8,message ") + QString::number(n);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    {
        EngineObjects engine;
        frmKELTester window;
        window.show();
        QListWidget baseline;
        baseline.resize(Control(&window, "lstLog")->size());
        baseline.show();
        QApplication::processEvents();

        const auto ours = [&window](int n) {
            window.AddLog(QStringLiteral("[ Receive ]\t"), QStringLiteral("0,8,message %1").arg(n));
        };
        const auto nothing = [] {};
        // Like ours, the stock list selects the newest line once per pass.
        const auto stock = [&baseline](int n) { baseline.addItem(Line(n)); };
        const auto selectLast = [&baseline] { baseline.setCurrentRow(baseline.count() - 1); };
        // The stock list is slow enough that it gets fewer lines; the figures are rates.
        struct Stage
        {
            const char *label;
            int lines;
            int baselineLines;
            int perPass;
            bool full;
        };
        const Stage stages[] = {
            {"empty, a line per pass", 2000, 200, 1, false},
            {"empty, 100 per pass", 20000, 2000, 100, false},
            {"full, a line per pass", 2000, 50, 1, true},
            {"full, 100 per pass", 20000, 2000, 100, true},
        };
        for (const Stage &s : stages) {
            if (s.full) {
                for (int n = window.logModel()->count(); n < LogModel::kMaxLines; ++n)
                    ours(n);
                for (int n = baseline.count(); n < LogModel::kMaxLines; ++n)
                    baseline.addItem(Line(n));
                QApplication::processEvents();
            } else {
                window.logModel()->clear();
                baseline.clear();
            }
            const Result mine = Run(ours, nothing, s.lines, s.perPass);
            const Result base = Run(stock, selectLast, s.baselineLines, s.perPass);
            Report(s.label, s.lines, s.perPass, mine, base);
        }
        std::printf("kept: ours %d lines (bounded at %d), baseline %d\n", window.logModel()->count(),
                    LogModel::kMaxLines, baseline.count());
    }
    return 0;
}
