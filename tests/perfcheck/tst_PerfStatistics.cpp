// The performance window's statistics: what runs against kelpeer report through the panel and
// the record hook, what Export... writes, and the pieces the panel and the plot are made from.

#include "PerfCsv.h"
#include "PerfPlot.h"
#include "PerfPlotData.h"
#include "PerfRedrawBudget.h"
#include "PerfRig.h"
#include "SessionRecorder.h"
#include "WindowTestMain.h"

#include <QChartView>
#include <QFile>
#include <QFileDialog>
#include <QGraphicsTextItem>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>

#include <algorithm>
#include <cmath>

namespace {

using namespace std::chrono_literals;

// RFC 4180 records: quoted fields may hold commas, doubled quotes and line ends.
QList<QStringList> ParseCsv(const QString &text)
{
    QList<QStringList> rows;
    QStringList row;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == u'"' && i + 1 < text.size() && text[i + 1] == u'"')
                field += text[++i];
            else if (c == u'"')
                quoted = false;
            else
                field += c;
        } else if (c == u'"') {
            quoted = true;
        } else if (c == u',') {
            row << field;
            field.clear();
        } else if (c == u'\n') {
            row << field;
            rows << row;
            row.clear();
            field.clear();
        } else if (c != u'\r') {
            field += c;
        }
    }
    return rows;
}

// A parsed CSV line by column name.
QString Cell(const QStringList &row, const QString &column)
{
    return row.value(PerfCsvColumns().indexOf(column));
}

// The figures a CSV line holds, as the record hook delivers them.
RecordedPerf FromCsv(const QStringList &row)
{
    RecordedPerf perf;
    perf.target = Cell(row, QStringLiteral("target"));
    perf.pattern = Cell(row, QStringLiteral("pattern"));
    perf.mode = Cell(row, QStringLiteral("mode"));
    perf.result = Cell(row, QStringLiteral("result")) == QLatin1String("END") ? PerfResult::End : PerfResult::Error;
    perf.elapsedMs = Cell(row, QStringLiteral("time_required_ms")).toLongLong();
    perf.cycles = Cell(row, QStringLiteral("cycles")).toULongLong();
    perf.errors = Cell(row, QStringLiteral("errors")).toULongLong();
    for (auto [op, summary] : {std::pair{"write_", &perf.write}, std::pair{"read_", &perf.read}}) {
        const auto number = [&](const char *figure) { return Cell(row, QLatin1String(op) + QLatin1String(figure)).toDouble(); };
        *summary = {Cell(row, QLatin1String(op) + QLatin1String("count")).toULongLong(), number("min_us"),
                    number("mean_us"), number("p50_us"), number("p95_us"), number("p99_us"), number("max_us")};
    }
    return perf;
}

// Where a summary in a session record differs from the run's, beyond the nanosecond the record
// keeps: the first such field, or nothing.
QString RecordedMismatch(const QJsonObject &summary, const LatencySummary &s)
{
    constexpr double kRecordedUs = 0.001;
    if (summary.value(QLatin1String("count")).toInteger() != qint64(s.count))
        return QStringLiteral("count");
    const std::pair<const char *, double> figures[] = {{"min_us", s.min_us}, {"mean_us", s.mean_us},
                                                       {"p50_us", s.p50_us}, {"p95_us", s.p95_us},
                                                       {"p99_us", s.p99_us}, {"max_us", s.max_us}};
    for (auto [name, value] : figures) {
        if (std::abs(summary.value(QLatin1String(name)).toDouble() - value) > kRecordedUs)
            return QLatin1String(name);
    }
    return {};
}

