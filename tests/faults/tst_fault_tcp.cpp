#include "EngineTestUtil.h"
#include "ProcessProbe.h"
#include "KelLink.h"
#include "MessageLog.h"
#include "MivEngine.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

#include <sys/socket.h>

namespace {

QString ClientWith(quint16 port, const QString &packet)
{
    return QStringLiteral("Conn=eth:127.0.0.1:%1,PacketOpt=%2,EtherOpt=0,Timeout=2000").arg(port).arg(packet);
}

QString ServerWith(const QString &packet, int idleSeconds = 900)
{
    return QStringLiteral("Conn=eth::0,PacketOpt=%1,EtherOpt=1:10:%2,Timeout=2000").arg(packet).arg(idleSeconds);
}

quint16 PortOf(const MivController *ctrl)
{
    return ctrl->localAddress().section(u':', -1).toUShort();
}

QString Address(quint16 port)
{
    return QStringLiteral("127.0.0.1:%1").arg(port);
}

// Sockets are closed from the event loop, and an in-process peer may still be accepting and
// closing the connections in its backlog: the count must stay down for a while, not touch it once.
bool DescriptorsBackTo(int baseline, int timeoutMs = 5000)
{
    constexpr int settleMs = 300;
    QDeadlineTimer deadline(timeoutMs);
    QElapsedTimer down;
    while (!deadline.hasExpired()) {
        if (OpenDescriptorCount() > baseline)
            down.invalidate();
        else if (!down.isValid())
            down.start();
        else if (down.elapsed() >= settleMs)
            return true;
        Pump(20);
    }
    return false;
}

// Accepts every connection, writes `bytes` to it and, when asked, closes it.
class RawPeer : public QObject
{
public:
    RawPeer(QByteArray bytes, bool closeAfterWrite) : m_bytes(std::move(bytes)), m_close(closeAfterWrite)
    {
        connect(&server, &QTcpServer::newConnection, this, &RawPeer::accept);
    }
    QTcpServer server;
    QList<QTcpSocket *> sockets;

private:
    void accept()
    {
        while (QTcpSocket *socket = server.nextPendingConnection()) {
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            socket->write(m_bytes);
            if (m_close)
                socket->disconnectFromHost();
            else
                sockets << socket;
        }
    }
    QByteArray m_bytes;
    bool m_close;
};

} // namespace

class tst_FaultTcp : public QObject
{
    Q_OBJECT
private slots:
    void connectCycles_data();
    void connectCycles();
    void peerClosesMidFrame_data();
    void peerClosesMidFrame();
    void garbageBetweenFrames_data();
    void garbageBetweenFrames();
    void slowReader();
    void halfOpenClientIsClosed_data();
    void halfOpenClientIsClosed();
};

void tst_FaultTcp::connectCycles_data()
{
    QTest::addColumn<bool>("server");
    QTest::newRow("client against kelpeer") << false;
    QTest::newRow("server with a raw client") << true;
}

void tst_FaultTcp::connectCycles()
{
    QFETCH(bool, server);
    KelPeerThread peer(ParseKelPeerArgs({"--option", ServerOption(10, 900)}).config);
    if (!server)
        QVERIFY2(peer.start(), qPrintable(peer.errorString()));
    MivEngine engine;
    MivCollection<MivController> &controllers = engine.Workspaces().Item(0)->Controllers();
    qint32 lastIndex = 0;

    auto cycle = [&] {
        MivController *ctrl = Connect(engine, server ? ServerWith(QStringLiteral("4:0:0:0"))
                                                     : ClientOption(peer.port()));
        QVERIFY(ctrl->Index() > lastIndex);
        lastIndex = ctrl->Index();
        if (server) {
            MessageLog log(ctrl);
            QTcpSocket client;
            client.connectToHost(QHostAddress::LocalHost, PortOf(ctrl));
            QVERIFY(client.waitForConnected(3000));
            QVERIFY(log.waitForKind(MivMessageKind::Connected, 1));
            controllers.Remove(ctrl->Index());
            QVERIFY(client.state() == QAbstractSocket::UnconnectedState || client.waitForDisconnected(3000));
        } else {
            controllers.Remove(ctrl->Index());
        }
    };

    cycle(); // the first one makes what Qt keeps for the process (event notifiers, DNS state)
    Pump(50);
    const int baseline = OpenDescriptorCount();
    for (int i = 0; i < 1000; ++i) {
        cycle();
        if (QTest::currentTestFailed())
            QFAIL(qPrintable(QStringLiteral("cycle %1 failed").arg(i)));
    }
    QCOMPARE(controllers.Count(), 0);
    QVERIFY2(DescriptorsBackTo(baseline),
             qPrintable(QStringLiteral("%1 descriptors open, %2 before").arg(OpenDescriptorCount()).arg(baseline)));
}

