#include "LoopbackPort.h"
#include "MivCommand.h"
#include "MivController.h"
#include "MivConverter.h"
#include "MivEngine.h"
#include "MivError.h"
#include "PeerProcess.h"

#include <QElapsedTimer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {

const QString kServer = QStringLiteral("Conn=eth::0,EtherOpt=1:10:900,MyIP=127.0.0.1");

// A delay, an error rate of 1.0, a garbled and a split answer, no answer, a close after 3.
const QByteArray kRules = R"(
[values]
"G:1:X" = "3,12"

[[rule]]
command = "GET"
part = "S"
delay = 300

[[rule]]
command = "PUT"
part = "L"
error_rate = 1.0
error = "E_ACCESSDENIED"

[[rule]]
match = "^GET:G:"
fault = "garble"

[[rule]]
command = "GET"
part = "Q"
answer = "0,8,{part}{number} {value}"
fault = "split"
split_parts = 4

[[rule]]
command = "GET"
part = "N"
fault = "no-answer"

[[rule]]
command = "START"
close_after = 3

[[rule]]
command = "GET"
number = 2
sub = "Y"
answer = "0,8,number and sub"

[[rule]]
match = "^PUT:P1:1:X:8,(a|b)*$"
answer = "0,8,long"
)";

bool WriteFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// What the tester's engine makes of a request in synchronous mode: the result's value text,
// or "!" and the failure's description.
QString Outcome(MivController *controller, const QString &request)
{
    MivCommand *command = controller->AddCommand(QStringLiteral("KELCmd"), QString());
    QStringList parameters = request.split(u':');
    parameters.resize(5);
    command->setParameters(parameters);
    QString outcome;
    try {
        command->Execute(0);
        outcome = MivConverter().ValueToText(command->Result());
    } catch (const MivError &e) {
        outcome = u'!' + e.description();
    }
    controller->Commands().Remove(command->Index());
    return outcome;
}

QByteArray Frame(qint64 us, const char *dir, const QString &text)
{
    return QStringLiteral(R"({"t":"frame","ms":1700000000000,"us":%1,"dir":"%2","peer":"127.0.0.1:5006","text":"%3"})")
               .arg(us).arg(QLatin1String(dir), text).toUtf8()
           + '\n';
}

const QByteArray kSession =
    R"({"t":"session","ms":1700000000000,"version":1,"program":"KELTester 1.0.416","started":"2023-11-14T22:13:20+00:00"})" "\n";

// The tester in Ether(Server) answering a host: its "in" frames are the requests.
QByteArray ServerRecord()
{
    return kSession
           + R"({"t":"event","ms":1700000000000,"us":1,"kind":"opened","peer":"0.0.0.0:5206","text":"Conn=eth::5206,EtherOpt=1:10:900"})" "\n"
           + Frame(100, "in", "GET:A:1:X:") + Frame(200, "out", "0,3,42") + Frame(300, "in", "GET:A:1:X:") + Frame(400, "out", "0,3,42");
}

} // namespace

class tst_KelPeerRules : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void engineSeesTheRules_data();
    void engineSeesTheRules();
    void badRulesRefusedBeforeListening_data();
    void badRulesRefusedBeforeListening();
    void reloadKeepsStoredValues();
    void replayAnswersAsRecorded();

private:
    QTemporaryDir m_dir;
};

void tst_KelPeerRules::initTestCase()
{
    if (PeerProcess::program().isEmpty())
        QSKIP("KELPEER is not set");
    QVERIFY(WriteFile(m_dir.filePath("rules.toml"), kRules));
}

