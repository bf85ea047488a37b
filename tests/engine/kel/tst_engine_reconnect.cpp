#include "DeviceOutage.h"
#include "EngineTestUtil.h"
#include "MessageLog.h"
#include "MivReconnector.h"
#include "MivTap.h"

#include <QSignalSpy>
#include <QTest>

namespace {

constexpr int kReopenWaitMs = 20000; // covers the back-off's first five tries and more

class EventTap : public MivTap
{
public:
    void tapFrame(const MivTapFrame &) override {}
    void tapEvent(const MivTapEvent &event) override { events << event; }
    QList<MivTapEvent> of(MivTapEventKind kind) const
    {
        QList<MivTapEvent> found;
        for (const MivTapEvent &e : events) {
            if (e.kind == kind)
                found << e;
        }
        return found;
    }
    QList<MivTapEvent> events;
};

bool PumpUntil(const std::function<bool()> &done, int timeoutMs = kReopenWaitMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    }
    return true;
}

} // namespace

class tst_EngineReconnect : public QObject
{
    Q_OBJECT
private slots:
    void reopensAfterOutage_data();
    void reopensAfterOutage();
    void endsDuringBackOff_data();
    void endsDuringBackOff();
};

void tst_EngineReconnect::reopensAfterOutage_data()
{
    QTest::addColumn<bool>("serial");
    QTest::newRow("TCP device restarted on the same port") << false;
    QTest::newRow("pseudo-terminal re-plugged under the same path") << true;
}

// The loss is reported first (Disconnected), the tries follow, the line opens again with its
// listener and its messages, and a request after it is answered.
void tst_EngineReconnect::reopensAfterOutage()
{
    QFETCH(bool, serial);
    DeviceOutage far(serial);
    QVERIFY2(far.plugIn(), qPrintable(far.errorString()));
    EventTap tap; // both outlive the controller
    MivReconnector reconnector;
    MivEngine engine;
    MivController *ctrl = Connect(engine, far.option());
    ctrl->setTap(&tap);
    MessageLog log(ctrl);
    reconnector.watch(ctrl);
    QSignalSpy tries(&reconnector, &MivReconnector::reconnecting);
    QSignalSpy opened(&reconnector, &MivReconnector::opened);
    log.onMessage = [&](const MivMessage &m) {
        if (m.Kind() == MivMessageKind::Disconnected)
            reconnector.start(QStringLiteral("the line went"));
    };
    QCOMPARE(ctrl->transact(QStringLiteral("PUT:R:1:0:3,7")), QStringLiteral("0"));

    far.unplug();
    QVERIFY(log.waitForKind(MivMessageKind::Disconnected, 1, kReopenWaitMs));
    QVERIFY(PumpUntil([&] { return tries.size() >= 2; })); // the device is still away
    QVERIFY(!ctrl->isOpen());
    QVERIFY2(far.plugIn(), qPrintable(far.errorString()));
    QVERIFY(PumpUntil([&] { return opened.size() == 1; }));

    QVERIFY(ctrl->isOpen());
    QVERIFY(!reconnector.isTrying());
    QCOMPARE(ctrl->transact(QStringLiteral("GET:R:1:0:")), QStringLiteral("0,0")); // a new device
    QVERIFY(log.waitForKind(MivMessageKind::Connected, 1));
    const QList<MivTapEvent> told = tap.of(MivTapEventKind::Reconnecting);
    QCOMPARE(told.size(), tries.size());
    for (int i = 0; i < told.size(); ++i)
        QCOMPARE(told[i].attempt, i + 1);
    QCOMPARE(told.first().text, QStringLiteral("the line went"));
    QVERIFY(!told.last().peer.isEmpty());
    QCOMPARE(tap.of(MivTapEventKind::Opened).size(), 2);
}

void tst_EngineReconnect::endsDuringBackOff_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("stopped") << "stop";
    QTest::newRow("switched off") << "disable";
    QTest::newRow("replaced by a new connection") << "watch";
    QTest::newRow("destroyed") << "destroy";
}

// Whatever ends the tries during a wait takes effect at once: no try follows.
void tst_EngineReconnect::endsDuringBackOff()
{
    QFETCH(QString, how);
    DeviceOutage far(false);
    QVERIFY2(far.plugIn(), qPrintable(far.errorString()));
    MivEngine engine;
    MivController *ctrl = Connect(engine, far.option());
    MessageLog log(ctrl);
    auto reconnector = std::make_unique<MivReconnector>();
    reconnector->watch(ctrl);
    int tries = 0;
    connect(reconnector.get(), &MivReconnector::reconnecting, this, [&tries] { ++tries; });
    far.unplug();
    QVERIFY(log.waitForKind(MivMessageKind::Disconnected, 1));
    reconnector->start(QStringLiteral("gone"));
    QVERIFY(PumpUntil([&] { return tries >= 2; }));

    if (how == "stop")
        reconnector->stop();
    else if (how == "disable")
        reconnector->setEnabled(false);
    else if (how == "watch")
        reconnector->watch(nullptr);
    else
        reconnector.reset();
    if (reconnector)
        QVERIFY(!reconnector->isTrying());
    const int triesThen = tries;
    Pump(1500); // longer than the wait before the third try
    QCOMPARE(tries, triesThen);
    if (reconnector) {
        reconnector->start(QStringLiteral("again"));
        QCOMPARE(reconnector->isTrying(), how == "stop");
    }
}

QTEST_GUILESS_MAIN(tst_EngineReconnect)
#include "tst_engine_reconnect.moc"
