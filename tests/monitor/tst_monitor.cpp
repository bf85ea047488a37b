#include "KelFramer.h"
#include "KelOptions.h"
#include "KelStream.h"
#include "MivError.h"
#include "MonitorPair.h"
#include "MonitorPairing.h"
#include "MonitorRig.h"

#include <QRandomGenerator>
#include <QTcpSocket>
#include <QTest>

namespace {

using namespace std::chrono;

// Bytes that steer framing in one mode or another, so that random streams hit them often.
constexpr char kSpecial[] = {'\x05', '\r', '\n', '\x1b', '\0', '\x7f', '\x80', '\xff'};
constexpr qsizetype kStreamBytes = 20000;
constexpr int kDelayMs = 20;
constexpr qsizetype kSmallBuffer = 65536;
constexpr qsizetype kFlood = 16 * 1024 * 1024;

QByteArray RandomBytes(quint32 seed, qsizetype size)
{
    QRandomGenerator random(seed);
    QByteArray bytes(size, Qt::Uninitialized);
    for (char &b : bytes) {
        const quint32 pick = random.bounded(4u);
        b = pick == 0 ? kSpecial[random.bounded(quint32(sizeof kSpecial))] : char(random.bounded(256u));
    }
    return bytes;
}

// What an independent framer makes of the bytes: "text" per frame, "! description" per error.
QStringList Framed(const QString &packet, const QByteArray &bytes)
{
    KelFramer framer(ParseKelOptions(QStringLiteral("Conn=eth::1,EtherOpt=1:1:0,PacketOpt=") + packet).packet);
    QList<KelFrameEvent> events;
    framer.feed(bytes, events);
    QStringList texts;
    for (const KelFrameEvent &e : events)
        texts << (e.kind == KelFrameEvent::Error ? QStringLiteral("! ") + e.text : e.text);
    return texts;
}

QStringList Framed(const QList<MonitorFrame> &frames)
{
    QStringList texts;
    for (const MonitorFrame &f : frames)
        texts << (f.role == MonitorFrame::Error ? QStringLiteral("! ") + f.text : f.text);
    return texts;
}

// Reads everything that comes until `size` bytes have come.
bool Collect(QIODevice *end, QByteArray &into, qsizetype size)
{
    return MonitorRig::pumpUntil([&] {
        into += end->readAll();
        return into.size() >= size;
    });
}

} // namespace

class tst_Monitor : public QObject
{
    Q_OBJECT
private slots:
    void passesBytesUnchanged_data();
    void passesBytesUnchanged();
    void holdsBackAFastSender();
    void pairsAnswersWithTheirRequests();
    void pairsABurstInOrder();
    void lateAnswerIsStray();
    void deepPipelineOverflowsHonestly_data();
    void deepPipelineOverflowsHonestly();
    void closingPairShowsWhatBothSidesSent();
    void oneSideClosingClosesTheOther_data();
    void oneSideClosingClosesTheOther();
    void deviceRefusingClosesTheHost();
    void serialDeviceServesOneHost();
    void refusesMisplacedSides_data();
    void refusesMisplacedSides();
};

