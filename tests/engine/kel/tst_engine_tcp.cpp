#include "EngineTestUtil.h"
#include "KelAnswer.h"
#include "LoopbackPort.h"
#include "MessageLog.h"
#include "MivConverter.h"
#include "MivEngine.h"
#include "ScriptedPeer.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <sys/socket.h>
#include <poll.h>

#include <atomic>
#include <thread>

Q_DECLARE_METATYPE(ScriptedPeer::Step)

namespace {

QStringList DeviceArgs(const QStringList &more = {})
{
    return QStringList{QStringLiteral("--option"), ServerOption()} + more;
}

QString LocalAddress(const QTcpSocket &socket)
{
    return QStringLiteral("127.0.0.1:%1").arg(socket.localPort());
}

// A peer that reads nothing until released, then reads all it gets and answers the frame
// that starts with GET.
class HeldPeer
{
public:
    explicit HeldPeer(QTcpServer &server) : m_server(server) {}
    ~HeldPeer()
    {
        m_stop = true;
        release();
        if (m_thread.joinable())
            m_thread.join();
    }
    bool accept()
    {
        QTcpSocket *socket = m_server.waitForNewConnection(3000) ? m_server.nextPendingConnection() : nullptr;
        if (!socket)
            return false;
        m_fd = ::dup(int(socket->socketDescriptor()));
        delete socket;
        m_thread = std::thread([this] { run(); });
        return true;
    }
    void release() { m_released = true; }

private:
    void run()
    {
        while (!m_released)
            std::this_thread::yield();
        QByteArray tail;
        char chunk[65536];
        pollfd readable = {m_fd, POLLIN, 0};
        while (!m_stop && ::poll(&readable, 1, 20) >= 0) {
            const ssize_t n = ::recv(m_fd, chunk, sizeof chunk, MSG_DONTWAIT);
            if (n == 0)
                break;
            tail = (tail + QByteArray(chunk, qMax<ssize_t>(0, n))).right(64);
            if (tail.endsWith("GET:A:1:X:\r")) {
                ::send(m_fd, "0,8,ok\r", 7, MSG_NOSIGNAL);
                tail.clear();
            }
        }
        ::close(m_fd);
    }

    QTcpServer &m_server;
    int m_fd = -1;
    std::atomic<bool> m_released{false};
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

} // namespace

class tst_EngineTcp : public QObject
{
    Q_OBJECT
private slots:
    void addControllerRefused_data();
    void addControllerRefused();
    void answerText_data();
    void answerText();
    void roundTrip_data();
    void roundTrip();
    void refusedRequest_data();
    void refusedRequest();
    void timeoutKeepsLateAnswerApart_data();
    void timeoutKeepsLateAnswerApart();
    void peerClosesDuringRequest_data();
    void peerClosesDuringRequest();
    void asyncSendAnswersAsMessages();
    void requestWaitingInTheEventLoop();
    void clearDropsQueuedAnswers();
    void sendQueueIsBounded();
    void requestBehindQueuedSendsGoesOut();
    void serverRefusesClientOverMaximum();
    void serverClosesIdleClient();
    void serverDropsPartialFrameOfVanishedClient();
    void replyAfterClientLeftFails();
    void serverAddressesLatestClient();
    void serverSynchronousCommandAndHostPeer();
    void removeInsideOnMessage_data();
    void removeInsideOnMessage();
    void indexesStayStable();
};

void tst_EngineTcp::addControllerRefused_data()
{
    QTest::addColumn<QString>("provider");
    QTest::addColumn<QString>("machine");
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("reason");

    // A port nobody listens on, and one somebody does.
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost));
    const quint16 closedPort = probe.serverPort();
    probe.close();
    static QTcpServer held;
    if (!held.isListening())
        QVERIFY(held.listen(QHostAddress::LocalHost));

    QTest::newRow("unknown provider") << "MivProv.XYZ" << "localhost" << ClientOption(closedPort)
                                      << "Unknown provider \"MivProv.XYZ\"";
    QTest::newRow("other machine") << "MivProv.KEL" << "plant7" << ClientOption(closedPort)
                                   << "only \"localhost\"";
    QTest::newRow("bad option") << "MivProv.KEL" << "localhost" << "Conn=eth:127.0.0.1:1,Timeout=soon"
                                << "Timeout";
    QTest::newRow("nobody listens") << "MivProv.KEL" << "localhost" << ClientOption(closedPort)
                                    << "Connection refused";
    QTest::newRow("port taken") << "MivProv.KEL" << "localhost"
                                << QStringLiteral("Conn=eth::%1,EtherOpt=1:10:900,MyIP=127.0.0.1")
                                       .arg(held.serverPort())
                                << "Cannot listen on 127.0.0.1:";
    QTest::newRow("bind address not local") << "MivProv.KEL" << "localhost"
                                            << ClientOption(closedPort) + ",MyIP=192.0.2.1"
                                            << "Cannot bind to 192.0.2.1:0";
}

