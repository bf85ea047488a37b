#include "PeerProcess.h"
#include "SessionRecorder.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

namespace {

const QString kServer = QStringLiteral("Conn=eth::0,EtherOpt=1:10:900,MyIP=127.0.0.1");
const QString kExamples = QStringLiteral(KEL_EXAMPLES);
constexpr int kRunMs = 30000;

QString Client(quint16 port, const QString &extra = {})
{
    return QStringLiteral("Conn=eth:127.0.0.1:%1,EtherOpt=0,Timeout=1000%2").arg(port).arg(extra);
}

bool WriteFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// kelpeer run to its end: the exit status, standard output and error.
struct Run
{
    int exitCode = -1;
    QString out;
    QString err;
};

Run RunKelpeer(const QStringList &args)
{
    QProcess process;
    process.start(PeerProcess::program(), args);
    Run run;
    if (!process.waitForFinished(kRunMs))
        return run;
    run.exitCode = process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

QString LastLine(const QString &text)
{
    return text.trimmed().split(u'\n').last();
}

} // namespace

class tst_PlanKelpeer : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void exitStatus_data();
    void exitStatus();
    void planWaitsForTheFirstClient();
    void reportsReadBack();
    void planFromRecordPassesAgainstReplay();

private:
    QTemporaryDir m_dir;
};

void tst_PlanKelpeer::initTestCase()
{
    if (PeerProcess::program().isEmpty())
        QSKIP("KELPEER is not set");
    QVERIFY(WriteFile(m_dir.filePath("fails.toml"), "[[step]]\nsend = \"START\"\n[[step]]\nsend = \"START\"\nexpect = \"1\"\n"));
    QVERIFY(WriteFile(m_dir.filePath("bad.toml"), "[[step]]\nsend = \"START\"\nexpect = \"0\"\nexpect_error = \"E_FAIL\"\n"));
}

void tst_PlanKelpeer::exitStatus_data()
{
    QTest::addColumn<QStringList>("device");   // kelpeer's arguments past its option string
    QTest::addColumn<QString>("packet");       // the option strings' PacketOpt, if any
    QTest::addColumn<QStringList>("args");     // past the plan role's option string; "-" for no port
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("lastLine");     // of stdout, or the start of stderr for status 2

    QTest::newRow("the example plan passes against the rules example")
        << QStringList{"--rules", kExamples + "/rules.toml"} << QString() << QStringList{"--plan", kExamples + "/plan.toml"} << 0
        << "13 passed, 0 failed";
    QTest::newRow("the conformance plan passes against the built-in device")
        << QStringList() << ",PacketOpt=4:1:0:27" << QStringList{"--plan", kExamples + "/conformance.toml"} << 0
        << "57 passed, 0 failed";
    QTest::newRow("a step fails") << QStringList() << QString() << QStringList{"--plan", m_dir.filePath("fails.toml")} << 1
                                  << "1 passed, 1 failed";
    QTest::newRow("a bad plan") << QStringList() << QString() << QStringList{"--plan", m_dir.filePath("bad.toml")} << 2
                                << "kelpeer: " + m_dir.filePath("bad.toml") + ":4: a step takes at most one";
    QTest::newRow("an unwritable report") << QStringList() << QString()
                                          << QStringList{"--plan", m_dir.filePath("fails.toml"), "--junit", "/nonexistent/r.xml"}
                                          << 2 << "kelpeer: /nonexistent/r.xml: ";
    QTest::newRow("an option of another role") << QStringList() << QString()
                                               << QStringList{"--plan", m_dir.filePath("fails.toml"), "--count", "2"} << 2
                                               << "kelpeer: --count does nothing with --plan";
    QTest::newRow("no connection") << QStringList() << QString() << QStringList{"-", "--plan", m_dir.filePath("fails.toml")}
                                   << 2 << "kelpeer: Cannot connect";
}

// Every refused run sent nothing: the device saw no request.
void tst_PlanKelpeer::exitStatus()
{
    QFETCH(QStringList, device);
    QFETCH(QString, packet);
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, lastLine);
    PeerProcess peer;
    QVERIFY(peer.start(QStringList{"--option", kServer + packet, "--verbose"} + device));
    const bool noPort = args.first() == u"-";
    const QString option = noPort ? QStringLiteral("Conn=eth:127.0.0.1:1,EtherOpt=0") : Client(peer.port(), packet);
    const Run run = RunKelpeer(QStringList{"--option", option} + args.mid(noPort ? 1 : 0));
    QCOMPARE(run.exitCode, exitCode);
    if (exitCode == 2) {
        QVERIFY2(run.err.startsWith(lastLine), qPrintable(run.err));
        peer.pump();
        QVERIFY(peer.received().isEmpty());
    } else {
        QCOMPARE(LastLine(run.out), lastLine);
    }
}

