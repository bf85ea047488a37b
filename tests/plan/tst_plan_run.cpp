#include "MivController.h"
#include "MivEngine.h"
#include "PeerProcess.h"
#include "PlanParser.h"
#include "PlanReportFiles.h"
#include "PlanRunner.h"
#include "ScriptedPeer.h"
#include "SessionRecorder.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString kServer = QStringLiteral("Conn=eth::0,EtherOpt=1:10:900,MyIP=127.0.0.1");
constexpr int kRunMs = 20000;

// S answers 100 ms late, N never, G garbled, L refuses PUTs, the 3rd START closes.
const QByteArray kRules = R"(
[values]
"A:1:X" = "3,100"
"T:1:NAME" = "8,oven 1"

[[rule]]
command = "GET"
part = "S"
delay = 100

[[rule]]
command = "GET"
part = "N"
fault = "no-answer"

[[rule]]
command = "GET"
part = "G"
fault = "garble"

[[rule]]
command = "PUT"
part = "L"
error_rate = 1.0
error = "E_ACCESSDENIED"

[[rule]]
command = "START"
close_after = 3
)";

// Each step as "PASS" or "FAIL: <reason>".
QStringList Outcomes(const PlanReport &report)
{
    QStringList out;
    for (const PlanStepResult &step : report.steps)
        out << (step.passed ? QStringLiteral("PASS") : QStringLiteral("FAIL: ") + step.reason);
    return out;
}

} // namespace

class tst_PlanRun : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void stepsComeToTheirResults_data();
    void stepsComeToTheirResults();
    void stopEndsAfterTheRequestInFlight();
    void theRunGoesIntoTheSessionRecord();

private:
    QTemporaryDir m_dir;
};

void tst_PlanRun::initTestCase()
{
    if (PeerProcess::program().isEmpty())
        QSKIP("KELPEER is not set");
    QFile rules(m_dir.filePath("rules.toml"));
    QVERIFY(rules.open(QIODevice::WriteOnly) && rules.write(kRules) == kRules.size());
}