// The tick labels a chart shows left of its plot, top to bottom, as they are drawn.
QStringList VerticalLabels(QChartView *view)
{
    QList<QGraphicsTextItem *> labels;
    const QString title = view->chart()->axes(Qt::Vertical).constFirst()->titleText();
    for (QGraphicsItem *item : view->scene()->items()) {
        auto *text = dynamic_cast<QGraphicsTextItem *>(item);
        if (text && text->isVisible() && text->toPlainText() != title
            && text->sceneBoundingRect().right() <= view->chart()->plotArea().left())
            labels << text;
    }
    std::sort(labels.begin(), labels.end(),
              [](auto *a, auto *b) { return a->sceneBoundingRect().top() < b->sceneBoundingRect().top(); });
    QStringList texts;
    for (QGraphicsTextItem *label : labels)
        texts << label->toPlainText();
    return texts;
}

// Pixels of the write colour (orange) in a chart as it is drawn.
int WriteColoured(QChartView *view)
{
    constexpr int kApart = 40;
    const QImage image = view->grab().toImage();
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            count += c.red() > c.green() + kApart && c.red() > c.blue() + kApart;
        }
    }
    return count;
}

bool operator==(const RecordedPerf &a, const RecordedPerf &b)
{
    return a.target == b.target && a.pattern == b.pattern && a.mode == b.mode && a.result == b.result
           && a.elapsedMs == b.elapsedMs && a.cycles == b.cycles && a.errors == b.errors && a.write == b.write
           && a.read == b.read;
}

// Every run the window reports.
struct Reported
{
    explicit Reported(frmPerfChk *window)
    {
        QObject::connect(window, &frmPerfChk::runFinished, window, [this](const RecordedPerf &p) { runs << p; });
    }
    QList<RecordedPerf> runs;
};

} // namespace

Q_DECLARE_METATYPE(Settings)

class tst_PerfStatistics : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void figures_data();
    void figures();
    void infiniteRunShowsProgress();
    void exportTwoRuns();
    void csvQuotesText();
    void latencyText_data();
    void latencyText();
    void histogramBars();
    void plot_data();
    void plot();
    void redrawBudget_data();
    void redrawBudget();
};

void tst_PerfStatistics::init()
{
    if (PeerProcess::program().isEmpty())
        QSKIP("KELPEER is not set");
}

void tst_PerfStatistics::figures_data()
{
    QTest::addColumn<QStringList>("peerArgs");
    QTest::addColumn<Settings>("settings");
    QTest::addColumn<int>("writes");
    QTest::addColumn<int>("reads");
    QTest::addColumn<int>("errors");
    QTest::addColumn<double>("atLeastUs");

    const QStringList delayed = {QStringLiteral("--delay"), QStringLiteral("20")};
    Settings s;
    s.count = QStringLiteral("4");
    s.mode = WriteRead;
    QTest::newRow("write&read, 20 ms answers") << delayed << s << 4 << 4 << 0 << 20000.0;
    s.mode = Read;
    QTest::newRow("read, 20 ms answers") << delayed << s << 0 << 4 << 0 << 20000.0;
    s.mode = WriteRead;
    s.ignore = true;
    QTest::newRow("refused reads, ignored") << QStringList{QStringLiteral("--fail"), QStringLiteral("GET")} << s << 4
                                            << 4 << 4 << 0.0;
}