void tst_EngineTcp::addControllerRefused()
{
    QFETCH(QString, provider);
    QFETCH(QString, machine);
    QFETCH(QString, option);
    QFETCH(QString, reason);
    MivEngine engine;
    MivWorkspace *ws = engine.Workspaces().Item(0);
    const auto error = Failure([&] { ws->AddController(QString(), provider, machine, option); });
    QVERIFY(error);
    QVERIFY2(error->description().contains(reason), qPrintable(error->description()));
    QCOMPARE(ws->Controllers().Count(), 0);
}

void tst_EngineTcp::answerText_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("fails");
    QTest::addColumn<QString>("expected"); // value text of the result, or part of the description

    QTest::newRow("code only") << "0" << false << "0";
    QTest::newRow("typed") << "0,3,100" << false << "3,100";
    QTest::newRow("text keeps commas") << "0,8,a,b" << false << "8,a,b";
    QTest::newRow("positive code is success") << "1,2,7" << false << "2,7";
    QTest::newRow("E_FAIL") << "-2147467259" << true << "E_FAIL (0x80004005)";
    QTest::newRow("negative with value") << "-2147024809,8,x" << true << "E_INVALIDARG (0x80070057)";
    QTest::newRow("unnamed code") << "-2147479552" << true << "0x80001000";
    QTest::newRow("no code") << "OK" << true << "Unreadable answer \"OK\"";
    QTest::newRow("empty") << "" << true << "Unreadable answer";
    QTest::newRow("code beyond 32 bits") << "-2147483649" << true << "Unreadable answer";
    QTest::newRow("bad value text") << "0,3,abc" << true << "abc";
}

void tst_EngineTcp::answerText()
{
    QFETCH(QString, answer);
    QFETCH(bool, fails);
    QFETCH(QString, expected);
    MivVariant value;
    const auto error = Failure([&] { value = KelAnswerValue(ParseKelAnswer(answer), QStringLiteral("REQ")); });
    QCOMPARE(bool(error), fails);
    if (fails)
        QVERIFY2(error->description().contains(expected), qPrintable(error->description()));
    else
        QCOMPARE(MivConverter().ValueToText(value), expected);
}

void tst_EngineTcp::roundTrip_data()
{
    QTest::addColumn<bool>("inProcess");
    QTest::addColumn<QString>("valueText");

    QTest::newRow("in-process, I4") << true << "3,100";
    QTest::newRow("in-process, text with commas and colons") << true << "8,a,b:c";
    QTest::newRow("process, R8") << false << "5,2.5";
    QTest::newRow("process, date") << false << "7,2024-02-29 13:45:10";
}

void tst_EngineTcp::roundTrip()
{
    QFETCH(bool, inProcess);
    QFETCH(QString, valueText);
    if (!inProcess && PeerProcess::program().isEmpty())
        QSKIP("KELPEER is not set");
    Device device;
    QVERIFY2(device.start(inProcess, DeviceArgs()), qPrintable(device.errorString()));
    MivEngine engine;
    MivController *ctrl = Connect(engine, ClientOption(device.port()));
    const MivVariant value = MivConverter().TextToValue(valueText);

    MivVariable *var = ctrl->AddVariable(QStringLiteral("A:1:X"), QString());
    QVERIFY(var->Value().isEmpty()); // never written: "0,0"
    var->setValue(value);
    QCOMPARE(var->Value(), value);

    MivCommand *cmd = ctrl->AddCommand(QStringLiteral("KELCmd"), QString());
    cmd->setParameters({"GET", "A", "1", "X", ""});
    cmd->Execute(0);
    QCOMPARE(cmd->Result(), value);
    cmd->setParameters({"START", "", "", "", ""});
    cmd->Execute(0);
    QVERIFY(cmd->Result().isEmpty());
}