void tst_KelPeerRules::engineSeesTheRules_data()
{
    QTest::addColumn<QStringList>("requests");
    QTest::addColumn<QStringList>("outcomes"); // value text, or "!" and part of the failure
    QTest::addColumn<int>("atLeastMs");

    QTest::newRow("delay") << QStringList{"GET:S:1:X:"} << QStringList{"0"} << 300;
    QTest::newRow("error rate 1.0, nothing stored")
        << QStringList{"PUT:L:1:X:3,5", "GET:L:1:X:"} << QStringList{"!E_ACCESSDENIED (0x80070005)", "0"} << 0;
    QTest::newRow("garbled") << QStringList{"GET:G:1:X:"} << QStringList{"!Unreadable answer \"~21,3,0\""} << 0;
    QTest::newRow("split over writes, placeholders")
        << QStringList{"GET:Q:7:X:"} << QStringList{"8,Q7 0"} << 2 * 20;
    QTest::newRow("no answer") << QStringList{"GET:N:1:X:"} << QStringList{"!"} << 0;
    QTest::newRow("close after 3") << QStringList{"START", "START", "START", "START"}
                                   << QStringList{"0", "0", "0", "!closed"} << 0;
    QTest::newRow("no rule: the built-in device") << QStringList{"PUT:A:1:X:3,9", "GET:A:1:X:", "HELLO"}
                                                  << QStringList{"0", "3,9", "!E_NOTIMPL"} << 0;
    QTest::newRow("number and sub, each its own field")
        << QStringList{"GET:A:2:Y:", "GET:A:Y:2:", "GET:A:1:Y:", "GET:A:2:Z:"} << QStringList{"8,number and sub", "0", "0", "0"}
        << 0;
    // The compiled matcher runs out of stack on this one; it must still match.
    QTest::newRow("a long request against a regular expression")
        << QStringList{QStringLiteral("PUT:P1:1:X:8,") + QString(60001 - 13, u'a')} << QStringList{"8,long"} << 0;
}

void tst_KelPeerRules::engineSeesTheRules()
{
    QFETCH(QStringList, requests);
    QFETCH(QStringList, outcomes);
    QFETCH(int, atLeastMs);
    PeerProcess device;
    QVERIFY(device.start({"--option", kServer, "--rules", m_dir.filePath("rules.toml")}));
    MivEngine engine;
    MivController *controller = engine.Workspaces().Item(0)->AddController(
        {}, "MivProv.KEL", "localhost", QStringLiteral("Conn=eth:127.0.0.1:%1,EtherOpt=0,Timeout=1000").arg(device.port()));
    QElapsedTimer clock;
    clock.start();
    QStringList got;
    for (const QString &request : requests)
        got << Outcome(controller, request);
    QVERIFY(clock.elapsed() >= atLeastMs);
    QCOMPARE(got.size(), outcomes.size());
    for (qsizetype i = 0; i < got.size(); ++i) {
        if (outcomes.at(i).startsWith(u'!'))
            QVERIFY2(got.at(i).startsWith(u'!') && got.at(i).contains(outcomes.at(i).mid(1)), qPrintable(got.at(i)));
        else
            QCOMPARE(got.at(i), outcomes.at(i));
    }
}

