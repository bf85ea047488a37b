// The performance run without a window or a peer: which step fails, whether failures are
// ignored and what the data check sees decide the result code and how often it writes and reads.

#include "MivError.h"
#include "PerfRun.h"
#include "modAPI.h"

#include <QTest>

#include <optional>

namespace {

enum Failing { Nothing = 0, Write = 1, Read = 2, Differs = 3 };
constexpr int kCycles = 3;

// A variable that keeps what was written, failing as told; it counts what the run did.
struct Device : PerfTarget, PerfObserver
{
    Failing failing = Nothing;
    int writes = 0;
    int reads = 0;
    int yields = 0;
    QStringList events;
    QStringList failures; // the reasons the run gave
    MivVariant stored;
    std::optional<MivVariant> fixedRead;  // read instead of what was written
    QStringList texts;                    // the debug texts
    bool textFails = false;

    void write(const MivVariant &value) override
    {
        ++writes;
        if (failing == Write)
            throw MivError(MivCode::Fail, QStringLiteral("refused"));
        stored = value;
    }
    MivVariant read() override
    {
        ++reads;
        if (failing == Read)
            throw MivError(MivCode::Fail, QStringLiteral("refused"));
        if (fixedRead)
            return *fixedRead;
        return failing == Differs ? MivVariant(QStringLiteral("other")) : stored;
    }
    void debugText(const QString &text) override
    {
        if (textFails)
            throw MivError(MivCode::Fail, QStringLiteral("no text"));
        texts << text;
    }
    bool stopRequested() override { return yields >= kCycles; } // the infinite pattern stops after three
    void yield() override { ++yields; }
    void runStarted(const modAPI::SYSTEMTIME &) override { events << QStringLiteral("started"); }
    void runEnded(qint32 result, const modAPI::SYSTEMTIME &, quint32) override
    {
        events << QStringLiteral("finished %1").arg(result);
    }
    void failed(const QString &reason) override { failures << reason; }
};

} // namespace

class tst_PerfRunLoop : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void outcome_data();
    void outcome();
    void debugText();
};

void tst_PerfRunLoop::cleanup()
{
    modAPI::SetTickSource({});
}

void tst_PerfRunLoop::outcome_data()
{
    QTest::addColumn<int>("pattern");
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("failing");
    QTest::addColumn<bool>("ignore");
    QTest::addColumn<bool>("dataCheck");
    QTest::addColumn<int>("result");
    QTest::addColumn<int>("writes");
    QTest::addColumn<int>("reads");

    const int count = PatternCount, time = PatternTime, infinite = PatternInfinite;
    const int read = ModeRead, write = ModeWrite, both = ModeWriteRead;
    QTest::newRow("count, read") << count << read << 0 << false << false << 0 << 0 << 3;
    QTest::newRow("count, write") << count << write << 0 << false << false << 0 << 3 << 0;
    QTest::newRow("time, write&read") << time << both << 0 << false << true << 0 << 3 << 3;
    QTest::newRow("infinite, write&read") << infinite << both << 0 << false << true << 0 << 3 << 3;
    QTest::newRow("write fails") << count << write << 1 << false << false << 1 << 1 << 0;
    QTest::newRow("write fails, ignored") << time << write << 1 << true << false << 1 << 3 << 0;
    QTest::newRow("write fails, the read goes on") << infinite << both << 1 << true << false << 1 << 3 << 3;
    QTest::newRow("read fails") << time << read << 2 << false << false << 2 << 0 << 1;
    QTest::newRow("read fails, ignored") << count << read << 2 << true << false << 2 << 0 << 3;
    QTest::newRow("read fails, compared last") << count << both << 2 << true << true << 3 << 3 << 3;
    QTest::newRow("data differs") << infinite << both << 3 << false << true << 3 << 1 << 1;
    QTest::newRow("data differs, ignored") << count << both << 3 << true << true << 3 << 3 << 3;
    QTest::newRow("data differs, not checked") << count << both << 3 << false << false << 0 << 3 << 3;
    QTest::newRow("check only in write&read") << count << read << 3 << false << true << 0 << 0 << 3;
}

void tst_PerfRunLoop::outcome()
{
    QFETCH(int, pattern);
    QFETCH(int, mode);
    QFETCH(int, failing);
    QFETCH(bool, ignore);
    QFETCH(bool, dataCheck);
    QFETCH(int, result);
    QFETCH(int, writes);
    QFETCH(int, reads);

    // Every tick reading is one millisecond later: a limit of 4 ms leaves room for three cycles.
    quint32 now = 0;
    modAPI::SetTickSource([&now] { return now++; });
    Device device;
    device.failing = Failing(failing);
    PerfPlan plan;
    plan.pattern = PerfPattern(pattern);
    plan.mode = PerfMode(mode);
    plan.limitMs = kCycles + 1;
    plan.count = kCycles;
    plan.dataCheck = dataCheck;
    plan.ignoreError = ignore;
    PerfRun run(device, device);

    QCOMPARE(run.RunCheck(MivVariant(qint32(7)), plan), result);
    QCOMPARE(device.writes, writes);
    QCOMPARE(device.reads, reads);
    QCOMPARE(device.events, (QStringList{QStringLiteral("started"), QStringLiteral("finished %1").arg(result)}));
    // Each failed step is told with its reason.
    QCOMPARE(device.failures.isEmpty(), result == ResultNone);
    for (const QString &reason : device.failures)
        QVERIFY2(reason == QLatin1String("refused") || reason.startsWith(QLatin1String("Data check:")), qPrintable(reason));
}

// The text of each value read goes out when asked for; a value without one fails the read step.
void tst_PerfRunLoop::debugText()
{
    Device device;
    device.fixedRead = MivVariant(qint32(42));
    PerfPlan plan;
    plan.count = 2;
    plan.outputDebug = true;
    PerfRun run(device, device);
    QCOMPARE(run.RunCheck(MivVariant(), plan), qint32(ResultNone));
    QCOMPARE(device.texts, (QStringList{QStringLiteral("3,42"), QStringLiteral("3,42")}));

    device.textFails = true;
    PerfRun failing(device, device);
    QCOMPARE(failing.RunCheck(MivVariant(), plan), qint32(ResultRead));
}

QTEST_APPLESS_MAIN(tst_PerfRunLoop)
#include "tst_PerfRunLoop.moc"