void tst_PlanKelpeer::planWaitsForTheFirstClient()
{
    PeerProcess host;
    QVERIFY(host.start({"--option", kServer, "--plan", kExamples + "/plan.toml", "--wait-client", "20"}));
    PeerProcess device;
    QVERIFY(device.start({"--option", Client(host.port()), "--rules", kExamples + "/rules.toml"}));
    QVERIFY(host.waitForFinished(kRunMs));
    QCOMPARE(host.exitCode(), 0);

    const Run lonely = RunKelpeer({"--option", kServer, "--plan", kExamples + "/plan.toml", "--wait-client", "0.2"});
    QCOMPARE(lonely.exitCode, 2);
    QVERIFY2(lonely.err.contains("no client connected within 0.2 s"), qPrintable(lonely.err));
}

void tst_PlanKelpeer::reportsReadBack()
{
    PeerProcess peer;
    QVERIFY(peer.start({"--option", kServer}));
    const QString junit = m_dir.filePath("r.xml");
    const QString json = m_dir.filePath("r.json");
    const Run run = RunKelpeer({"--option", Client(peer.port()), "--plan", m_dir.filePath("fails.toml"), "--junit", junit, "--json", json});
    QCOMPARE(run.exitCode, 1);

    QFile xmlFile(junit);
    QVERIFY(xmlFile.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&xmlFile);
    int suites = 0;
    QStringList cases;
    QStringList failures;
    QStringList outputs;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == u"testsuite") {
            ++suites;
            QCOMPARE(xml.attributes().value("tests"), u"2");
            QCOMPARE(xml.attributes().value("failures"), u"1");
            QCOMPARE(xml.attributes().value("name"), u"fails.toml");
        } else if (xml.name() == u"testcase") {
            cases << xml.attributes().value("name").toString();
        } else if (xml.name() == u"failure") {
            failures << xml.attributes().value("message").toString();
        } else if (xml.name() == u"system-out") {
            outputs << xml.readElementText();
        }
    }
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
    QCOMPARE(suites, 1);
    QCOMPARE(cases, (QStringList{"step 1: START", "step 2: START"}));
    QCOMPARE(failures, QStringList{"expected \"1\", got \"0\""});
    QCOMPARE(outputs, (QStringList{"0", "0"}));

    QFile jsonFile(json);
    QVERIFY(jsonFile.open(QIODevice::ReadOnly));
    const QJsonObject report = QJsonDocument::fromJson(jsonFile.readAll()).object();
    QCOMPARE(report.value("passed").toInt(), 1);
    QCOMPARE(report.value("failed").toInt(), 1);
    const QJsonArray steps = report.value("steps").toArray();
    QCOMPARE(steps.size(), 2);
    QCOMPARE(steps.at(1).toObject().value("result").toString(), "fail");
    QCOMPARE(steps.at(1).toObject().value("reason").toString(), "expected \"1\", got \"0\"");
}

void tst_PlanKelpeer::planFromRecordPassesAgainstReplay()
{
    // A client session as the tester records it, with texts that need care in a plan.
    const QString record = m_dir.filePath("session.jsonl");
    {
        SessionRecorder recorder;
        QVERIFY(recorder.start(record));
        const QString peer = QStringLiteral("127.0.0.1:5006");
        const QList<QPair<QString, QString>> exchanges{
            {"PUT:A:1:X:3,5", "0"},
            {"GET:A:1:X:", "0,3,5"},
            {"HELLO", "-2147467263"},
            {"GET:{unit}:", "0,8,{x} \"q\" \\ \t\x01"},
        };
        for (const auto &[request, answer] : exchanges) {
            recorder.addFrame({FrameDirection::Out, peer, request, request.toUtf8() + '\r'});
            recorder.addFrame({FrameDirection::In, peer, answer, answer.toUtf8() + '\r'});
        }
        recorder.addFrame({FrameDirection::Out, peer, "STOP", "STOP\r"}); // no answer came
        recorder.stop();
    }
    const Run made = RunKelpeer({"--plan-from", record});
    QCOMPARE(made.exitCode, 0);
    QVERIFY(made.out.contains("expect_error = \"E_NOTIMPL\""));
    QVERIFY(!made.out.contains("within = "));
    QVERIFY(RunKelpeer({"--plan-from", record, "--within-factor", "3"}).out.contains("within = "));
    QVERIFY(made.out.contains("# left out: \"STOP\" got no answer in the record"));
    const QString plan = m_dir.filePath("from.toml");
    QVERIFY(WriteFile(plan, made.out.toUtf8()));

    PeerProcess replay;
    QVERIFY(replay.start({"--option", kServer, "--replay", record}));
    const Run run = RunKelpeer({"--option", Client(replay.port()), "--plan", plan});
    QVERIFY2(run.exitCode == 0, qPrintable(run.out + run.err));
    QCOMPARE(LastLine(run.out), "4 passed, 0 failed");

    QCOMPARE(RunKelpeer({"--plan-from", m_dir.filePath("missing.jsonl")}).exitCode, 1);
}

QTEST_GUILESS_MAIN(tst_PlanKelpeer)
#include "tst_plan_kelpeer.moc"