void tst_PlanRun::stepsComeToTheirResults_data()
{
    QTest::addColumn<QStringList>("scripted"); // a scripted device's answers; none: kelpeer --rules
    QTest::addColumn<QByteArray>("plan");
    QTest::addColumn<QStringList>("outcomes"); // "PASS", or "FAIL: " and the start of the reason
    QTest::addColumn<bool>("inEventLoop");       // each wait given back to the event loop, as the window's

    const QStringList rules;
    for (const bool inLoop : {false, true}) {
        const char *mode = inLoop ? " (waits in the event loop)" : "";
        QTest::addRow("every judge passes, placeholders and captures fill in%s", mode)
            << rules
            << QByteArray("[values]\nunit = \"A:1:X\"\n"
                          "[[step]]\nsend = \"PUT:{unit}:3,7\"\nexpect = \"0\"\n"
                          "[[step]]\nsend = \"GET:{unit}:\"\nexpect = \"0,3,7\"\nwithin = 1000\n"
                          "[[step]]\nsend = \"GET:T:1:NAME:\"\nmatch = '^0,8,(.+)$'\ncapture = \"name\"\n"
                          "[[step]]\nsend = \"PUT:B:1:X:8,{name}/{{x}}\"\n"
                          "[[step]]\nsend = \"GET:B:1:X:\"\nexpect = \"0,8,oven 1/{{x}}\"\n"
                          "[[step]]\nsend = \"PUT:L:1:X:3,1\"\nexpect_error = \"E_ACCESSDENIED\"\n"
                          "[[step]]\nsend = \"HELLO\"\nexpect_error = -2147467263\n"
                          "[[step]]\npause = 10\n"
                          "[[step]]\nsend = \"GET:A:1:X:\"\nrepeat = 50\np99_within = 1000\n")
            << QStringList{"PASS", "PASS", "PASS", "PASS", "PASS", "PASS", "PASS", "PASS", "PASS"} << inLoop;
        QTest::addRow("each judge fails with its reason%s", mode)
            << rules
            << QByteArray("[[step]]\nsend = \"GET:A:1:X:\"\nexpect = \"0,3,5\"\n"
                          "[[step]]\nsend = \"GET:A:1:X:\"\nmatch = '^0,8,.*$'\n"
                          "[[step]]\nsend = \"GET:A:1:X:\"\nexpect_error = \"E_FAIL\"\n"
                          "[[step]]\nsend = \"GET:G:1:X:\"\n")
            << QStringList{"FAIL: expected \"0,3,5\", got \"0,3,100\"", "FAIL: expected a match of '^0,8,.*$', got \"0,3,100\"",
                           "FAIL: expected E_FAIL, got \"0,3,100\"", "FAIL: unreadable answer \"~0,0\""} << inLoop;
        QTest::addRow("a late answer, a slow repeat, a silent device%s", mode)
            << rules
            << QByteArray("[plan]\ntimeout = 400\n"
                          "[[step]]\nsend = \"GET:S:1:X:\"\nwithin = 20\n"
                          "[[step]]\nsend = \"GET:S:1:X:\"\nrepeat = 3\np99_within = 20\n"
                          "[[step]]\nsend = \"GET:N:1:X:\"\n")
            << QStringList{"FAIL: answered in ", "FAIL: p99 ", "FAIL: no answer within 400 ms"} << inLoop;
        QTest::addRow("a repeat stops at its first failure%s", mode)
            << rules << QByteArray("[[step]]\nsend = \"START\"\nexpect = \"1\"\nrepeat = 5\n")
            << QStringList{"FAIL: request 1 of 5: expected \"1\", got \"0\""} << inLoop;
        QTest::addRow("the connection closes: later steps fail with the same reason%s", mode)
            << rules << QByteArray("[[step]]\nsend = \"START\"\nrepeat = 3\n[[step]]\nsend = \"START\"\n[[step]]\nsend = \"STOP\"\n")
            << QStringList{"PASS", "FAIL: the connection closed: ", "FAIL: the connection closed: "} << inLoop;
        QTest::addRow("stop_on_failure ends the plan%s", mode)
            << rules << QByteArray("[plan]\nstop_on_failure = true\n[[step]]\nsend = \"STOP\"\nexpect = \"1\"\n[[step]]\nsend = \"STOP\"\n")
            << QStringList{"FAIL: expected \"1\", got \"0\""} << inLoop;
        QTest::addRow("a device that closes mid-plan%s", mode)
            << QStringList{"0", "0!"} << QByteArray("[[step]]\nsend = \"START\"\n[[step]]\nsend = \"STOP\"\n[[step]]\nsend = \"STOP\"\n")
            << QStringList{"PASS", "FAIL: the connection closed: ", "FAIL: the connection closed: "} << inLoop;
        QTest::addRow("a device that never answers%s", mode)
            << QStringList{"-", "-"} << QByteArray("[plan]\ntimeout = 200\n[[step]]\nsend = \"START\"\n[[step]]\nsend = \"STOP\"\n")
            << QStringList{"FAIL: no answer within 200 ms", "FAIL: no answer within 200 ms"} << inLoop;
        QTest::addRow("a device that answers twice%s", mode)
            << QStringList{"0\r0", "0"} << QByteArray("[[step]]\nsend = \"START\"\n[[step]]\nsend = \"STOP\"\nexpect = \"0\"\n")
            << QStringList{"FAIL: a frame that answers no request came after the answer: \"0\"", "PASS"} << inLoop;
        QTest::addRow("a device that answers garbage%s", mode)
            << QStringList{"\x01zz"} << QByteArray("[[step]]\nsend = \"START\"\nexpect = \"0\"\n")
            << QStringList{"FAIL: expected \"0\", got \"\x01zz\""} << inLoop;
    }
}

void tst_PlanRun::stepsComeToTheirResults()
{
    QFETCH(QStringList, scripted);
    QFETCH(QByteArray, plan);
    QFETCH(QStringList, outcomes);
    QFETCH(bool, inEventLoop);
    QString error;
    std::optional<Plan> parsed = ParsePlan(plan, QStringLiteral("t.toml"), &error);
    QVERIFY2(parsed, qPrintable(error));

    PeerProcess device;
    ScriptedPeer scriptedDevice;
    quint16 port = 0;
    if (scripted.isEmpty()) {
        QVERIFY(device.start({"--option", kServer, "--rules", m_dir.filePath("rules.toml")}));
        port = device.port();
    } else {
        QList<ScriptedPeer::Step> steps;
        for (const QString &answer : scripted)
            steps.append({0, answer.toLatin1()});
        QVERIFY(scriptedDevice.start(steps));
        port = scriptedDevice.port();
    }
    MivEngine engine;
    MivController *controller = engine.Workspaces().Item(0)->AddController(
        {}, "MivProv.KEL", "localhost", QStringLiteral("Conn=eth:127.0.0.1:%1,EtherOpt=0,Timeout=1000").arg(port));
    PlanRunner runner(std::move(*parsed), controller);
    QSignalSpy finished(&runner, &PlanRunner::finished);
    QSignalSpy steps(&runner, &PlanRunner::stepFinished);
    runner.waitInEventLoop(inEventLoop);
    runner.start();
    QVERIFY(finished.wait(kRunMs));
    const QStringList got = Outcomes(runner.report());
    QCOMPARE(steps.size(), got.size());
    QCOMPARE(got.size(), outcomes.size());
    for (qsizetype i = 0; i < got.size(); ++i)
        QVERIFY2(got.at(i).startsWith(outcomes.at(i)), qPrintable(got.at(i)));
    QCOMPARE(runner.report().failed, int(outcomes.filter(QStringLiteral("FAIL")).size()));
}