void tst_EngineTcp::refusedRequest_data()
{
    QTest::addColumn<QStringList>("peerArgs");
    QTest::addColumn<QStringList>("parameters");
    QTest::addColumn<qint32>("code");
    QTest::addColumn<QString>("name");

    QTest::newRow("refused PUT") << QStringList{"--fail", "PUT"} << QStringList{"PUT", "A", "1", "X", "3,1"}
                                 << MivCode::Fail << "E_FAIL (0x80004005)";
    QTest::newRow("unknown request") << QStringList{} << QStringList{"HELLO", "", "", "", ""}
                                     << MivCode::NotImpl << "E_NOTIMPL (0x80004001)";
    QTest::newRow("bad value text") << QStringList{} << QStringList{"PUT", "A", "1", "X", "3,abc"}
                                    << MivCode::InvalidArg << "E_INVALIDARG (0x80070057)";
}

void tst_EngineTcp::refusedRequest()
{
    QFETCH(QStringList, peerArgs);
    QFETCH(QStringList, parameters);
    QFETCH(qint32, code);
    QFETCH(QString, name);
    Device device;
    QVERIFY2(device.start(true, DeviceArgs(peerArgs)), qPrintable(device.errorString()));
    MivEngine engine;
    MivController *ctrl = Connect(engine, ClientOption(device.port()));
    MivCommand *cmd = ctrl->AddCommand(QStringLiteral("KELCmd"), QString());
    cmd->setParameters(parameters);
    const auto error = Failure([&] { cmd->Execute(0); });
    QVERIFY(error);
    QCOMPARE(error->code(), code);
    QVERIFY2(error->description().contains(name), qPrintable(error->description()));
    // The connection stays usable.
    cmd->setParameters({"STOP", "", "", "", ""});
    cmd->Execute(0);
}

void tst_EngineTcp::timeoutKeepsLateAnswerApart_data()
{
    QTest::addColumn<int>("firstDelay");
    QTest::addColumn<QByteArray>("firstAnswer");
    QTest::addColumn<int>("pauseMs"); // before the second request, with the event loop running
    QTest::addColumn<QStringList>("late");

    // The late answer arrives while the second request waits (Timeout 200 ms): it must not
    // answer it.
    QTest::newRow("late answer") << 300 << QByteArray("0,8,first") << 0 << QStringList{"0,8,first"};
    // A peer that never answers: the owed answer expires, the next request is not poisoned.
    QTest::newRow("never answered") << 0 << QByteArray("-") << 500 << QStringList{};
}

void tst_EngineTcp::timeoutKeepsLateAnswerApart()
{
    QFETCH(int, firstDelay);
    QFETCH(QByteArray, firstAnswer);
    QFETCH(int, pauseMs);
    QFETCH(QStringList, late);
    constexpr int timeoutMs = 200;
    ScriptedPeer peer;
    QVERIFY(peer.start({{firstDelay, firstAnswer}, {0, "0,8,second"}}));
    MivEngine engine;
    MivController *ctrl = Connect(engine, ClientOption(peer.port(), timeoutMs));
    MessageLog log(ctrl);
    MivCommand *cmd = ctrl->AddCommand(QStringLiteral("KELCmd"), QString());
    cmd->setParameters({"GET", "A", "1", "X", ""});

    QElapsedTimer clock;
    clock.start();
    const auto error = Failure([&] { cmd->Execute(0); });
    const qint64 elapsed = clock.elapsed();
    QVERIFY(error);
    QCOMPARE(error->code(), MivCode::Timeout);
    QCOMPARE(error->description(), QStringLiteral("Timeout: no answer within 200 ms"));
    QVERIFY2(elapsed >= timeoutMs - 5 && elapsed < timeoutMs + 400, qPrintable(QString::number(elapsed)));

    Pump(pauseMs);
    cmd->Execute(0);
    QCOMPARE(cmd->Result(), MivVariant(QStringLiteral("second")));
    Pump(100);
    QCOMPARE(log.valuesOfKind(MivMessageKind::Unsolicited), late);
}

