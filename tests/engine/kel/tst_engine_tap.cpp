#include "EngineTestUtil.h"
#include "MessageLog.h"
#include "MivTap.h"
#include "PtyPair.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

namespace {

// Keeps what the tap is shown.
class TapLog : public MivTap
{
public:
    QList<MivTapFrame> frames;
    QList<MivTapEvent> events;

    void tapFrame(const MivTapFrame &frame) override { frames << frame; }
    void tapEvent(const MivTapEvent &event) override { events << event; }

    QList<MivTapEventKind> kinds() const
    {
        QList<MivTapEventKind> found;
        for (const MivTapEvent &e : events)
            found << e.kind;
        return found;
    }
    bool waitForFrames(qsizetype count)
    {
        QDeadlineTimer deadline(3000);
        while (frames.size() < count && !deadline.hasExpired())
            Pump(10);
        return frames.size() >= count;
    }
    bool waitForEvents(qsizetype count)
    {
        QDeadlineTimer deadline(5000);
        while (events.size() < count && !deadline.hasExpired())
            Pump(10);
        return events.size() >= count;
    }
};

// A raw TCP peer on loopback that the engine connects to as a client.
struct RawPeer
{
    QTcpServer server;
    QTcpSocket *socket = nullptr;

    bool listen() { return server.listen(QHostAddress::LocalHost, 0); }
    bool accept()
    {
        if (!server.waitForNewConnection(3000))
            return false;
        socket = server.nextPendingConnection();
        return socket;
    }
    QByteArray read(qsizetype size)
    {
        QByteArray got;
        QDeadlineTimer deadline(3000);
        while (got.size() < size && !deadline.hasExpired()) {
            if (socket->bytesAvailable() == 0)
                socket->waitForReadyRead(10);
            got += socket->read(size - got.size());
        }
        return got;
    }
};

QString PeerOf(const QTcpServer &server)
{
    return QStringLiteral("127.0.0.1:%1").arg(server.serverPort());
}

} // namespace

class tst_EngineTap : public QObject
{
    Q_OBJECT
private slots:
    void wireBytes_data();
    void wireBytes();
    void events_data();
    void events();
    void lateListenerOfAGoneLink();
};

void tst_EngineTap::wireBytes_data()
{
    QTest::addColumn<QString>("packet"); // PacketOpt
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("wire");
    QTest::newRow("ENQ header, CR") << "4:1:0:0" << "GET:A" << QByteArray("\x05GET:A\r");
    QTest::newRow("CR LF") << "4:0:2:0" << "GET:A" << QByteArray("GET:A\r\n");
    QTest::newRow("escape") << "4:0:0:92" << "a\rb\\" << QByteArray("a\\\rb\\\\\r");
    QTest::newRow("ISO parity") << "1:0:0:0" << "AC" << QByteArray("\x41\xc3\x8d");
    QTest::newRow("EIA code") << "2:0:0:0" << "A1" << QByteArray("\x61\x01\x80");
}

// What goes out is what the peer reads, and what the peer sends back comes in byte for byte.
void tst_EngineTap::wireBytes()
{
    QFETCH(QString, packet);
    QFETCH(QString, text);
    QFETCH(QByteArray, wire);
    RawPeer peer;
    QVERIFY(peer.listen());
    MivEngine engine;
    MivController *ctrl = Connect(engine, QStringLiteral("Conn=eth:127.0.0.1:%1,PacketOpt=%2,EtherOpt=0,Timeout=2000")
                                              .arg(peer.server.serverPort())
                                              .arg(packet));
    QVERIFY(peer.accept());
    TapLog tap;
    ctrl->setTap(&tap);
    MessageLog log(ctrl);

    ctrl->Execute(QStringLiteral("Send"), text);
    QCOMPARE(tap.frames.size(), 1);
    QCOMPARE(peer.read(wire.size()), wire);
    QCOMPARE(tap.frames[0].wire, wire);
    QCOMPARE(tap.frames[0].text, text);
    QVERIFY(!tap.frames[0].incoming);

    peer.socket->write(wire);
    QVERIFY(tap.waitForFrames(2));
    QCOMPARE(tap.frames[1].wire, wire);
    QCOMPARE(tap.frames[1].text, text);
    QVERIFY(tap.frames[1].incoming);
    QCOMPARE(tap.frames[1].peer, PeerOf(peer.server));
    QVERIFY(tap.frames[1].at.steady >= tap.frames[0].at.steady);
    // The tap only watches: the frame is still delivered.
    QVERIFY(log.waitForKind(MivMessageKind::Unsolicited, 1));
    QCOMPARE(log.valuesOfKind(MivMessageKind::Unsolicited), QStringList{text});
    ctrl->setTap(nullptr);
}