void tst_PerfStatistics::figures()
{
    QFETCH(QStringList, peerArgs);
    QFETCH(Settings, settings);
    QFETCH(int, writes);
    QFETCH(int, reads);
    QFETCH(int, errors);
    QFETCH(double, atLeastUs);

    Rig rig(peerArgs);
    QVERIFY(rig.ok());
    Reported reported(rig.ui.window.get());
    rig.apply(settings);
    rig.start();

    QCOMPARE(reported.runs.size(), 1);
    const RecordedPerf &run = reported.runs.first();
    QCOMPARE(run.target, QStringLiteral("A:1:X"));
    QCOMPARE(run.pattern, QStringLiteral("count"));
    QCOMPARE(run.result, errors ? PerfResult::Error : PerfResult::End);
    QCOMPARE(QString::number(run.elapsedMs), rig.row(1).at(2));
    QCOMPARE(run.cycles, std::uint64_t(settings.count.toInt()));
    QCOMPARE(run.errors, std::uint64_t(errors));
    QCOMPARE(run.write.count, std::uint64_t(writes));
    QCOMPARE(run.read.count, std::uint64_t(reads));
    for (const LatencySummary *s : {&run.write, &run.read}) {
        if (!s->count)
            continue;
        QVERIFY(s->min_us >= atLeastUs);
        QVERIFY(s->min_us <= s->p50_us && s->p50_us <= s->p95_us && s->p95_us <= s->p99_us && s->p99_us <= s->max_us);
        QVERIFY(s->min_us <= s->mean_us && s->mean_us <= s->max_us);
    }

    QCOMPARE(rig.ui.control<QLabel>("lblCycles")->text(), settings.count);
    QCOMPARE(rig.ui.control<QLabel>("lblErrors")->text(), QString::number(errors));
    QVERIFY(rig.ui.control<QLabel>("lblTarget")->text().endsWith(QLatin1String("A:1:X")));
    const auto *table = rig.ui.control<QTableWidget>("tblLatency");
    QCOMPARE(table->item(0, 2)->text(), writes ? LatencyText(run.write.p50_us) : QStringLiteral("-"));
    QCOMPARE(table->item(1, 5)->text(), LatencyText(run.read.max_us));
}

// The panel counts while the run goes on, and keeps its figures after it.
void tst_PerfStatistics::infiniteRunShowsProgress()
{
    Rig rig;
    QVERIFY(rig.ok());
    Settings s;
    s.pattern = PatternInfinite;
    rig.apply(s);
    frmPerfChk *window = rig.ui.window.get();
    auto *cycles = rig.ui.control<QLabel>("lblCycles");
    qulonglong during = 0;
    QTimer::singleShot(300, window, [&] {
        during = cycles->text().toULongLong();
        rig.ui.click(QStringLiteral("cmdStop"));
    });
    stopAfter(window, 10000);
    rig.start();
    QVERIFY(during > 0);
    QVERIFY(cycles->text().toULongLong() >= during);
}

// Export... and a session record both hold what the window reported of each run. Enough cycles
// that the quantiles differ from each other.
void tst_PerfStatistics::exportTwoRuns()
{
    Rig rig;
    QVERIFY(rig.ok());
    Reported reported(rig.ui.window.get());
    QTemporaryDir folder;
    SessionRecorder recorder;
    QVERIFY(recorder.start(folder.filePath(QStringLiteral("session.jsonl"))));
    QObject::connect(rig.ui.window.get(), &frmPerfChk::runFinished, &recorder, &SessionRecorder::addPerf);
    Settings s;
    s.mode = WriteRead;
    s.count = QStringLiteral("200");
    rig.apply(s);
    rig.start();
    rig.start();
    QCOMPARE(reported.runs.size(), 2);

    recorder.stop();
    QFile session(folder.filePath(QStringLiteral("session.jsonl")));
    QVERIFY(session.open(QIODevice::ReadOnly));
    QList<QJsonObject> perfs;
    for (const QByteArray &line : session.readAll().split('\n')) {
        const QJsonObject record = QJsonDocument::fromJson(line).object();
        if (record.value(QLatin1String("t")).toString() == QLatin1String("perf"))
            perfs << record;
    }
    QCOMPARE(perfs.size(), 2);
    for (int run = 0; run < 2; ++run) {
        for (auto [op, summary] : {std::pair{"write", &reported.runs[run].write}, std::pair{"read", &reported.runs[run].read}})
            QCOMPARE(RecordedMismatch(perfs[run].value(QLatin1String(op)).toObject(), *summary), QString());
    }

    const QString path = folder.filePath(QStringLiteral("runs.csv"));
    bool asked = false;
    UserActions::WhenModal<QFileDialog>(
        [&](QFileDialog *dialog) {
            asked = true;
            // Typed into the file name box, as a user does.
            Control<QLineEdit>(dialog, "fileNameEdit")->setText(path);
            static_cast<QDialog *>(dialog)->accept(); // as the Save button does
        },
        [] {});
    rig.ui.click(QStringLiteral("cmdExport"));
    QVERIFY(asked);
    QVERIFY(rig.ui.boxes.isEmpty());

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QStringList> rows = ParseCsv(QString::fromUtf8(file.readAll()));
    QCOMPARE(rows.size(), 3);
    QCOMPARE(rows[0], PerfCsvColumns());
    for (int run = 0; run < 2; ++run) {
        const QStringList &row = rows[run + 1];
        QVERIFY(FromCsv(row) == reported.runs[run]);
        // The rows' times with their year and offset.
        for (auto [column, listRow] : {std::pair{"start", 2 * run}, std::pair{"end", 2 * run + 1}}) {
            const QString stamp = Cell(row, QLatin1String(column));
            QVERIFY2(QRegularExpression(QStringLiteral(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d$)"))
                         .match(stamp).hasMatch(), qPrintable(stamp));
            const QDateTime time = QDateTime::fromString(stamp, Qt::ISODateWithMs).toLocalTime();
            QCOMPARE(time.toString(QStringLiteral("MM/dd HH:mm:ss.zzz")), rig.row(listRow).at(1));
        }
        const QString rate = Cell(row, QStringLiteral("cycles_per_s"));
        QVERIFY2(QRegularExpression(QStringLiteral(R"(^\d+\.\d{3}$)")).match(rate).hasMatch(), qPrintable(rate));
    }
}

void tst_PerfStatistics::csvQuotesText()
{
    PerfRunReport report;
    report.target = QStringLiteral(" a,\"b\" ");
    report.figures.write = {3, 0.1, 1.0 / 3, 2, 2.5, 2.75, 1e9};
    const QList<QStringList> rows = ParseCsv(QString::fromUtf8(PerfCsv({report})));
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows[1].size(), PerfCsvColumns().size());
    QVERIFY(FromCsv(rows[1]) == ToRecordedPerf(report));
}