void tst_KelPeerRules::badRulesRefusedBeforeListening_data()
{
    QTest::addColumn<QString>("flag");
    QTest::addColumn<QString>("file"); // in the test folder, or an absolute path
    QTest::addColumn<QByteArray>("rules");
    QTest::addColumn<QString>("error");

    const QString rules = QStringLiteral("--rules");
    const QString bad = QStringLiteral("bad.toml");
    QTest::newRow("syntax error") << rules << bad << QByteArray("[[rule]]\ncommand = \"GET\npart = \"A\"\n") << "bad.toml:2:";
    QTest::newRow("unknown key") << rules << bad << QByteArray("[[rule]]\ncommand = \"GET\"\n\ncolour = \"red\"\n")
                                 << "bad.toml:4: unknown key \"colour\" in a rule";
    QTest::newRow("bad regular expression") << rules << bad << QByteArray("[[rule]]\nmatch = \"GET:([\"\n")
                                            << "bad.toml:2: match is not a valid regular expression";
    QTest::newRow("bad value text") << rules << bad << QByteArray("[values]\n\"A:1:X\" = \"2,99999\"\n") << "bad.toml:2:";
    QTest::newRow("error rate out of range") << rules << bad << QByteArray("[[rule]]\nerror_rate = 2\n")
                                             << "bad.toml:2: error_rate must be a number from 0 to 1";
    QTest::newRow("a delay far past any whole number") << rules << bad << QByteArray("[[rule]]\ndelay = 1e31\n")
                                                       << "bad.toml:2: delay must be whole milliseconds";
    QTest::newRow("missing file") << rules << "missing.toml" << QByteArray() << "missing.toml:";
    QTest::newRow("error rate nan") << rules << bad << QByteArray("[[rule]]\nerror_rate = nan\n")
                                    << "bad.toml:2: error_rate must be a number from 0 to 1";
    QTest::newRow("command in small letters") << rules << bad << QByteArray("[[rule]]\ncommand = \"get\"\n")
                                              << "bad.toml:2: unknown command \"get\" (START, STOP, PUT or GET;";
    QTest::newRow("value key without sub") << rules << bad << QByteArray("[values]\n\"A:1\" = \"3,1\"\n")
                                           << "bad.toml:2: value key \"A:1\" is not \"part:number:sub\"";
    QTest::newRow("split parts without the split fault") << rules << bad << QByteArray("[[rule]]\nsplit_parts = 3\n")
                                                         << "bad.toml:2: split_parts and split_gap go with fault = \"split\"";
    QTest::newRow("unknown fault") << rules << bad << QByteArray("[[rule]]\nfault = \"garbel\"\n")
                                   << "bad.toml:2: unknown fault \"garbel\" (none, no-answer, garble or split)";
    QTest::newRow("a dotted key 40,000 deep") << rules << bad << "[[rule]]\n" + QByteArray("a.").repeated(40000) + "a = 1\n"
                                              << "bad.toml:2: keys, tables and arrays nest more than 64 deep";
    QTest::newRow("rules without end") << rules << "/dev/zero" << QByteArray() << "/dev/zero: not a regular file";
    QTest::newRow("record without end") << "--replay" << "/dev/zero" << QByteArray() << "\"/dev/zero\": not a regular file";
    QTest::newRow("bad record line") << "--replay" << "bad.jsonl" << QByteArray("{\"t\":\"session\",\"ms\":1,\"version\":1}\n[1]\n")
                                     << "bad.jsonl:2: not a JSON object";
    QTest::newRow("a record of a server") << "--replay" << "server.jsonl" << ServerRecord()
                                          << "server.jsonl: holds no frame of a client-role link";
}

void tst_KelPeerRules::badRulesRefusedBeforeListening()
{
    QFETCH(QString, flag);
    QFETCH(QString, file);
    QFETCH(QByteArray, rules);
    QFETCH(QString, error);
    const QString path = file.startsWith(u'/') ? file : m_dir.filePath(file);
    if (!rules.isEmpty())
        QVERIFY(WriteFile(path, rules));
    PeerProcess device;
    QVERIFY(device.start({"--option", kServer, flag, path}, 0));
    QVERIFY(device.waitForFinished(5000));
    QCOMPARE(device.exitCode(), 1);
    QVERIFY2(device.errorOutput().contains(error), qPrintable(device.errorOutput()));
    QVERIFY(device.address().isEmpty());
}

