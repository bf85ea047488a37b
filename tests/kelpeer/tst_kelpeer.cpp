#include "KelDevice.h"
#include "KelPeerConfig.h"
#include "KelPeerText.h"
#include "KelPeerThread.h"
#include "LoopbackPort.h"
#include "MivError.h"
#include "PeerProcess.h"
#include "PtyPair.h"
#include "ScriptedPeer.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

using Steps = QList<ScriptedPeer::Step>;
Q_DECLARE_METATYPE(ScriptedPeer::Step)

namespace {

const QString kServer = QStringLiteral("Conn=eth::0,PacketOpt=4:0:0:0,EtherOpt=1:10:900,Timeout=500");

QString ClientOption(quint16 port, int timeoutMs = 500)
{
    return QStringLiteral("Conn=eth:127.0.0.1:%1,EtherOpt=0,Timeout=%2").arg(port).arg(timeoutMs);
}

} // namespace

class tst_KelPeer : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void deviceAnswers_data();
    void deviceAnswers();
    void exitCodes_data();
    void exitCodes();
    void terminateEndsCleanly();
    void waitClientGivesUp();
    void verboseLinesAndDelay();
    void hostRole_data();
    void hostRole();
    void hostKeepsRequestRules_data();
    void hostKeepsRequestRules();
    void escapedLines_data();
    void escapedLines();
    void deviceEndsWithItsLine_data();
    void deviceEndsWithItsLine();
};

void tst_KelPeer::initTestCase()
{
    if (PeerProcess::program().isEmpty())
        QSKIP("KELPEER is not set");
}

void tst_KelPeer::deviceAnswers_data()
{
    QTest::addColumn<QStringList>("requests");
    QTest::addColumn<QStringList>("answers");

    QTest::newRow("start and stop") << QStringList{"START::::", "STOP", "STOP:A:1:X:"}
                                    << QStringList{"0", "0", "0"};
    QTest::newRow("never written") << QStringList{"GET:A:1:X:"} << QStringList{"0,0"};
    QTest::newRow("put then get") << QStringList{"PUT:A:1:X:3,100", "GET:A:1:X:", "GET:A:1:Y:"}
                                  << QStringList{"0", "0,3,100", "0,0"};
    QTest::newRow("value with colons and commas")
        << QStringList{"PUT:A:1:X:8,a:b,c", "GET:A:1:X:"} << QStringList{"0", "0,8,a:b,c"};
    QTest::newRow("stored as normalised text") << QStringList{"PUT:A:1:X:3, 7", "GET:A:1:X:"}
                                               << QStringList{"0", "0,3,7"};
    const QString invalidArg = QString::number(MivCode::InvalidArg);
    const QString notImpl = QString::number(MivCode::NotImpl);
    QTest::newRow("bad value keeps the old one")
        << QStringList{"PUT:A:1:X:2,5", "PUT:A:1:X:2,99999", "GET:A:1:X:"}
        << QStringList{"0", invalidArg, "0,2,5"};
    QTest::newRow("put without value") << QStringList{"PUT:A:1"} << QStringList{invalidArg};
    QTest::newRow("unknown") << QStringList{"HELLO", "get:A:1:X:", ""} << QStringList{notImpl, notImpl, notImpl};
    QTest::newRow("refused prefix") << QStringList{"PUT:F:1:X:3,1", "PUT:A:1:X:3,1"}
                                    << QStringList{QString::number(MivCode::Fail), "0"};
}

void tst_KelPeer::deviceAnswers()
{
    QFETCH(QStringList, requests);
    QFETCH(QStringList, answers);
    KelDevice device({QStringLiteral("PUT:F:")});
    QStringList got;
    for (const QString &request : requests)
        got << device.answer(request);
    QCOMPARE(got, answers);
}

