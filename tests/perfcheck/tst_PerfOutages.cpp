// The outages of a run's line as the run keeps them and the CSV carries them, without a window.

#include "PerfCsv.h"
#include "PerfOutages.h"

#include <QTest>

using namespace std::chrono;

class tst_PerfOutages : public QObject
{
    Q_OBJECT
private slots:
    void spans_data();
    void spans();
    void firstFailureOnlyIsTold();
};

void tst_PerfOutages::spans_data()
{
    // Steps at ms from the run's start: S start, L lost, B back, E end; "L-50" is before it.
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QString>("spans"); // as the CSV writes them: start+length in ms
    QTest::addColumn<QString>("total");
    QTest::newRow("none") << "S0 E1000" << "" << "0";
    QTest::newRow("one") << "S0 L100 B400 E1000" << "100+300" << "300";
    QTest::newRow("two, a loss told twice") << "S0 L100 L150 B400 L900 B950 E1000" << "100+300 900+50" << "350";
    QTest::newRow("away at the end: cut there") << "S0 L800 E1000 B1200" << "800+200" << "200";
    QTest::newRow("away before the start: from the start") << "L-50 S0 B300 E1000" << "0+300" << "300";
    QTest::newRow("back between runs: nothing") << "L-50 B-10 S0 E1000" << "" << "0";
}

void tst_PerfOutages::spans()
{
    QFETCH(QString, steps);
    QFETCH(QString, spans);
    QFETCH(QString, total);
    const PerfOutages::Clock::time_point zero = PerfOutages::Clock::now();
    PerfOutages outages;
    for (const QString &step : steps.split(u' ')) {
        const auto at = zero + milliseconds(step.mid(1).toInt());
        switch (step.at(0).toLatin1()) {
        case 'S': outages.begin(at); break;
        case 'L': outages.lost(at); break;
        case 'B': outages.back(at); break;
        default: outages.end(at); break;
        }
    }
    PerfRunReport report;
    report.outages = outages.spans();
    const QStringList columns = PerfCsvColumns();
    const QStringList row = QString::fromUtf8(PerfCsv({report})).split(QStringLiteral("\r\n")).at(1).split(u',');
    QCOMPARE(row.value(columns.indexOf("outages")), QString::number(report.outages.size()));
    QCOMPARE(row.value(columns.indexOf("outage_ms")), total);
    QCOMPARE(row.value(columns.indexOf("outage_spans")), spans);
}

void tst_PerfOutages::firstFailureOnlyIsTold()
{
    PerfOutages outages;
    outages.begin(PerfOutages::Clock::now());
    QVERIFY(outages.tellFailure()); // the line is there: each failure is told
    QVERIFY(outages.tellFailure());
    for (int outage = 0; outage < 2; ++outage) {
        outages.lost(PerfOutages::Clock::now());
        QVERIFY(outages.tellFailure());
        QVERIFY(!outages.tellFailure());
        outages.back(PerfOutages::Clock::now());
    }
}

QTEST_APPLESS_MAIN(tst_PerfOutages)
#include "tst_PerfOutages.moc"