void tst_FaultTcp::peerClosesMidFrame_data()
{
    QTest::addColumn<bool>("server");
    QTest::addColumn<QString>("packet");
    QTest::addColumn<QByteArray>("partial");
    QTest::addColumn<int>("times");

    QTest::newRow("client, body without terminator") << false << "4:0:0:0" << QByteArray("0,8,HALF") << 1000;
    QTest::newRow("client, header and half a body") << false << "4:1:0:0" << QByteArray("\x05" "0,3,12") << 200;
    QTest::newRow("client, inside an escape") << false << "4:0:0:27" << QByteArray("AB\x1b") << 200;
    QTest::newRow("client, between CR and LF") << false << "4:0:2:0" << QByteArray("LINE\r") << 200;
    QTest::newRow("server, body without terminator") << true << "4:0:0:0" << QByteArray("GET:A:1") << 1000;
    QTest::newRow("server, inside an escape") << true << "4:1:0:27" << QByteArray("\x05PUT\x1b") << 200;
}

void tst_FaultTcp::peerClosesMidFrame()
{
    QFETCH(bool, server);
    QFETCH(QString, packet);
    QFETCH(QByteArray, partial);
    QFETCH(int, times);
    MivEngine engine;
    MivCollection<MivController> &controllers = engine.Workspaces().Item(0)->Controllers();
    int baseline = -1;

    if (server) {
        MivController *ctrl = Connect(engine, ServerWith(packet));
        MessageLog log(ctrl);
        for (int i = 0; i < times; ++i) {
            if (i == 1)
                baseline = OpenDescriptorCount();
            QTcpSocket client;
            client.connectToHost(QHostAddress::LocalHost, PortOf(ctrl));
            QVERIFY(client.waitForConnected(3000));
            const QString address = Address(client.localPort());
            client.write(partial);
            QVERIFY(client.waitForBytesWritten(3000));
            client.disconnectFromHost();
            QVERIFY2(log.waitForKind(MivMessageKind::Disconnected, i + 1), qPrintable(QStringLiteral("no close reported at %1").arg(i)));
            QCOMPARE(log.valuesOfKind(MivMessageKind::Disconnected).last(), address);
        }
        QCOMPARE(log.ofKind(MivMessageKind::Connected).size(), times);
        QCOMPARE(log.ofKind(MivMessageKind::Request).size(), 0);
        // Nothing of the cut frames carries over to the next client.
        QTcpSocket next;
        next.connectToHost(QHostAddress::LocalHost, PortOf(ctrl));
        QVERIFY(next.waitForConnected(3000));
        next.write(packet.section(u':', 1, 1) == "1" ? "\x05NEXT\r" : "NEXT\r");
        QVERIFY(log.waitForKind(MivMessageKind::Request, 1));
        QCOMPARE(log.valuesOfKind(MivMessageKind::Request), QStringList{"NEXT"});
        next.abort();
    } else {
        RawPeer peer(partial, true);
        QVERIFY(peer.server.listen(QHostAddress::LocalHost));
        for (int i = 0; i < times; ++i) {
            if (i == 1)
                baseline = OpenDescriptorCount();
            MivController *ctrl = Connect(engine, ClientWith(peer.server.serverPort(), packet));
            MessageLog log(ctrl);
            QVERIFY2(log.waitForKind(MivMessageKind::Disconnected, 1), qPrintable(QStringLiteral("no close reported at %1").arg(i)));
            QCOMPARE(log.valuesOfKind(MivMessageKind::Disconnected), QStringList{Address(peer.server.serverPort())});
            QCOMPARE(log.ofKind(MivMessageKind::Unsolicited).size(), 0);
            const auto closed = Failure([&] { ctrl->Execute(QStringLiteral("Send"), QStringLiteral("X")); });
            QVERIFY(closed && closed->code() == MivCode::NotConnected);
            controllers.Remove(ctrl->Index());
        }
    }
    QVERIFY2(DescriptorsBackTo(baseline),
             qPrintable(QStringLiteral("%1 descriptors open, %2 before").arg(OpenDescriptorCount()).arg(baseline)));
}