void tst_KelPeer::exitCodes_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("stderrText");

    static QTcpServer held;
    if (!held.isListening())
        QVERIFY(held.listen(QHostAddress::LocalHost));
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost));
    const quint16 closedPort = probe.serverPort();
    probe.close();

    QTest::newRow("help") << QStringList{"--help"} << 0 << "";
    QTest::newRow("no option") << QStringList{"--verbose"} << 2 << "--option is required";
    QTest::newRow("unknown argument") << QStringList{"--option", kServer, "--loud"} << 2 << "\"--loud\"";
    QTest::newRow("missing value") << QStringList{"--option"} << 2 << "usage:";
    QTest::newRow("bad delay") << QStringList{"--option", kServer, "--delay", "soon"} << 2 << "--delay";
    QTest::newRow("zero count") << QStringList{"--option", kServer, "--send", "X", "--count", "0"} << 2
                                << "--count";
    QTest::newRow("count without send") << QStringList{"--option", kServer, "--count", "2"} << 2 << "--send";
    QTest::newRow("bad option string") << QStringList{"--option", "Conn=eth:127.0.0.1:1,Timeout=x"} << 1 << "Timeout";
    QTest::newRow("cannot listen")
        << QStringList{"--option", QStringLiteral("Conn=eth::%1,EtherOpt=1:1:0,MyIP=127.0.0.1").arg(held.serverPort())}
        << 1 << "Cannot listen";
    QTest::newRow("cannot connect") << QStringList{"--option", ClientOption(closedPort)} << 1 << "Cannot connect";
    QTest::newRow("short help") << QStringList{"-h", "--loud"} << 0 << "";
    QTest::newRow("version") << QStringList{"--version"} << 0 << "";
    QTest::newRow("repeated option") << QStringList{"--option", kServer, "--delay", "1", "--delay=2"} << 2
                                     << "--delay is given more than once";
    QTest::newRow("flag with a value") << QStringList{"--option", kServer, "--verbose=yes"} << 2 << "takes no value";
    QTest::newRow("device option on the host") << QStringList{"--option", kServer, "--send", "X", "--delay", "5"} << 2
                                               << "--delay does nothing with --send";
    QTest::newRow("load option on the device") << QStringList{"--option", kServer, "--clients", "2"} << 2
                                               << "--clients does nothing without --send";
    QTest::newRow("interval in a load run")
        << QStringList{"--option", ClientOption(closedPort), "--send", "X", "--rate", "5", "--interval", "1"} << 2
        << "--interval does not go with the load options";
    QTest::newRow("clients on a server") << QStringList{"--option", kServer, "--send", "X", "--clients", "2"} << 2
                                         << "needs a TCP client option string";
    QTest::newRow("summary file that cannot be written, before connecting")
        << QStringList{"--option", ClientOption(closedPort), "--send", "X", "--json", "/nonexistent/summary.json"} << 1
        << "cannot write /nonexistent/summary.json";
    QTest::newRow("wait for a client as a client")
        << QStringList{"--option", ClientOption(closedPort), "--send", "X", "--wait-client", "1"} << 2
        << "--wait-client does nothing on a client";
}

void tst_KelPeer::exitCodes()
{
    QFETCH(QStringList, args);
    QFETCH(int, code);
    QFETCH(QString, stderrText);
    PeerProcess peer;
    QVERIFY(peer.start(args, 0));
    QVERIFY(peer.waitForFinished(5000));
    QCOMPARE(peer.exitCode(), code);
    QVERIFY2(peer.errorOutput().contains(stderrText), qPrintable(peer.errorOutput()));
    QVERIFY(peer.address().isEmpty());
}

void tst_KelPeer::terminateEndsCleanly()
{
    PeerProcess peer;
    QVERIFY(peer.start({"--option", kServer}));
    QVERIFY(peer.address().startsWith("0.0.0.0:"));
    QVERIFY(peer.port() != 0);
    peer.terminate();
    QVERIFY(peer.waitForFinished(3000));
    QCOMPARE(peer.exitCode(), 0);
}

void tst_KelPeer::waitClientGivesUp()
{
    PeerProcess peer;
    QVERIFY(peer.start({"--option=" + kServer, "--send=X", "--wait-client=0.2"}));
    QVERIFY(peer.waitForFinished(3000));
    QCOMPARE(peer.exitCode(), 1);
    QVERIFY2(peer.errorOutput().contains("no client connected within 0.2 s"), qPrintable(peer.errorOutput()));
}

