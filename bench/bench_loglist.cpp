// Log list ingestion: lines appended per second with the window shown and the event loop running
// between passes, and the 99th percentile of a pass, from an empty log and from a full one
// (where the oldest lines go), one line and 100 lines per pass. The baseline is a stock QListView
// over a QStringListModel with uniform item sizes, shown at the same size, taking the same lines
// in the same passes, kept to the same 32,767 lines the same way, and selecting the newest line
// once per pass (ours selects each line as it comes). The two take turns, a round each.
// QT_QPA_PLATFORM=offscreen bench_loglist

#include "LogModel.h"
#include "Paired.h"
#include "ProcessEngine.h"
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
constexpr double kNearZeroMs = 1e-3;

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
        ProcessEngine engine;
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
            {"empty log, one line per pass", 600, 600, 1, false},
            {"empty log, 100 lines per pass", 6000, 6000, 100, false},
            {"full log, one line per pass", 600, 100, 1, true},
            {"full log, 100 lines per pass", 6000, 6000, 100, true},
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
            }
            QApplication::processEvents();
            PairedRow rate(std::string("log ingestion, ") + s.label, "lines/s", Better::Higher);
            PairedRow stall(std::string("log ingestion p99 pass, ") + s.label, "ms", Better::Lower, kNearZeroMs);
            PairedRounds({&rate, &stall}, [&] {
                if (!s.full) {
                    window.logModel()->clear();
                    baseline.clear();
                    QApplication::processEvents();
                }
                const Result mine = Run(ours, nothing, s.lines, s.perPass);
                const Result base = Run(stock, stockPass, s.baselineLines, s.perPass);
                rate.add(mine.linesPerSecond, base.linesPerSecond);
                stall.add(mine.p99Ms, base.p99Ms);
                return true;
            });
        }
        std::printf("kept: ours %d lines, baseline %d (both bounded at %d)\n", window.logModel()->count(),
                    baseline.count(), LogModel::kMaxLines);
    }
    return 0;
}
