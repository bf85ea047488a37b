// The performance window's statistics: what runs against kelpeer report through the panel and
// the record hook, what Export... writes, and the pieces the panel and the plot are made from.

#include "PerfCsv.h"
#include "PerfPlotData.h"
#include "PerfRig.h"
#include "WindowTestMain.h"

#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>

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

void tst_PerfStatistics::exportTwoRuns()
{
    Rig rig;
    QVERIFY(rig.ok());
    Reported reported(rig.ui.window.get());
    Settings s;
    s.mode = WriteRead;
    rig.apply(s);
    rig.start();
    rig.start();
    QCOMPARE(reported.runs.size(), 2);

    QTemporaryDir folder;
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
        QCOMPARE(Cell(row, QStringLiteral("start")), rig.row(2 * run).at(1));
        QCOMPARE(Cell(row, QStringLiteral("end")), rig.row(2 * run + 1).at(1));
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

KEL_WINDOW_TEST_MAIN(tst_PerfStatistics)

#include "tst_PerfStatistics.moc"