void tst_FaultTcp::garbageBetweenFrames_data()
{
    QTest::addColumn<bool>("garbageHasHeaders");
    QTest::newRow("garbage without header bytes") << false;
    QTest::newRow("garbage of every byte value") << true;
}

void tst_FaultTcp::garbageBetweenFrames()
{
    QFETCH(bool, garbageHasHeaders);
    QRandomGenerator random(20240229);
    const int frameCount = 300;
    const qsizetype garbageTotal = 1 << 20;
    static const char kText[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789 ,:;.-";

    QStringList frames;
    QByteArray stream;
    qsizetype garbageLeft = garbageTotal;
    for (int i = 0; i <= frameCount; ++i) {
        const qsizetype size = i == frameCount ? garbageLeft
                                               : qMin<qsizetype>(garbageLeft, random.bounded(2 * garbageTotal / frameCount));
        for (qsizetype n = 0; n < size; ++n) {
            char b = char(random.bounded(256));
            while (!garbageHasHeaders && b == 0x05)
                b = char(random.bounded(256));
            stream += b;
        }
        garbageLeft -= size;
        if (i == frameCount)
            break;
        QString body = QStringLiteral("VALID %1 ").arg(i);
        for (int n = int(random.bounded(80)); n > 0; --n)
            body += QLatin1Char(kText[random.bounded(int(sizeof kText) - 1)]);
        frames << body;
        stream += '\x05' + body.toUtf8() + '\r';
    }

    RawPeer peer(stream, false);
    QVERIFY(peer.server.listen(QHostAddress::LocalHost));
    MivEngine engine;
    MivController *ctrl = Connect(engine, ClientWith(peer.server.serverPort(), QStringLiteral("4:1:0:0")));
    MessageLog log(ctrl);
    QDeadlineTimer deadline(20000);
    while (!log.valuesOfKind(MivMessageKind::Unsolicited).contains(frames.last()) && !deadline.hasExpired())
        Pump(20);
    const QStringList got = log.valuesOfKind(MivMessageKind::Unsolicited);
    if (!garbageHasHeaders) {
        QCOMPARE(got, frames);
        QCOMPARE(log.ofKind(MivMessageKind::Error).size(), 0);
    } else {
        // Garbage may hold a header and a terminator, and so frames of its own; every valid
        // one still comes, whole and in order.
        qsizetype at = 0;
        for (const QString &frame : frames) {
            at = got.indexOf(frame, at);
            QVERIFY2(at >= 0, qPrintable(QStringLiteral("lost: %1").arg(frame)));
            ++at;
        }
    }
    QCOMPARE(log.ofKind(MivMessageKind::Disconnected).size(), 0);
}

void tst_FaultTcp::slowReader()
{
    QTcpServer sink;
    QVERIFY(sink.listen(QHostAddress::LocalHost));
    // A small receive window, inherited by the accepted socket, so that the kernel soon stops
    // taking bytes and the engine's own queue has to hold them.
    const int window = 4096;
    QCOMPARE(::setsockopt(int(sink.socketDescriptor()), SOL_SOCKET, SO_RCVBUF, &window, sizeof window), 0);
    MivEngine engine;
    MivController *ctrl = Connect(engine, ClientOption(sink.serverPort()));
    QVERIFY(sink.waitForNewConnection(3000));
    QTcpSocket *reader = sink.nextPendingConnection();
    reader->setReadBufferSize(1024);
    qint64 readBytes = 0;
    QTimer pace;
    pace.setInterval(100);
    connect(&pace, &QTimer::timeout, reader, [&] { readBytes += reader->read(100).size(); }); // 1 KB/s
    pace.start();

    QFile wmem(QStringLiteral("/proc/sys/net/ipv4/tcp_wmem"));
    const qint64 kernelSendMax = wmem.open(QIODevice::ReadOnly) ? wmem.readAll().simplified().split(' ').last().toLongLong()
                                                               : 4 << 20;
    const QString chunk(16 * 1024, u'x');
    const qint64 frameBytes = chunk.size() + 1;
    const qint64 rssStart = ResidentKb();
    qint64 accepted = 0;
    std::optional<MivError> refusal;
    while (!refusal && accepted < 64 * (1 << 20)) {
        refusal = Failure([&] { ctrl->Execute(QStringLiteral("Send"), chunk); });
        if (!refusal)
            accepted += frameBytes;
        QCoreApplication::processEvents();
    }
    QVERIFY2(refusal, "the queue took 64 MB for a peer that reads 1 KB/s");
    QCOMPARE(refusal->code(), MivCode::Fail);
    QVERIFY2(refusal->description().contains("Send refused") && refusal->description().contains("not reading")
                 && refusal->description().contains(Address(sink.serverPort())),
             qPrintable(refusal->description()));
    // What left this process is at most the kernel's buffers; the rest waits in the capped queue.
    QVERIFY2(accepted <= KelLink::kMaxQueued + 2 * kernelSendMax + 64 * 1024, qPrintable(QString::number(accepted)));

    // Going on sending for a while: the queue only takes what the reader has drained.
    const qint64 rssAtCap = ResidentKb();
    const qint64 readAtCap = readBytes;
    qint64 acceptedLater = 0;
    int refusedLater = 0;
    QDeadlineTimer twoSeconds(2000);
    while (!twoSeconds.hasExpired()) {
        const auto error = Failure([&] { ctrl->Execute(QStringLiteral("Send"), chunk); });
        if (error) {
            QVERIFY2(error->description().contains("Send refused"), qPrintable(error->description()));
            ++refusedLater;
        } else {
            acceptedLater += frameBytes;
        }
        Pump(10);
    }
    QVERIFY(refusedLater > 50);
    QVERIFY2(acceptedLater <= readBytes - readAtCap + frameBytes + 8 * 1024,
             qPrintable(QStringLiteral("%1 taken, %2 read").arg(acceptedLater).arg(readBytes - readAtCap)));
    QVERIFY(readBytes > 0);
    const qint64 rssEnd = ResidentKb();
    QVERIFY2(rssEnd - rssAtCap < 8 * 1024 && rssEnd - rssStart < 48 * 1024,
             qPrintable(QStringLiteral("VmRSS %1 kB at start, %2 at the cap, %3 at the end").arg(rssStart).arg(rssAtCap).arg(rssEnd)));
}

void tst_FaultTcp::halfOpenClientIsClosed_data()
{
    QTest::addColumn<QByteArray>("before"); // what the client sends before it goes silent
    QTest::addColumn<int>("requests");

    QTest::newRow("silent from the start") << QByteArray() << 0;
    QTest::newRow("after a whole frame") << QByteArray("START\r") << 1;
    QTest::newRow("in the middle of a frame") << QByteArray("GET:A:1:X:") << 0;
}

void tst_FaultTcp::halfOpenClientIsClosed()
{
    QFETCH(QByteArray, before);
    QFETCH(int, requests);
    MivEngine engine;
    MivController *ctrl = Connect(engine, ServerWith(QStringLiteral("4:0:0:0"), 1));
    MessageLog log(ctrl);
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, PortOf(ctrl));
    QVERIFY(client.waitForConnected(3000));
    const QString address = Address(client.localPort());
    QVERIFY(log.waitForKind(MivMessageKind::Connected, 1));
    if (!before.isEmpty()) {
        client.write(before);
        QVERIFY(client.waitForBytesWritten(3000));
    }
    QElapsedTimer silence;
    silence.start();
    QVERIFY(log.waitForKind(MivMessageKind::Disconnected, 1, 4000));
    const qint64 elapsed = silence.elapsed();
    QVERIFY2(elapsed >= 950 && elapsed <= 2000, qPrintable(QString::number(elapsed)));
    QCOMPARE(log.valuesOfKind(MivMessageKind::Disconnected), QStringList{address});
    QCOMPARE(log.ofKind(MivMessageKind::Request).size(), requests);
    QVERIFY(client.state() == QAbstractSocket::UnconnectedState || client.waitForDisconnected(2000));
}

QTEST_GUILESS_MAIN(tst_FaultTcp)
#include "tst_fault_tcp.moc"