void tst_Monitor::passesBytesUnchanged_data()
{
    QTest::addColumn<Medium>("host");
    QTest::addColumn<Medium>("device");
    QTest::addColumn<QString>("packet");
    QTest::addColumn<QByteArray>("up");   // host to device
    QTest::addColumn<QByteArray>("down"); // device to host

    const std::pair<const char *, Medium> media[][2] = {
        {{"tcp", Medium::Tcp}, {"tcp", Medium::Tcp}},
        {{"serial", Medium::Serial}, {"serial", Medium::Serial}},
        {{"serial", Medium::Serial}, {"tcp", Medium::Tcp}},
        {{"tcp", Medium::Tcp}, {"serial", Medium::Serial}},
    };
    const std::pair<const char *, const char *> modes[] = {
        {"ENQ", "4:1:0:0"}, {"CR LF", "4:0:2:0"}, {"escape", "4:0:0:27"}, {"ISO", "1:0:0:0"}, {"EIA", "2:0:0:0"},
    };
    quint32 seed = 1;
    for (const auto &pair : media) {
        for (const auto &[mode, packet] : modes) {
            QTest::addRow("%s to %s, %s", pair[0].first, pair[1].first, mode)
                << pair[0].second << pair[1].second << QString::fromLatin1(packet) << RandomBytes(seed, kStreamBytes)
                << RandomBytes(seed + 1, kStreamBytes);
            seed += 2;
        }
    }
    // Faults the framed copy reports while the bytes still go.
    QTest::newRow("overlong frame") << Medium::Tcp << Medium::Tcp << "4:0:0:0"
                                    << QByteArray(KelFramer::kMaxBody + 100, 'x') + "\rSTART\r" << QByteArray("0\r");
    QTest::newRow("dangling escape") << Medium::Tcp << Medium::Tcp << "4:0:2:27" << QByteArray("AB\x1b\r\nSTART\r\n")
                                     << QByteArray("\x1b\r\n0\r\n");
    QTest::newRow("NUL and garbage before ENQ") << Medium::Tcp << Medium::Tcp << "4:1:0:0"
                                                << QByteArray("\0\0junk\x05GET\0X\r", 13) << QByteArray("\x05\0\r", 3);
}

void tst_Monitor::passesBytesUnchanged()
{
    QFETCH(Medium, host);
    QFETCH(Medium, device);
    QFETCH(QString, packet);
    QFETCH(QByteArray, up);
    QFETCH(QByteArray, down);
    MonitorRig rig;
    QVERIFY2(rig.start(host, device, packet), qPrintable(rig.errorString()));
    QIODevice *hostEnd = rig.connectHost();
    QVERIFY(hostEnd && rig.device());

    hostEnd->write(up);
    rig.device()->write(down);
    QByteArray atDevice;
    QByteArray atHost;
    QVERIFY2(Collect(rig.device(), atDevice, up.size()), qPrintable(QString::number(atDevice.size())));
    QVERIFY2(Collect(hostEnd, atHost, down.size()), qPrintable(QString::number(atHost.size())));
    QCOMPARE(atDevice, up);
    QCOMPARE(atHost, down);
    // The copy may trail the bytes by a few turns.
    MonitorRig::pumpUntil([&] {
        return rig.frames(MonitorSide::Host).size() >= Framed(packet, up).size()
               && rig.frames(MonitorSide::Device).size() >= Framed(packet, down).size();
    });
    QCOMPARE(Framed(rig.frames(MonitorSide::Host)), Framed(packet, up));
    QCOMPARE(Framed(rig.frames(MonitorSide::Device)), Framed(packet, down));
}

// A device that does not read holds the host back: the monitor queues no more than its bound.
void tst_Monitor::holdsBackAFastSender()
{
    MonitorRig rig;
    QVERIFY2(rig.start(Medium::Tcp, Medium::Tcp, QStringLiteral("4:0:0:0")), qPrintable(rig.errorString()));
    QIODevice *hostEnd = rig.connectHost();
    QVERIFY(hostEnd && rig.device());
    auto *deviceEnd = qobject_cast<QTcpSocket *>(rig.device());
    // Small buffers at the device end, so that the monitor's side of it fills soon.
    deviceEnd->setReadBufferSize(kSmallBuffer);
    deviceEnd->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, kSmallBuffer);
    const QByteArray flood = RandomBytes(99, kSmallBuffer).repeated(kFlood / kSmallBuffer);
    hostEnd->write(flood);
    const qint64 bound = MonitorPair::kForwardQueueBytes + KelStream::kReadBufferSize;
    qint64 mostQueued = 0;
    QVERIFY(MonitorRig::pumpUntil([&] {
        mostQueued = qMax(mostQueued, rig.monitor().queuedBytes());
        return mostQueued >= MonitorPair::kForwardQueueBytes;
    }, 30000));
    QByteArray atDevice;
    QVERIFY(MonitorRig::pumpUntil([&] {
        atDevice += deviceEnd->readAll();
        mostQueued = qMax(mostQueued, rig.monitor().queuedBytes());
        return atDevice.size() >= kFlood;
    }, 60000));
    QVERIFY2(mostQueued <= bound, qPrintable(QString::number(mostQueued)));
    QVERIFY(atDevice == flood);
}