// A request left to the event loop gets its own answer as transactDone, not as a message, also
// when a synchronous request comes while it waits: that one waits it out and gets the next.
void tst_EngineTcp::requestWaitingInTheEventLoop()
{
    ScriptedPeer peer;
    QVERIFY(peer.start({{50, "0,8,first"}, {0, "0,8,second"}}));
    MivEngine engine;
    MivController *ctrl = Connect(engine, ClientOption(peer.port()));
    MessageLog log(ctrl);
    QSignalSpy done(ctrl, &MivController::transactDone);
    ctrl->startTransact(QStringLiteral("GET:A:1:X:"));
    QCOMPARE(ctrl->transact(QStringLiteral("GET:B:1:X:")), QStringLiteral("0,8,second"));
    QVERIFY(done.wait());
    QCOMPARE(done.constFirst(), (QVariantList{QStringLiteral("0,8,first"), 0, QString()}));
    Pump(100);
    QCOMPARE(done.size(), 1);
    QVERIFY(log.valuesOfKind(MivMessageKind::Unsolicited).isEmpty());
}

void tst_EngineTcp::peerClosesDuringRequest_data()
{
    QTest::addColumn<bool>("server");   // the engine accepts the peer's connection
    QTest::addColumn<QList<ScriptedPeer::Step>>("steps");
    QTest::addColumn<bool>("variable"); // a variable read, else Execute(0)
    QTest::addColumn<QString>("lost");  // what the description says of a partial answer

    const QList<ScriptedPeer::Step> beforeAnswer{{50, "!"}};
    const QList<ScriptedPeer::Step> midAnswer{{0, "0,8,hal!"}};
    QTest::newRow("command, before the answer") << false << beforeAnswer << false << "";
    QTest::newRow("command, in the middle of the answer") << false << midAnswer << false << "7 bytes";
    QTest::newRow("command, right after accepting") << false << QList<ScriptedPeer::Step>{} << false << "";
    QTest::newRow("variable, in the middle of the answer") << false << midAnswer << true << "7 bytes";
    QTest::newRow("variable, right after accepting") << false << QList<ScriptedPeer::Step>{} << true << "";
    QTest::newRow("server, command, in the middle of the answer") << true << midAnswer << false << "7 bytes";
    QTest::newRow("server, variable, before the answer") << true << beforeAnswer << true << "";
}

void tst_EngineTcp::peerClosesDuringRequest()
{
    QFETCH(bool, server);
    QFETCH(QList<ScriptedPeer::Step>, steps);
    QFETCH(bool, variable);
    QFETCH(QString, lost);
    ScriptedPeer peer;
    MivEngine engine;
    MivController *ctrl = nullptr;
    if (server) {
        ctrl = Connect(engine, ServerOption(10, 900, 3000));
        QVERIFY(peer.connectTo(ctrl->localAddress().section(':', -1).toUShort(), steps));
    } else {
        QVERIFY(peer.start(steps));
        ctrl = Connect(engine, ClientOption(peer.port(), 3000));
    }
    MessageLog log(ctrl);
    if (server)
        QVERIFY(log.waitForKind(MivMessageKind::Connected, 1));
    MivCommand *cmd = ctrl->AddCommand(QStringLiteral("KELCmd"), QString());
    cmd->setParameters({"START", "", "", "", ""});
    MivVariable *var = ctrl->AddVariable(QStringLiteral("A:1:X"), QString());
    QElapsedTimer clock;
    clock.start();
    const auto error = Failure([&] {
        if (variable)
            var->Value();
        else
            cmd->Execute(0);
    });
    QVERIFY(error);
    QCOMPARE(error->code(), MivCode::NotConnected);
    QVERIFY2(error->description().contains("closed before the answer"), qPrintable(error->description()));
    QVERIFY2(error->description().contains("peer") && error->description().contains(lost),
             qPrintable(error->description()));
    QVERIFY(clock.elapsed() < 2500); // not left to the Timeout
    QVERIFY(log.waitForKind(MivMessageKind::Disconnected, 1));
    const auto gone = Failure([&] { ctrl->Execute(QStringLiteral("Send"), QStringLiteral("START")); });
    QVERIFY(gone && gone->code() == MivCode::NotConnected);
}