void tst_EngineTap::events_data()
{
    QTest::addColumn<bool>("serial");
    QTest::addColumn<bool>("peerEnds");
    QTest::addColumn<QString>("reason"); // of the last event
    QTest::newRow("TCP, the peer closes") << false << true << "the peer closed it";
    QTest::newRow("TCP, closed here") << false << false << "closed at this end";
    QTest::newRow("pseudo-terminal closes") << true << true << "the device went away";
}

// A new listener hears what is open; then connections end as they do.
void tst_EngineTap::events()
{
    QFETCH(bool, serial);
    QFETCH(bool, peerEnds);
    QFETCH(QString, reason);
    RawPeer peer;
    std::unique_ptr<PtyPair> pty;
    QString option;
    QString peerName;
    if (serial) {
        pty = std::make_unique<PtyPair>();
        QVERIFY2(pty->start(), qPrintable(pty->errorString()));
        qputenv("MIV_COM9", pty->first().toUtf8());
        option = QStringLiteral("Conn=com:9:38400:N:8:1:0,PacketOpt=4:0:0:0,Timeout=1000");
        peerName = pty->first();
    } else {
        QVERIFY(peer.listen());
        option = ClientOption(peer.server.serverPort());
        peerName = PeerOf(peer.server);
    }
    MivEngine engine;
    MivController *ctrl = Connect(engine, option);
    if (!serial)
        QVERIFY(peer.accept());
    TapLog tap;
    ctrl->setTap(&tap);
    QCOMPARE(tap.kinds(), (QList{MivTapEventKind::Opened, MivTapEventKind::Connected}));
    QCOMPARE(tap.events[0].peer, ctrl->localAddress());
    QCOMPARE(tap.events[0].text, option);
    QCOMPARE(tap.events[0].target, peerName);
    QCOMPARE(tap.events[1].peer, peerName);
    QCOMPARE(tap.events[1].role, serial ? MivLinkRole::Serial : MivLinkRole::Client);

    QList<MivTapEventKind> expected = tap.kinds();
    if (peerEnds) {
        if (serial)
            pty.reset();
        else
            peer.socket->close();
        QVERIFY(tap.waitForEvents(3));
        expected << MivTapEventKind::Disconnected;
        QCOMPARE(tap.events[2].peer, peerName);
        QCOMPARE(tap.events[2].text, reason);
    }
    engine.Workspaces().Item(0)->Controllers().Remove(ctrl->Index());
    expected << MivTapEventKind::Closed;
    QCOMPARE(tap.kinds(), expected);
    QCOMPARE(tap.events.last().text, peerEnds ? QStringLiteral("closed at this end") : reason);
    for (qsizetype i = 1; i < tap.events.size(); ++i)
        QVERIFY(tap.events[i].at.steady >= tap.events[i - 1].at.steady);
}

// A client whose peer left before anyone listened has nothing open to tell, and nothing to close.
void tst_EngineTap::lateListenerOfAGoneLink()
{
    RawPeer peer;
    QVERIFY(peer.listen());
    MivEngine engine;
    MivController *ctrl = Connect(engine, ClientOption(peer.server.serverPort()));
    QVERIFY(peer.accept());
    MessageLog log(ctrl);
    peer.socket->close();
    QVERIFY(log.waitForKind(MivMessageKind::Disconnected, 1));
    TapLog tap;
    ctrl->setTap(&tap);
    engine.Workspaces().Item(0)->Controllers().Remove(ctrl->Index());
    QCOMPARE(tap.kinds(), QList<MivTapEventKind>());
}

QTEST_GUILESS_MAIN(tst_EngineTap)
#include "tst_engine_tap.moc"