// A stray frame before any request, an answer after a delay, and a duplicate answer.
void tst_Monitor::pairsAnswersWithTheirRequests()
{
    MonitorRig rig;
    QVERIFY2(rig.start(Medium::Tcp, Medium::Tcp, QStringLiteral("4:0:0:0")), qPrintable(rig.errorString()));
    QIODevice *hostEnd = rig.connectHost();
    QVERIFY(hostEnd && rig.device());
    rig.device()->write("HELLO\r");
    QVERIFY(MonitorRig::pumpUntil([&] { return rig.frames(MonitorSide::Device).size() == 1; }));
    hostEnd->write("PUT:A:1:X:3,7\r");
    QByteArray atDevice;
    QVERIFY(Collect(rig.device(), atDevice, 14));
    QTest::qWait(kDelayMs);
    rig.device()->write("0\r0\r");
    QVERIFY(MonitorRig::pumpUntil([&] { return rig.frames(MonitorSide::Device).size() == 3; }));

    const QList<MonitorFrame> answers = rig.frames(MonitorSide::Device);
    QCOMPARE(answers.at(0).role, MonitorFrame::Stray);
    QCOMPARE(answers.at(1).role, MonitorFrame::Answer);
    QCOMPARE(answers.at(1).request, QStringLiteral("PUT:A:1:X:3,7"));
    QVERIFY(answers.at(1).answerTime && *answers.at(1).answerTime >= milliseconds(kDelayMs));
    QCOMPARE(answers.at(2).role, MonitorFrame::Stray);
    const MonitorStats &stats = rig.monitor().stats();
    QCOMPARE(stats.command(MonitorStats::Put).requests, 1u);
    QCOMPARE(stats.command(MonitorStats::Put).answers.count(), 1u);
    QVERIFY(stats.command(MonitorStats::Put).answers.minUs() >= kDelayMs * 1000.0 * (1 - LatencyHistogram::kRelativeError));
    QCOMPARE(stats.strays(), 2u);
}

// Requests that come faster than their copy is framed still pair with the answers that follow
// them, each given as soon as its request reaches the device end.
void tst_Monitor::pairsABurstInOrder()
{
    constexpr int kRequests = 400;
    const QByteArray request = "GET:A:1:X:\r";
    MonitorRig rig;
    QVERIFY2(rig.start(Medium::Tcp, Medium::Tcp, QStringLiteral("4:0:0:0")), qPrintable(rig.errorString()));
    QIODevice *hostEnd = rig.connectHost();
    QVERIFY(hostEnd && rig.device());
    hostEnd->write(request.repeated(kRequests));
    QByteArray atDevice;
    qsizetype answered = 0;
    QVERIFY(MonitorRig::pumpUntil([&] {
        atDevice += rig.device()->readAll();
        for (const qsizetype arrived = atDevice.count('\r'); answered < arrived; ++answered)
            rig.device()->write("0,3,1\r");
        return rig.frames(MonitorSide::Device).size() == kRequests;
    }));
    QCOMPARE(rig.frames(MonitorSide::Host).size(), kRequests);
    for (const MonitorFrame &answer : rig.frames(MonitorSide::Device))
        QVERIFY(answer.role == MonitorFrame::Answer && answer.answerTime && *answer.answerTime >= nanoseconds(0));
    QCOMPARE(rig.monitor().stats().command(MonitorStats::Get).answers.count(), std::uint64_t(kRequests));
}

// An answer after the device side's Timeout answers nothing: the request is given up.
void tst_Monitor::lateAnswerIsStray()
{
    constexpr int kTimeoutMs = 50;
    MonitorRig rig;
    QVERIFY2(rig.start(Medium::Tcp, Medium::Tcp, QStringLiteral("4:0:0:0"), kTimeoutMs), qPrintable(rig.errorString()));
    QIODevice *hostEnd = rig.connectHost();
    QVERIFY(hostEnd && rig.device());
    hostEnd->write("GET:A:1:X:\r");
    QVERIFY(MonitorRig::pumpUntil([&] { return rig.hasEvent(MivTapEventKind::Error, MonitorSide::Device, "No answer"); }));
    rig.device()->write("0,0\r");
    QVERIFY(MonitorRig::pumpUntil([&] { return rig.frames(MonitorSide::Device).size() == 1; }));
    QCOMPARE(rig.frames(MonitorSide::Device).first().role, MonitorFrame::Stray);
    QCOMPARE(rig.monitor().stats().command(MonitorStats::Get).unanswered, 1u);
}