void tst_PerfStatistics::latencyText_data()
{
    QTest::addColumn<double>("us");
    QTest::addColumn<QString>("text");
    QTest::newRow("below 10 us") << 5.5 << "5.50 µs";
    QTest::newRow("tens of us") << 85.34 << "85.3 µs";
    QTest::newRow("hundreds of us") << 853.4 << "853 µs";
    QTest::newRow("ms") << 1250.0 << "1.25 ms";
    QTest::newRow("s") << 2500000.0 << "2.50 s";
}

void tst_PerfStatistics::latencyText()
{
    QFETCH(double, us);
    QFETCH(QString, text);
    QCOMPARE(LatencyText(us), text);
}

// Few samples: every one in the bar of its value; many: the counts still add up.
void tst_PerfStatistics::histogramBars()
{
    LatencyHistogram h;
    QVERIFY(HistogramBars(h, 10).empty());
    for (auto us : {100us, 100us, 100us, 1000us})
        h.record(us);
    const std::vector<HistogramBar> bars = HistogramBars(h, 10);
    QCOMPARE(bars.size(), std::size_t(10));
    QCOMPARE(bars.front().count, std::uint64_t(3));
    QCOMPARE(bars.back().count, std::uint64_t(1));
    QCOMPARE(bars.front().lowUs, 100.0);
    QCOMPARE(bars.back().highUs, 1000.0);

    for (int i = 0; i < 10000; ++i)
        h.record(std::chrono::microseconds(50 + i % 977));
    std::uint64_t total = 0;
    for (const HistogramBar &bar : HistogramBars(h, 40))
        total += bar.count;
    QCOMPARE(total, h.count());
    QCOMPARE(UnitFor(kMillisecondAxisFromUs - 1).name, QStringLiteral("µs"));
    QCOMPARE(UnitFor(kMillisecondAxisFromUs).name, QStringLiteral("ms"));
}

void tst_PerfStatistics::plot_data()
{
    QTest::addColumn<QList<int>>("writesUs");
    QTest::addColumn<QList<int>>("readsUs");
    QTest::newRow("nothing yet") << QList<int>{} << QList<int>{};
    QTest::newRow("reads in microseconds") << QList<int>{} << QList<int>{120, 150, 180, 9000};
    QTest::newRow("reads of a few microseconds") << QList<int>{} << QList<int>{3, 4, 4, 5};
    QTest::newRow("writes and reads in milliseconds") << QList<int>{20000, 25000} << QList<int>{30000, 400000};
}