void tst_KelPeer::verboseLinesAndDelay()
{
    constexpr int delayMs = 400;
    PeerProcess peer;
    QVERIFY(peer.start({"--option", kServer, "--verbose", "--delay", QString::number(delayMs)}));
    QTcpSocket a;
    QTcpSocket b;
    a.connectToHost(QHostAddress::LocalHost, peer.port());
    b.connectToHost(QHostAddress::LocalHost, peer.port());
    QVERIFY(a.waitForConnected(3000) && b.waitForConnected(3000));
    QElapsedTimer clock;
    clock.start();
    a.write("PUT:A:1:X:3,1\r");
    b.write("GET:B:1:X:\r");
    QVERIFY(a.flush() && b.flush());
    QCOMPARE(ReadFrame(a), QByteArray("0"));
    QCOMPARE(ReadFrame(b), QByteArray("0,0"));
    const qint64 elapsed = clock.elapsed();
    // Answered after the delay, and one client's delay does not hold up the other.
    QVERIFY2(elapsed >= delayMs - 10 && elapsed < 2 * delayMs - 50, qPrintable(QString::number(elapsed)));
    QVERIFY(peer.waitForReceived(2, 3000));
    QCOMPARE(peer.received(), (QStringList{"PUT:A:1:X:3,1", "GET:B:1:X:"}));
    a.disconnectFromHost();
    b.disconnectFromHost();
    QTRY_COMPARE_WITH_TIMEOUT((peer.pump(), peer.links().size()), 4, 3000); // each connected and disconnected
    QVERIFY(peer.links().constFirst().startsWith("connected 127.0.0.1:"));
    QVERIFY(peer.links().constLast().startsWith("disconnected 127.0.0.1:"));
    peer.stop();
    QCOMPARE(peer.sent(), (QStringList{"0", "0,0"}));
    const QRegularExpression stamped("^\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d x$");
    QVERIFY(stamped.match(StampedLine("x")).hasMatch());
}

void tst_KelPeer::hostRole_data()
{
    QTest::addColumn<QStringList>("extra");
    QTest::addColumn<bool>("deviceAnswers");
    QTest::addColumn<int>("code");
    QTest::addColumn<QStringList>("answers");

    QTest::newRow("one by one") << QStringList{"--count", "3", "--interval", "20"} << true << 0
                                << QStringList{"0,0", "0,0", "0,0"};
    QTest::newRow("all at once") << QStringList{"--count", "4", "--no-wait"} << true << 0
                                 << QStringList{"0,0", "0,0", "0,0", "0,0"};
    QTest::newRow("no answer") << QStringList{"--count", "2"} << false << 1 << QStringList{};
    QTest::newRow("every text in turn") << QStringList{"--send", "START"} << true << 0 << QStringList{"0,0", "0"};
    QTest::newRow("the count repeats them all, printing what came")
        << QStringList{"--send", "START", "--count", "2", "--verbose"} << true << 0 << QStringList{"0,0", "0", "0,0", "0"};
}

void tst_KelPeer::hostRole()
{
    QFETCH(QStringList, extra);
    QFETCH(bool, deviceAnswers);
    QFETCH(int, code);
    QFETCH(QStringList, answers);
    KelPeerThread device(ParseKelPeerArgs({"--option", kServer}).config);
    QTcpServer silent; // accepts and never answers
    quint16 port;
    if (deviceAnswers) {
        QVERIFY2(device.start(), qPrintable(device.errorString()));
        port = device.port();
    } else {
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        port = silent.serverPort();
    }
    PeerProcess host;
    QVERIFY(host.start(QStringList{"--option", ClientOption(port, 300), "--send", "GET:Z:1:X:"} + extra));
    QVERIFY(host.waitForFinished(5000));
    QCOMPARE(host.exitCode(), code);
    QCOMPARE(host.answers(), answers);
    QCOMPARE(host.received(), extra.contains("--verbose") ? answers : QStringList{});
    if (code != 0)
        QVERIFY2(host.errorOutput().contains("none within 300 ms"), qPrintable(host.errorOutput()));
}