void tst_Monitor::deepPipelineOverflowsHonestly_data()
{
    constexpr int kKept = int(MonitorPairing::kMaxWaiting);
    QTest::addColumn<int>("requests");
    QTest::addColumn<int>("answers");
    QTest::addColumn<int>("untimed");
    QTest::addColumn<int>("strays");
    QTest::newRow("deeper than kept") << kKept + 3 << kKept + 3 << 3 << 0;
    QTest::newRow("an answer too many") << kKept + 1 << kKept + 2 << 1 << 1;
    QTest::newRow("within the depth") << kKept << kKept << 0 << 0;
}

// Past its depth the pairing counts requests instead of giving any up: every answer still goes
// to its own request, in order, and none is reported missing.
void tst_Monitor::deepPipelineOverflowsHonestly()
{
    QFETCH(int, requests);
    QFETCH(int, answers);
    QFETCH(int, untimed);
    QFETCH(int, strays);
    const auto start = MonitorPairing::Clock::now();
    MonitorPairing pairing{milliseconds(kDelayMs)};
    int overflows = 0;
    for (int i = 0; i < requests; ++i)
        overflows += pairing.request(QString::number(i), start) == MonitorPairing::Added::Overflowed;
    QCOMPARE(overflows, untimed > 0 ? 1 : 0);
    int timed = 0;
    int counted = 0;
    int stray = 0;
    for (int i = 0; i < answers; ++i) {
        const auto answered = pairing.answer(start);
        if (!answered)
            ++stray;
        else if (!answered->request)
            ++counted;
        else
            QCOMPARE(answered->request->text, QString::number(timed++));
    }
    QCOMPARE(timed, requests - untimed);
    QCOMPARE(counted, untimed);
    QCOMPARE(stray, strays);
    QVERIFY(pairing.expire(start + seconds(1)).requests.empty());
}

// A host that sends and closes while its device end's answers wait unread: the device's
// frames are all shown, though its link is closed in the host's turn.
void tst_Monitor::closingPairShowsWhatBothSidesSent()
{
    constexpr int kHostFrames = 400;   // 4 KiB: more than a turn passes
    constexpr int kDeviceFrames = 6000; // 12 KiB
    MonitorRig rig;
    QVERIFY2(rig.start(Medium::Tcp, Medium::Tcp, QStringLiteral("4:0:0:0")), qPrintable(rig.errorString()));
    auto *hostEnd = qobject_cast<QTcpSocket *>(rig.connectHost());
    auto *deviceEnd = qobject_cast<QTcpSocket *>(rig.device());
    QVERIFY(hostEnd && deviceEnd);
    // Both arrive before the monitor reads any of them.
    deviceEnd->write(QByteArray("0\r").repeated(kDeviceFrames));
    QVERIFY(deviceEnd->waitForBytesWritten());
    hostEnd->write(QByteArray("GET:A:1:\r").repeated(kHostFrames));
    QVERIFY(hostEnd->waitForBytesWritten());
    hostEnd->disconnectFromHost();
    QVERIFY(MonitorRig::pumpUntil([&] { return rig.monitor().pairCount() == 0; }));
    QCOMPARE(rig.frames(MonitorSide::Host).size(), kHostFrames);
    QCOMPARE(rig.frames(MonitorSide::Device).size(), kDeviceFrames);
}

void tst_Monitor::oneSideClosingClosesTheOther_data()
{
    QTest::addColumn<bool>("hostCloses");
    QTest::newRow("host vanishes mid-request") << true;
    QTest::newRow("device answers and closes") << false;
}

