// Log list ingestion: lines appended per second with the window shown and the event loop running
// between passes, and the 99th percentile of a pass, from an empty log and from a full one
// (where the oldest lines go), one line and 100 lines per pass. The baseline is a stock QListView
// over a QStringListModel with uniform item sizes, shown at the same size, taking the same lines
// in the same passes, kept to the same 32,767 lines the same way, and selecting the newest line
// once per pass (ours selects each line as it comes).
// QT_QPA_PLATFORM=offscreen bench_loglist

#include "BenchRow.h"
#include "EngineObjects.h"
#include "LogModel.h"
#include "WindowControls.h"
#include "frmKELTester.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QListView>
#include <QStringListModel>
#include <QTime>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

const QString kCaption = QStringLiteral("[ Receive ]\t");

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

void Report(const char *label, const Result &ours, const Result &base)
{
    std::printf("%-34s %9.0f lines/s (baseline %9.0f), p99 pass %7.3f ms (baseline %7.3f)\n", label,
                ours.linesPerSecond, base.linesPerSecond, ours.p99Ms, base.p99Ms);
    const std::string rate = std::string("log ingestion, ") + label;
    const std::string stall = std::string("log ingestion p99 pass, ") + label;
    PrintRow(rate.c_str(), ours.linesPerSecond, base.linesPerSecond, "lines/s",
             base.linesPerSecond / ours.linesPerSecond);
    PrintRow(stall.c_str(), ours.p99Ms, base.p99Ms, "ms", ours.p99Ms / std::max(base.p99Ms, 1e-3));
}

QString Value(int n)
{
    return QStringLiteral("0,8,message %1").arg(n);
}

// The stock list: the same line text, the same bound, dropped the same way.
class Baseline
{
public:
    explicit Baseline(QSize size)
    {
        m_view.setModel(&m_model);
        m_view.setUniformItemSizes(true);
        m_view.setSelectionMode(QAbstractItemView::SingleSelection);
        m_view.resize(size);
        m_view.show();
    }
    void append(int n)
    {
        if (m_model.rowCount() >= LogModel::kMaxLines)
            m_model.removeRows(0, LogModel::kDropChunk);
        const int row = m_model.rowCount();
        m_model.insertRows(row, 1);
        m_model.setData(m_model.index(row), kCaption + u'(' + m_time + QStringLiteral(") : ") + Value(n));
    }
    void endPass()
    {
        m_view.setCurrentIndex(m_model.index(m_model.rowCount() - 1));
        m_time = QTime::currentTime().toString(QStringLiteral("HH:mm:ss"));
    }
    void clear() { m_model.setStringList({}); }
    int count() const { return m_model.rowCount(); }

private:
    QStringListModel m_model;
    QListView m_view;
    QString m_time = QTime::currentTime().toString(QStringLiteral("HH:mm:ss"));
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    {
        EngineObjects engine;
        frmKELTester window;
        window.show();
        Baseline baseline(Control(&window, "lstLog")->size());
        QApplication::processEvents();

        const auto ours = [&window](int n) { window.AddLog(kCaption, Value(n)); };
        const auto nothing = [] {};
        const auto stock = [&baseline](int n) { baseline.append(n); };
        const auto stockPass = [&baseline] { baseline.endPass(); };
        struct Stage
        {
            const char *label;
            int lines;
            int baselineLines; // the stock list with a full log is slow enough to get fewer
            int perPass;
            bool full;
        };
        const Stage stages[] = {
            {"empty log, one line per pass", 3000, 3000, 1, false},
            {"empty log, 100 lines per pass", 30000, 30000, 100, false},
            {"full log, one line per pass", 3000, 500, 1, true},
            {"full log, 100 lines per pass", 30000, 30000, 100, true},
        };
        for (const Stage &s : stages) {
            window.logModel()->clear();
            baseline.clear();
            if (s.full) {
                for (int n = 0; n < LogModel::kMaxLines; ++n) {
                    ours(n);
                    baseline.append(n);
                }
                baseline.endPass();
                QApplication::processEvents();
            }
            QApplication::processEvents();
            const Result mine = Run(ours, nothing, s.lines, s.perPass);
            const Result base = Run(stock, stockPass, s.baselineLines, s.perPass);
            Report(s.label, mine, base);
        }
        std::printf("kept: ours %d lines, baseline %d (both bounded at %d)\n", window.logModel()->count(),
                    baseline.count(), LogModel::kMaxLines);
    }
    return 0;
}