void tst_EngineTcp::asyncSendAnswersAsMessages()
{
    Device device;
    QVERIFY2(device.start(true, DeviceArgs()), qPrintable(device.errorString()));
    MivEngine engine;
    MivController *ctrl = Connect(engine, ClientOption(device.port()));
    MessageLog log(ctrl);
    ctrl->Execute(QStringLiteral("Send"), QStringLiteral("PUT:A:1:X:3,7"));
    ctrl->Execute(QStringLiteral("Send"), QStringLiteral("GET:A:1:X:"));
    MivCommand *cmd = ctrl->AddCommand(QStringLiteral("KELCmd"), QString());
    cmd->setParameters({"STOP", "", "", "", ""});
    cmd->Execute(1);
    QVERIFY(cmd->Result().isEmpty());
    QVERIFY(log.waitForKind(MivMessageKind::Unsolicited, 3));
    QCOMPARE(log.valuesOfKind(MivMessageKind::Unsolicited), (QStringList{"0", "0,3,7", "0"}));
    QCOMPARE(log.ofKind(MivMessageKind::Connected).size(), 1);
    QCOMPARE(log.ofKind(MivMessageKind::Connected).first().Value(), MivVariant(device.address().replace("0.0.0.0", "127.0.0.1")));

    const auto notText = Failure([&] { ctrl->Execute(QStringLiteral("Send"), qint32(5)); });
    QVERIFY(notText);
    QCOMPARE(notText->code(), MivCode::TypeMismatch);
    QVERIFY(notText->description().contains("VT_I4"));
    const auto unknown = Failure([&] { ctrl->Execute(QStringLiteral("Reboot")); });
    QVERIFY(unknown);
    QVERIFY(unknown->description().contains("Unknown command \"Reboot\""));
    QVERIFY(Failure([&] { cmd->Execute(2); }));
}

void tst_EngineTcp::clearDropsQueuedAnswers()
{
    Device device;
    QVERIFY2(device.start(true, DeviceArgs()), qPrintable(device.errorString()));
    MivEngine engine;
    MivController *ctrl = Connect(engine, ClientOption(device.port()));
    MessageLog log(ctrl);
    QVERIFY(log.waitForKind(MivMessageKind::Connected, 1));
    ctrl->Execute(QStringLiteral("Send"), QStringLiteral("START"));
    ctrl->Execute(QStringLiteral("Send"), QStringLiteral("STOP"));
    QThread::msleep(200); // the answers are here, unread
    ctrl->Execute(QStringLiteral("Clear"));
    Pump(200);
    QCOMPARE(log.ofKind(MivMessageKind::Unsolicited).size(), 0);
    MivVariable *var = ctrl->AddVariable(QStringLiteral("B:2:Y"), QString());
    var->setValue(qint32(9));
    QCOMPARE(var->Value(), MivVariant(qint32(9)));
}

void tst_EngineTcp::sendQueueIsBounded()
{
    QTcpServer sink; // accepts in the kernel and never reads
    QVERIFY(sink.listen(QHostAddress::LocalHost));
    MivEngine engine;
    MivController *ctrl = Connect(engine, ClientOption(sink.serverPort()));
    const QString chunk(60000, u'x');
    std::optional<MivError> error;
    for (int i = 0; i < 2000 && !error; ++i)
        error = Failure([&] { ctrl->Execute(QStringLiteral("Send"), chunk); });
    QVERIFY(error);
    QCOMPARE(error->code(), MivCode::Fail);
    QVERIFY2(error->description().contains("Send refused"), qPrintable(error->description()));
}

// A synchronous request queued behind sends the system could not take yet goes out while its
// answer is waited for.
void tst_EngineTcp::requestBehindQueuedSendsGoesOut()
{
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    MivEngine engine;
    MivController *ctrl = Connect(engine, ClientOption(server.serverPort(), 5000));
    HeldPeer peer(server);
    QVERIFY(peer.accept());
    const QString chunk(60000, u'x');
    std::optional<MivError> refused;
    for (int i = 0; i < 2000 && !refused; ++i)
        refused = Failure([&] { ctrl->Execute(QStringLiteral("Send"), chunk); });
    QVERIFY(refused); // the system's buffers are full and the send queue nearly so
    MivCommand *cmd = ctrl->AddCommand(QStringLiteral("KELCmd"), QString());
    cmd->setParameters({"GET", "A", "1", "X", ""});
    peer.release();
    cmd->Execute(0);
    QCOMPARE(cmd->Result(), MivVariant(QStringLiteral("ok")));
}