void tst_Monitor::oneSideClosingClosesTheOther()
{
    QFETCH(bool, hostCloses);
    MonitorRig rig;
    QVERIFY2(rig.start(Medium::Tcp, Medium::Tcp, QStringLiteral("4:0:0:0")), qPrintable(rig.errorString()));
    QIODevice *hostEnd = rig.connectHost();
    QIODevice *deviceEnd = rig.device();
    QVERIFY(hostEnd && deviceEnd);
    hostEnd->write("START\r");
    QByteArray atDevice;
    QVERIFY(Collect(deviceEnd, atDevice, 6));
    QIODevice *closer = hostCloses ? hostEnd : deviceEnd;
    QIODevice *other = hostCloses ? deviceEnd : hostEnd;
    if (!hostCloses)
        deviceEnd->write("0\r");
    closer->close();
    QByteArray atOther;
    QVERIFY(MonitorRig::pumpUntil([&] {
        atOther += other->readAll();
        return MonitorRig::closed(other);
    }));
    // What the closing side sent before it closed still arrived.
    QCOMPARE(atOther, hostCloses ? QByteArray() : QByteArray("0\r"));
    QVERIFY(MonitorRig::pumpUntil([&] { return rig.monitor().pairCount() == 0; }));
    QCOMPARE(rig.events(MivTapEventKind::Disconnected).size(), 2);
    QCOMPARE(rig.monitor().stats().command(MonitorStats::Start).unanswered, hostCloses ? 1u : 0u);
}

void tst_Monitor::deviceRefusingClosesTheHost()
{
    MonitorRig rig;
    QVERIFY2(rig.start(Medium::Tcp, Medium::Tcp, QStringLiteral("4:0:0:0"), 2000, false), qPrintable(rig.errorString()));
    QIODevice *hostEnd = rig.connectHost();
    QVERIFY(hostEnd);
    QVERIFY(MonitorRig::pumpUntil([&] { return MonitorRig::closed(hostEnd); }));
    QVERIFY(rig.hasEvent(MivTapEventKind::Error, MonitorSide::Device, "Cannot connect to 127.0.0.1:"));
    QVERIFY(rig.hasEvent(MivTapEventKind::Disconnected, MonitorSide::Host, "the device side did not open"));
}

// The device line serves the first host; a second is refused, and the first goes on.
void tst_Monitor::serialDeviceServesOneHost()
{
    MonitorRig rig;
    QVERIFY2(rig.start(Medium::Tcp, Medium::Serial, QStringLiteral("4:0:0:0")), qPrintable(rig.errorString()));
    QIODevice *first = rig.connectHost();
    QVERIFY(first);
    QTcpSocket second;
    const QString address = rig.monitor().hostAddress();
    second.connectToHost(QHostAddress::LocalHost, address.mid(address.lastIndexOf(u':') + 1).toUShort());
    QVERIFY(MonitorRig::pumpUntil([&] { return MonitorRig::closed(&second); }));
    QVERIFY(rig.hasEvent(MivTapEventKind::Error, MonitorSide::Host, "refused"));
    first->write("STOP\r");
    QByteArray atDevice;
    QVERIFY(Collect(rig.device(), atDevice, 5));
    QCOMPARE(atDevice, QByteArray("STOP\r"));
}

void tst_Monitor::refusesMisplacedSides_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("device");
    QTest::addColumn<QString>("error");
    const QString server = QStringLiteral("Conn=eth::0,EtherOpt=1:1:0");
    const QString client = QStringLiteral("Conn=eth:127.0.0.1:1,EtherOpt=0");
    QTest::newRow("client as host side") << client << client << "The host side serves its host";
    QTest::newRow("server as device side") << server << server << "The device side connects to its device";
    QTest::newRow("one COM port for both") << "Conn=com:3:9600:N:8:1:0" << "Conn=com:3:9600:N:8:1:0"
                                          << "both COM3";
    QTest::newRow("bad option names its side") << server << "Conn=eth:127.0.0.1:1,PacketOpt=4:0:0:300"
                                               << "The device side: PacketOpt: escape 300";
}

void tst_Monitor::refusesMisplacedSides()
{
    QFETCH(QString, host);
    QFETCH(QString, device);
    QFETCH(QString, error);
    KelMonitor monitor;
    try {
        monitor.start(host, device);
        QFAIL("started");
    } catch (const MivError &e) {
        QVERIFY2(e.description().contains(error), qPrintable(e.description()));
    }
    QVERIFY(!monitor.isRunning());
}

QTEST_GUILESS_MAIN(tst_Monitor)
#include "tst_monitor.moc"