void tst_KelPeer::hostKeepsRequestRules_data()
{
    QTest::addColumn<Steps>("steps"); // the device's answers to the host's requests, in turn
    QTest::addColumn<int>("code");
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<QStringList>("notAnswers");

    QTest::newRow("duplicate answer") << Steps{{0, "0,8,one\r0,8,one"}, {0, "0,8,two"}} << 0
                                      << QStringList{"0,8,one", "0,8,two"} << QStringList{"0,8,one"};
    QTest::newRow("frame between requests") << Steps{{0, "0,8,one\rhello"}, {0, "0,8,two"}} << 0
                                            << QStringList{"0,8,one", "0,8,two"} << QStringList{"hello"};
    // Timeout 500 ms: the first answer comes while the second request waits.
    QTest::newRow("late answer") << Steps{{750, "0,8,one"}, {0, "0,8,two"}} << 1 << QStringList{"0,8,two"}
                                 << QStringList{"0,8,one"};
    QTest::newRow("LF, NUL and bytes that are not UTF-8")
        << Steps{{0, "0,8,a\nb"}, {0, QByteArray("0,8,\0z", 6)}, {0, "0,8,\xff\xfe"}} << 0
        << QStringList{"0,8,a\nb", QStringLiteral("0,8,") + QChar(0) + u'z', QStringLiteral("0,8,\uFFFD\uFFFD")}
        << QStringList{};
}

void tst_KelPeer::hostKeepsRequestRules()
{
    QFETCH(Steps, steps);
    QFETCH(int, code);
    QFETCH(QStringList, answers);
    QFETCH(QStringList, notAnswers);
    ScriptedPeer device;
    QVERIFY(device.start(steps));
    PeerProcess host;
    QVERIFY(host.start({"--option", ClientOption(device.port(), 500), "--send", "GET:A:1:X:", "--count",
                        QString::number(steps.size())}));
    QVERIFY(host.waitForFinished(5000));
    QCOMPARE(host.exitCode(), code);
    QCOMPARE(host.answers(), answers);
    QCOMPARE(host.unsolicited(), notAnswers);
    if (code != 0)
        QVERIFY2(host.errorOutput().contains("1 of 2 answers came"), qPrintable(host.errorOutput()));
}

void tst_KelPeer::escapedLines_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("line");

    QTest::newRow("plain text") << QStringLiteral("0,8,caf\u00e9 \u20ac \U0001F600") << QStringLiteral("0,8,caf\u00e9 \u20ac \U0001F600");
    QTest::newRow("line breaks and tab") << "a\nb\rc\td" << "a\\nb\\rc\\td";
    QTest::newRow("backslash") << "C:\\x" << "C:\\\\x";
    QTest::newRow("NUL, DEL and C1") << QStringLiteral("%1%2\u0085").arg(QChar(0)).arg(QChar(0x7F)) << "\\x00\\x7F\\x85";
    QTest::newRow("replacement and separator") << QStringLiteral("\uFFFD\u2028") << "\\u{FFFD}\\u{2028}";
    QTest::newRow("unpaired surrogate") << QString(QChar(0xD800)) << "\\u{D800}";
}

void tst_KelPeer::escapedLines()
{
    QFETCH(QString, text);
    QFETCH(QString, line);
    QCOMPARE(EscapeLine(text), line);
    QCOMPARE(UnescapeLine(line), text);
}

void tst_KelPeer::deviceEndsWithItsLine_data()
{
    QTest::addColumn<bool>("serial");
    QTest::newRow("its server leaves") << false;
    QTest::newRow("its serial line goes") << true;
}

void tst_KelPeer::deviceEndsWithItsLine()
{
    QFETCH(bool, serial);
    PeerProcess device;
    if (serial) {
        auto pty = std::make_unique<PtyPair>();
        QVERIFY2(pty->start(), qPrintable(pty->errorString()));
        QVERIFY(device.start({"--option", "Conn=com:1:38400:N:8:1:0"}, 5000, {"MIV_COM1=" + pty->first()}));
        pty.reset(); // socat ends, and both ends with it
    } else {
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        QVERIFY(device.start({"--option", ClientOption(server.serverPort())}));
        QVERIFY(server.hasPendingConnections() || server.waitForNewConnection(3000));
        delete server.nextPendingConnection();
    }
    QVERIFY(device.waitForFinished(5000));
    QCOMPARE(device.exitCode(), 1);
    QVERIFY2(device.errorOutput().contains("has gone"), qPrintable(device.errorOutput()));
}

QTEST_GUILESS_MAIN(tst_KelPeer)
#include "tst_kelpeer.moc"