void tst_EngineTcp::serverRefusesClientOverMaximum()
{
    MivEngine engine;
    MivController *ctrl = Connect(engine, ServerOption(10));
    MessageLog log(ctrl);
    log.onMessage = [](const MivMessage &m) {
        if (m.Kind() == MivMessageKind::Request)
            m.Reply(QStringLiteral("0,8,") + m.Value().bstr());
    };
    const quint16 port = ctrl->localAddress().section(':', -1).toUShort();
    std::vector<std::unique_ptr<QTcpSocket>> clients;
    QString extraAddress;
    for (int i = 0; i < 11; ++i) {
        clients.push_back(std::make_unique<QTcpSocket>());
        clients.back()->connectToHost(QHostAddress::LocalHost, port);
        QVERIFY(clients.back()->waitForConnected(3000));
        extraAddress = LocalAddress(*clients.back());
        QVERIFY(log.waitForKind(i < 10 ? MivMessageKind::Connected : MivMessageKind::Error, i < 10 ? i + 1 : 1));
    }
    QTcpSocket &extra = *clients.back();
    QCOMPARE(log.valuesOfKind(MivMessageKind::Error).size(), 1);
    const QString refusal = log.valuesOfKind(MivMessageKind::Error).first();
    QVERIFY2(refusal.contains(extraAddress), qPrintable(refusal));
    QVERIFY(extra.state() == QAbstractSocket::UnconnectedState || extra.waitForDisconnected(3000));

    for (int i = 0; i < 10; ++i)
        clients[i]->write(QByteArray("REQ") + QByteArray::number(i) + '\r');
    QVERIFY(log.waitForKind(MivMessageKind::Request, 10));
    for (int i = 0; i < 10; ++i)
        QCOMPARE(ReadFrame(*clients[i]), QByteArray("0,8,REQ") + QByteArray::number(i));
    QCOMPARE(log.ofKind(MivMessageKind::Disconnected).size(), 0);
}

void tst_EngineTcp::serverClosesIdleClient()
{
    // The idle limit is 1 s: pings sent in its first half are surely taken before the silent
    // client can be closed, so the close must come after every one of them.
    constexpr qint64 kSurelyBeforeIdleMs = 500;
    MivEngine engine;
    MivController *ctrl = Connect(engine, ServerOption(10, 1));
    MessageLog log(ctrl);
    const quint16 port = ctrl->localAddress().section(':', -1).toUShort();
    QTcpSocket silent;
    QTcpSocket talker;
    QElapsedTimer clock;
    clock.start();
    silent.connectToHost(QHostAddress::LocalHost, port);
    talker.connectToHost(QHostAddress::LocalHost, port);
    QVERIFY(silent.waitForConnected(3000) && talker.waitForConnected(3000));
    const QString silentAddress = LocalAddress(silent);
    qsizetype earlyPings = 0;
    QDeadlineTimer deadline(10000);
    while (log.ofKind(MivMessageKind::Disconnected).isEmpty() && !deadline.hasExpired()) {
        const bool early = clock.elapsed() < kSurelyBeforeIdleMs;
        talker.write("PING\r");
        earlyPings += early ? 1 : 0;
        Pump(100);
    }
    QCOMPARE(log.valuesOfKind(MivMessageKind::Disconnected), QStringList{silentAddress});
    QVERIFY(earlyPings > 0);
    qsizetype pingsBeforeClose = 0;
    for (const MivMessage &m : std::as_const(log.messages)) {
        if (m.Kind() == MivMessageKind::Disconnected)
            break;
        pingsBeforeClose += m.Kind() == MivMessageKind::Request ? 1 : 0;
    }
    QVERIFY2(pingsBeforeClose >= earlyPings, qPrintable(QStringLiteral("%1 of %2").arg(pingsBeforeClose).arg(earlyPings)));
    QVERIFY(silent.state() == QAbstractSocket::UnconnectedState || silent.waitForDisconnected(2000));
    QCOMPARE(talker.state(), QAbstractSocket::ConnectedState);
}

void tst_EngineTcp::serverDropsPartialFrameOfVanishedClient()
{
    MivEngine engine;
    MivController *ctrl = Connect(engine, ServerOption());
    MessageLog log(ctrl);
    const quint16 port = ctrl->localAddress().section(':', -1).toUShort();
    QTcpSocket first;
    first.connectToHost(QHostAddress::LocalHost, port);
    QVERIFY(first.waitForConnected(3000));
    const QString firstAddress = LocalAddress(first);
    first.write("WHOLE\rPART");
    QVERIFY(first.waitForBytesWritten(3000));
    QVERIFY(log.waitForKind(MivMessageKind::Request, 1));
    first.abort();
    QVERIFY(log.waitForKind(MivMessageKind::Disconnected, 1));
    QCOMPARE(log.valuesOfKind(MivMessageKind::Disconnected), QStringList{firstAddress});

    QTcpSocket second;
    second.connectToHost(QHostAddress::LocalHost, port);
    QVERIFY(second.waitForConnected(3000));
    second.write("NEXT\r");
    QVERIFY(log.waitForKind(MivMessageKind::Request, 2));
    QCOMPARE(log.valuesOfKind(MivMessageKind::Request), (QStringList{"WHOLE", "NEXT"}));
}