// What the plot draws: whole latencies and whole, distinct counts beside its charts, and nothing
// for an operation the run did not make.
void tst_PerfStatistics::plot()
{
    QFETCH(QList<int>, writesUs);
    QFETCH(QList<int>, readsUs);
    using Clock = PerfStatistics::Clock;
    PerfStatistics statistics;
    const Clock::time_point start = Clock::now();
    statistics.begin(start);
    Clock::time_point at = start;
    for (auto [op, samples] : {std::pair{PerfOp::Write, &writesUs}, std::pair{PerfOp::Read, &readsUs}}) {
        for (int us : *samples) {
            statistics.record(op, at, at + std::chrono::microseconds(us));
            at += std::chrono::milliseconds(100);
        }
    }
    statistics.end(at);

    PerfPlot plot;
    plot.resize(560, 2 * 170);
    plot.show();
    QVERIFY(QTest::qWaitForWindowExposed(&plot));
    plot.showStatistics(statistics);
    auto *timeline = plot.findChild<QChartView *>(QStringLiteral("chtTimeline"));
    auto *histogram = plot.findChild<QChartView *>(QStringLiteral("chtHistogram"));
    QCoreApplication::processEvents(); // the charts' layout
    for (QChartView *view : {timeline, histogram}) {
        view->grab(); // lays the chart out as a paint does
        const QStringList labels = VerticalLabels(view);
        QVERIFY2(labels.size() >= 2, qPrintable(labels.join(u' ')));
        QVERIFY2(labels.filter(QStringLiteral("...")).isEmpty(), qPrintable(labels.join(u' ')));
        if (view != histogram)
            continue;
        for (int i = 0; i + 1 < labels.size(); ++i)
            QVERIFY2(labels[i].toInt() > labels[i + 1].toInt(), qPrintable(labels.join(u' ')));
    }
    if (writesUs.isEmpty()) {
        QCOMPARE(WriteColoured(timeline), 0);
        QCOMPARE(WriteColoured(histogram), 0);
    }
}

void tst_PerfStatistics::redrawBudget_data()
{
    QTest::addColumn<double>("cost"); // of every redraw, in seconds
    QTest::addColumn<double>("first"); // the second of the first redraw of a run
    QTest::newRow("cheap: after the interval") << 0.001 << 0.5;
    QTest::newRow("10 ms: once the run has earned it") << 0.01 << 2.0;
    QTest::newRow("50 ms") << 0.05 << 10.0;
}

// The run is offered a redraw every 10 ms: each comes when the budget allows, never beyond it,
// the first one and that of a second run included.
void tst_PerfStatistics::redrawBudget()
{
    QFETCH(double, cost);
    QFETCH(double, first);
    PerfRedrawBudget budget;
    budget.timed(cost);
    for (int run = 0; run < 2; ++run) {
        double spent = 0;
        double last = 0;
        QList<double> drawn;
        for (int tick = 0; tick <= 6000; ++tick) {
            const double second = tick / 100.0;
            if (!budget.due(second))
                continue;
            spent += cost;
            QVERIFY(spent <= PerfRedrawBudget::kShareOfRun * second + 1e-12);
            QVERIFY(drawn.isEmpty() || second - last >= PerfRedrawBudget::kInterval.count() - 1e-12);
            budget.spent(second, cost);
            drawn << second;
            last = second;
        }
        QVERIFY(!drawn.isEmpty());
        QVERIFY2(drawn.first() >= first - 1e-9 && drawn.first() <= first + 0.011, qPrintable(QString::number(drawn.first())));
        QVERIFY(drawn.size() >= 3);
    }
}

KEL_WINDOW_TEST_MAIN(tst_PerfStatistics)

#include "tst_PerfStatistics.moc"