void tst_PlanRun::stopEndsAfterTheRequestInFlight()
{
    PeerProcess device;
    QVERIFY(device.start({"--option", kServer}));
    QString error;
    std::optional<Plan> plan = ParsePlan("[[step]]\nsend = \"START\"\nrepeat = 1000000\n[[step]]\nsend = \"STOP\"\n", "t.toml", &error);
    QVERIFY2(plan, qPrintable(error));
    MivEngine engine;
    MivController *controller = engine.Workspaces().Item(0)->AddController(
        {}, "MivProv.KEL", "localhost", QStringLiteral("Conn=eth:127.0.0.1:%1,EtherOpt=0,Timeout=1000").arg(device.port()));
    PlanRunner runner(std::move(*plan), controller);
    QSignalSpy finished(&runner, &PlanRunner::finished);
    QSignalSpy exchanged(&runner, &PlanRunner::exchanged);
    runner.start();
    QTRY_VERIFY_WITH_TIMEOUT(exchanged.size() >= 10, kRunMs); // the event loop runs between requests
    runner.stop();
    QVERIFY(finished.wait(kRunMs));
    QVERIFY(runner.report().stopped);
    QCOMPARE(runner.report().steps.size(), 1);
    QVERIFY2(runner.report().steps.at(0).reason.startsWith("stopped after "), qPrintable(runner.report().steps.at(0).reason));
}

void tst_PlanRun::theRunGoesIntoTheSessionRecord()
{
    ScriptedPeer device;
    QVERIFY(device.start({{0, "0"}, {0, "0,3,\"1\""}}));
    QString error;
    std::optional<Plan> plan = ParsePlan("[plan]\nname = \"smoke\"\n[[step]]\nsend = \"START\"\n"
                                         "[[step]]\nname = \"reads\"\nsend = \"GET:A:1:X:\"\nexpect = \"0,3,2\"\n",
                                         "t.toml", &error);
    QVERIFY2(plan, qPrintable(error));
    MivEngine engine;
    MivController *controller = engine.Workspaces().Item(0)->AddController(
        {}, "MivProv.KEL", "localhost", QStringLiteral("Conn=eth:127.0.0.1:%1,EtherOpt=0,Timeout=1000").arg(device.port()));
    PlanRunner runner(std::move(*plan), controller);
    QSignalSpy finished(&runner, &PlanRunner::finished);
    runner.start();
    QVERIFY(finished.wait(kRunMs));

    const QString path = m_dir.filePath("session.jsonl");
    {
        SessionRecorder recorder;
        QVERIFY(recorder.start(path));
        recorder.addPlan(PlanRecordEntry(runner.report()));
    }
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().trimmed().split('\n');
    QCOMPARE(lines.size(), 3); // session, plan, end
    const QJsonObject record = QJsonDocument::fromJson(lines.at(1)).object();
    QCOMPARE(record.value("t").toString(), "plan");
    QCOMPARE(record.value("name").toString(), "smoke");
    QCOMPARE(record.value("passed").toInt(), 1);
    QCOMPARE(record.value("failed").toInt(), 1);
    QVERIFY(record.value("elapsed_ms").isDouble());
    const QJsonArray steps = record.value("steps").toArray();
    QCOMPARE(steps.size(), 2);
    const QJsonObject failed = steps.at(1).toObject();
    QCOMPARE(failed.keys(), (QStringList{"answer", "name", "reason", "result", "send", "us"}));
    QCOMPARE(failed.value("name").toString(), "reads");
    QCOMPARE(failed.value("send").toString(), "GET:A:1:X:");
    QCOMPARE(failed.value("result").toString(), "fail");
    QCOMPARE(failed.value("answer").toString(), "0,3,\"1\"");
    QCOMPARE(failed.value("reason").toString(), "expected \"0,3,2\", got \"0,3,\"1\"\"");
    QCOMPARE(steps.at(0).toObject().value("result").toString(), "pass");
}

QTEST_GUILESS_MAIN(tst_PlanRun)
#include "tst_plan_run.moc"