void tst_EngineTcp::replyAfterClientLeftFails()
{
    MivEngine engine;
    MivController *ctrl = Connect(engine, ServerOption());
    MessageLog log(ctrl);
    const quint16 port = ctrl->localAddress().section(':', -1).toUShort();
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, port);
    QVERIFY(client.waitForConnected(3000));
    client.write("GET:A:1:X:\r");
    QVERIFY(log.waitForKind(MivMessageKind::Request, 1));
    const MivMessage request = log.ofKind(MivMessageKind::Request).first();
    client.abort();
    QVERIFY(log.waitForKind(MivMessageKind::Disconnected, 1));
    const auto error = Failure([&] { request.Reply(QStringLiteral("0")); });
    QVERIFY(error);
    QCOMPARE(error->code(), MivCode::NotConnected);
    QVERIFY2(error->description().contains("has closed"), qPrintable(error->description()));
    const auto notText = Failure([&] { request.Reply(MivVariant(true)); });
    QVERIFY(notText && notText->code() == MivCode::TypeMismatch);
    // Messages without a connection behind them cannot be answered either.
    QVERIFY(Failure([&] { log.ofKind(MivMessageKind::Disconnected).first().Reply(QStringLiteral("0")); }));
}

void tst_EngineTcp::serverAddressesLatestClient()
{
    MivEngine engine;
    MivController *ctrl = Connect(engine, ServerOption());
    MessageLog log(ctrl);
    const auto none = Failure([&] { ctrl->Execute(QStringLiteral("Send"), QStringLiteral("HI")); });
    QVERIFY(none);
    QCOMPARE(none->description(), QStringLiteral("No client is connected"));
    MivCommand *cmd = ctrl->AddCommand(QStringLiteral("KELCmd"), QString());
    cmd->setParameters({"START", "", "", "", ""});
    QCOMPARE(Failure([&] { cmd->Execute(0); })->description(), QStringLiteral("No client is connected"));

    const quint16 port = ctrl->localAddress().section(':', -1).toUShort();
    QTcpSocket a;
    QTcpSocket b;
    a.connectToHost(QHostAddress::LocalHost, port);
    QVERIFY(a.waitForConnected(3000));
    QVERIFY(log.waitForKind(MivMessageKind::Connected, 1));
    b.connectToHost(QHostAddress::LocalHost, port);
    QVERIFY(b.waitForConnected(3000));
    QVERIFY(log.waitForKind(MivMessageKind::Connected, 2));
    ctrl->Execute(QStringLiteral("Send"), QStringLiteral("TO-LATEST-CONNECTED"));
    QCOMPARE(ReadFrame(b), QByteArray("TO-LATEST-CONNECTED"));
    a.write("FROM-A\r");
    QVERIFY(log.waitForKind(MivMessageKind::Request, 1));
    ctrl->Execute(QStringLiteral("Send"), QStringLiteral("TO-LATEST-SENDER"));
    QCOMPARE(ReadFrame(a), QByteArray("TO-LATEST-SENDER"));
    QCOMPARE(b.bytesAvailable(), 0);
}