void tst_KelPeerRules::reloadKeepsStoredValues()
{
    const QString path = m_dir.filePath("reload.toml");
    QVERIFY(WriteFile(path, "[values]\n\"A:1:X\" = \"3,1\"\n[[rule]]\ncommand = \"GET\"\npart = \"R\"\nanswer = \"0,8,one\"\n"));
    PeerProcess device;
    QVERIFY(device.start({"--option", kServer, "--rules", path}));
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, device.port());
    QVERIFY(client.waitForConnected(3000));
    auto ask = [&client](const QByteArray &request) {
        client.write(request + '\r');
        return ReadFrame(client);
    };
    QCOMPARE(ask("GET:R:1:X:"), QByteArray("0,8,one"));
    QCOMPARE(ask("PUT:A:1:X:3,2"), QByteArray("0"));

    QVERIFY(WriteFile(path, "[values]\n\"A:1:X\" = \"3,5\"\n[[rule]]\ncommand = \"GET\"\npart = \"R\"\nanswer = \"0,8,two\"\n"));
    ::kill(pid_t(device.processId()), SIGHUP);
    QTRY_VERIFY_WITH_TIMEOUT(ask("GET:R:1:X:") == "0,8,two", 3000);
    QCOMPARE(ask("GET:A:1:X:"), QByteArray("0,3,2")); // stored, not the file's new start value

    QVERIFY(WriteFile(path, "[[rule]]\nanswer = 5\n"));
    ::kill(pid_t(device.processId()), SIGHUP);
    QTRY_VERIFY_WITH_TIMEOUT((device.pump(), device.errorOutput().contains("reload.toml:2: answer must be a text")), 3000);
    QCOMPARE(ask("GET:R:1:X:"), QByteArray("0,8,two")); // the old rules stay

    QVERIFY(WriteFile(path, QByteArray("a.").repeated(40000) + "a = 1\n"));
    ::kill(pid_t(device.processId()), SIGHUP);
    QTRY_VERIFY_WITH_TIMEOUT((device.pump(), device.errorOutput().contains("reload.toml:1: keys, tables and arrays nest")), 3000);
    QCOMPARE(ask("GET:R:1:X:"), QByteArray("0,8,two"));
}

void tst_KelPeerRules::replayAnswersAsRecorded()
{
    constexpr int recordedDelayMs = 250;
    const QString path = m_dir.filePath("session.jsonl");
    QVERIFY(WriteFile(path, ServerRecord()
                                + R"({"t":"event","ms":1700000000000,"us":500,"kind":"opened","peer":"127.0.0.1:1","text":"Conn=eth:127.0.0.1:5006"})" "\n"
                                + Frame(1000, "out", "GET:A:1:X:") + Frame(1500, "in", "0,3,1")
                                + Frame(2000, "out", "GET:A:1:X:") + Frame(2600, "in", "0,3,2")
                                + Frame(3000, "out", "START") + Frame(3000 + recordedDelayMs * 1000, "in", "0")
                                + R"({"t":"end","ms":1700000000001})" "\n"));
    PeerProcess device;
    QVERIFY(device.start({"--option", kServer, "--replay", path, "--replay-delays"}));
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, device.port());
    QVERIFY(client.waitForConnected(3000));
    QStringList answers;
    QElapsedTimer clock;
    qint64 startMs = 0;
    for (const QByteArray request : {"GET:A:1:X:", "GET:A:1:X:", "GET:A:1:X:", "START", "STOP", "0,3,42"}) {
        clock.start();
        client.write(request + '\r');
        answers << QString::fromUtf8(ReadFrame(client));
        if (request == "START")
            startMs = clock.elapsed();
    }
    QCOMPARE(answers, (QStringList{"0,3,1", "0,3,2", "0,3,2", "0", "-2147467263", "-2147467263"}));
    QVERIFY2(startMs >= recordedDelayMs - 10, qPrintable(QString::number(startMs)));
    QTRY_VERIFY_WITH_TIMEOUT((device.pump(), device.errorOutput().contains("\"STOP\" is not in the record")), 3000);
    QVERIFY2(device.errorOutput().contains("session.jsonl: 3 exchanges loaded (2 distinct requests)"), qPrintable(device.errorOutput()));
    QVERIFY(device.errorOutput().contains("session.jsonl: 4 frames of server-role links left out"));
}

QTEST_GUILESS_MAIN(tst_KelPeerRules)
#include "tst_kelpeer_rules.moc"
