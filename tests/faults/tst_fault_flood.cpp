#include "EngineTestUtil.h"
#include "FloodClient.h"
#include "KelDelivery.h"
#include "MessageLog.h"
#include "MivEngine.h"
#include "PeakResident.h"

#include <QTcpSocket>
#include <QTest>

namespace {

constexpr qsizetype kEmptyFrames = 4 << 20;    // bytes of bare CRs
constexpr qsizetype kRequestBytes = 1 << 20;   // bytes of requests after them
constexpr qsizetype kUnderWay = 512 << 10;      // the second client asks once this much is sent
constexpr qint64 kMaxGrowthKb = 32 << 10;
constexpr int kPollMs = FloodClient::kPollMs;
constexpr qsizetype kBacklog = 32 << 10; // empty frames that wait at once, within the system's buffers
constexpr int kWaitMs = 60000;
const QByteArray kRequest = "GET:A:1:X:\r";
const QString kReply = QStringLiteral("0,8,") + QString(56, u'x');

} // namespace

// A client that floods a server with frames must neither grow the engine's memory with what it
// sends nor hold up another client.
class tst_FaultFlood : public QObject
{
    Q_OBJECT
private slots:
    void secondClientIsServed_data();
    void secondClientIsServed();
    void quietRequestOvertakesBacklog();
};

void tst_FaultFlood::secondClientIsServed_data()
{
    QTest::addColumn<bool>("floodReads");
    QTest::newRow("the flood reads its answers") << true;
    QTest::newRow("the flood never reads") << false;
}

void tst_FaultFlood::secondClientIsServed()
{
    QFETCH(bool, floodReads);
    const QByteArray flood = QByteArray(kEmptyFrames, '\r') + kRequest.repeated(kRequestBytes / kRequest.size());
    const qint64 floodRequests = flood.count('\r');

    MivEngine engine;
    MivController *ctrl = Connect(engine, ServerOption());
    qint64 requests = 0;
    qint64 refused = 0;
    connect(ctrl, &MivController::OnMessage, this, [&](MivMessage *m) {
        if (m->Kind() != MivMessageKind::Request)
            return;
        ++requests;
        try {
            m->Reply(kReply);
        } catch (const MivError &) {
            ++refused;
        }
    });
    const quint16 port = ctrl->localAddress().section(u':', -1).toUShort();
    QVERIFY(ResetPeakResident());
    const qint64 residentBefore = PeakResidentKb();

    FloodClient flooder;
    QVERIFY(flooder.connectTo(port));
    flooder.start(flood, floodReads);
    FloodClient second;
    QVERIFY(second.connectTo(port));
    QDeadlineTimer deadline(120000);
    while (flooder.written < kUnderWay && !deadline.hasExpired())
        Pump(kPollMs);
    QVERIFY(flooder.written >= kUnderWay);
    second.start(kRequest, true);
    while (second.answers == 0 && !deadline.hasExpired())
        Pump(kPollMs);
    const qint64 floodAnsweredFirst = flooder.answers;
    const qint64 floodWrittenFirst = flooder.written;
    const qint64 requestsFirst = requests;
    QCOMPARE(second.answers.load(), 1);
    if (floodReads) {
        while (flooder.answers < floodRequests && !deadline.hasExpired())
            Pump(kPollMs);
        QCOMPARE(flooder.answers.load(), floodRequests);
        QCOMPARE(requests, floodRequests + 1);
        // Served in turn with the flood, not after it.
        QVERIFY2(floodAnsweredFirst < floodRequests / 2,
                 qPrintable(QStringLiteral("%1 of %2 flood answers came first").arg(floodAnsweredFirst).arg(floodRequests)));
    }
    QCOMPARE(refused, 0);
    const qint64 growth = PeakResidentKb() - residentBefore;
    QVERIFY2(growth < kMaxGrowthKb, qPrintable(QStringLiteral("resident memory grew by %1 kB").arg(growth)));
    qInfo("flood %s: %lld bytes sent, %lld taken in and %lld of %lld answered before the second client's answer; "
          "memory grew %lld kB",
          floodReads ? "reading" : "not reading", floodWrittenFirst, requestsFirst, floodAnsweredFirst, floodRequests,
          growth);
}

// A request that waits on a quiet connection beside another's backlog is delivered among the
// backlog's first messages, not after the passes that deliver it.
void tst_FaultFlood::quietRequestOvertakesBacklog()
{
    MivEngine engine;
    MivController *ctrl = Connect(engine, ServerOption());
    int connected = 0;
    qint64 backlogDelivered = 0;
    qint64 deliveredBefore = -1; // backlog messages delivered before the quiet connection's request
    connect(ctrl, &MivController::OnMessage, this, [&](MivMessage *m) {
        if (m->Kind() == MivMessageKind::Connected)
            ++connected;
        else if (m->Kind() == MivMessageKind::Request && m->Value().bstr().isEmpty())
            ++backlogDelivered;
        else if (m->Kind() == MivMessageKind::Request)
            deliveredBefore = backlogDelivered;
    });
    const quint16 port = ctrl->localAddress().section(u':', -1).toUShort();
    QTcpSocket flooder;
    QTcpSocket quiet;
    flooder.connectToHost(QHostAddress::LocalHost, port);
    quiet.connectToHost(QHostAddress::LocalHost, port);
    QVERIFY(flooder.waitForConnected(kWaitMs) && quiet.waitForConnected(kWaitMs));
    QDeadlineTimer deadline(kWaitMs);
    while (connected < 2 && !deadline.hasExpired())
        Pump(kPollMs);
    QCOMPARE(connected, 2);

    // Both wait in the system before the engine reads either.
    flooder.write(QByteArray(kBacklog, '\r'));
    quiet.write(kRequest);
    for (QTcpSocket *socket : {&flooder, &quiet}) {
        while (socket->bytesToWrite() > 0)
            QVERIFY(socket->waitForBytesWritten(kWaitMs));
    }
    while ((deliveredBefore < 0 || backlogDelivered < kBacklog) && !deadline.hasExpired())
        Pump(kPollMs);
    QCOMPARE(backlogDelivered, kBacklog);
    QVERIFY2(deliveredBefore >= 0 && deliveredBefore < KelDelivery::kInboxSize,
             qPrintable(QStringLiteral("%1 backlog messages came first").arg(deliveredBefore)));
}

QTEST_GUILESS_MAIN(tst_FaultFlood)
#include "tst_fault_flood.moc"