void tst_EngineTcp::serverSynchronousCommandAndHostPeer()
{
    if (PeerProcess::program().isEmpty())
        QSKIP("KELPEER is not set");
    MivEngine engine;
    MivController *ctrl = Connect(engine, ServerOption());
    MessageLog log(ctrl);
    const quint16 port = ctrl->localAddress().section(':', -1).toUShort();

    // A device that connects to this server and answers what it is sent.
    PeerProcess device;
    QVERIFY(device.start({"--option", ClientOption(port)}));
    QVERIFY(log.waitForKind(MivMessageKind::Connected, 1));
    MivVariable *var = ctrl->AddVariable(QStringLiteral("P:3:Q"), QString());
    var->setValue(QStringLiteral("hello, world"));
    QCOMPARE(var->Value(), MivVariant(QStringLiteral("hello, world")));
    device.stop();
    QVERIFY(log.waitForKind(MivMessageKind::Disconnected, 1));

    // A host that sends requests; this side answers each one with Reply.
    log.onMessage = [](const MivMessage &m) {
        if (m.Kind() == MivMessageKind::Request)
            m.Reply(QStringLiteral("0,3,5"));
    };
    PeerProcess host;
    QVERIFY(host.start({"--option", ClientOption(port), "--send", "GET:A:1:X:", "--count", "3"}));
    QVERIFY(host.waitForFinished(5000));
    QVERIFY2(host.exitCode() == 0, qPrintable(host.errorOutput()));
    QCOMPARE(host.answers(), (QStringList{"0,3,5", "0,3,5", "0,3,5"}));
    QCOMPARE(log.valuesOfKind(MivMessageKind::Request), (QStringList{"GET:A:1:X:", "GET:A:1:X:", "GET:A:1:X:"}));
}

void tst_EngineTcp::removeInsideOnMessage_data()
{
    QTest::addColumn<bool>("nested");
    QTest::newRow("from the slot") << false;
    QTest::newRow("from a nested event loop") << true;
}

void tst_EngineTcp::removeInsideOnMessage()
{
    QFETCH(bool, nested);
    Device device;
    QVERIFY2(device.start(true, DeviceArgs()), qPrintable(device.errorString()));
    MivEngine engine;
    MivWorkspace *ws = engine.Workspaces().Item(0);
    MivController *ctrl = Connect(engine, ClientOption(device.port()));
    const qint32 index = ctrl->Index();
    MessageLog log(ctrl);
    QVERIFY(log.waitForKind(MivMessageKind::Connected, 1));
    int depth = 0;
    int maxDepth = 0;
    log.onMessage = [&](const MivMessage &m) {
        maxDepth = qMax(maxDepth, ++depth);
        if (m.Kind() == MivMessageKind::Unsolicited && ws->Controllers().Count() > 0) {
            if (nested) {
                // As a message box would: the user disconnects while it is open.
                QEventLoop loop;
                QTimer::singleShot(50, &loop, [&] {
                    ws->Controllers().Remove(index);
                    loop.quit();
                });
                loop.exec();
            } else {
                ws->Controllers().Remove(index);
            }
        }
        --depth;
    };
    for (int i = 0; i < 5; ++i)
        ctrl->Execute(QStringLiteral("Send"), QStringLiteral("START"));
    QVERIFY(log.waitForKind(MivMessageKind::Unsolicited, 1));
    Pump(200);
    QCOMPARE(ws->Controllers().Count(), 0);
    QCOMPARE(log.ofKind(MivMessageKind::Unsolicited).size(), 1);
    QCOMPARE(maxDepth, 1);
    // The message outlives its controller; answering it fails cleanly.
    QVERIFY(Failure([&] { log.ofKind(MivMessageKind::Unsolicited).first().Reply(QStringLiteral("0")); }));
}

void tst_EngineTcp::indexesStayStable()
{
    Device device;
    QVERIFY2(device.start(true, DeviceArgs()), qPrintable(device.errorString()));
    MivEngine engine;
    MivWorkspace *ws = engine.Workspaces().Item(0);
    QList<qint32> indexes;
    for (int i = 0; i < 3; ++i)
        indexes << Connect(engine, ClientOption(device.port()))->Index();
    ws->Controllers().Remove(indexes[1]);
    QCOMPARE(ws->Controllers().Count(), 2);
    QVERIFY(Failure([&] { ws->Controllers().Item(indexes[1]); }));
    for (qint32 index : {indexes[0], indexes[2]}) {
        MivController *ctrl = ws->Controllers().Item(index);
        QCOMPARE(ctrl->Index(), index);
        MivVariable *var = ctrl->AddVariable(QStringLiteral("A:1:X"), QString());
        var->setValue(index);
        QCOMPARE(var->Value(), MivVariant(index));
    }
    QVERIFY(Connect(engine, ClientOption(device.port()))->Index() > indexes[2]);
    QVERIFY(Failure([&] { engine.Workspaces().Item(1); }));
}

QTEST_GUILESS_MAIN(tst_EngineTcp)
#include "tst_engine_tcp.moc"
