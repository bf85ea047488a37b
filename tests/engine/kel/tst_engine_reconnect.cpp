#include "EngineTestUtil.h"
#include "MessageLog.h"
#include "MivReconnector.h"
#include "MivTap.h"
#include "PtyPair.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr int kReopenWaitMs = 20000; // covers the back-off's first five tries and more

QString SerialOption(int comPort)
{
    return QStringLiteral("Conn=com:%1:38400:N:8:1:0,PacketOpt=4:0:0:0,Timeout=2000").arg(comPort);
}

QString DeviceServerOption(quint16 port)
{
    return QStringLiteral("Conn=eth::%1,PacketOpt=4:0:0:0,EtherOpt=1:10:0,Timeout=2000").arg(port);
}

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

// The far end: kelpeer's device on its own thread, on a TCP port or a pseudo-terminal whose
// engine side keeps one path across restarts.
class Outage
{
public:
    explicit Outage(bool serial) : m_serial(serial) {}

    bool plugIn()
    {
        if (m_serial) {
            m_pty = std::make_unique<PtyPair>();
            if (!m_pty->start(5000, m_dir.filePath(QStringLiteral("adapter")))) {
                m_error = m_pty->errorString();
                return false;
            }
            qputenv("MIV_COM2", m_pty->first().toUtf8());
            qputenv("MIV_COM1", m_pty->second().toUtf8());
        }
        m_device = std::make_unique<KelPeerThread>(
            ParseKelPeerArgs({"--option", m_serial ? SerialOption(1) : DeviceServerOption(m_port)}).config);
        if (!m_device->start()) {
            m_error = m_device->errorString();
            return false;
        }
        if (!m_serial)
            m_port = m_device->port();
        return true;
    }
    void unplug()
    {
        m_device.reset();
        if (m_pty)
            m_pty->stop();
    }
    QString option() const { return m_serial ? SerialOption(2) : ClientOption(m_port); }
    QString errorString() const { return m_error; }

private:
    bool m_serial;
    QTemporaryDir m_dir;
    std::unique_ptr<PtyPair> m_pty;
    std::unique_ptr<KelPeerThread> m_device;
    quint16 m_port = 0;
    QString m_error;
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
    Outage far(serial);
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
    Outage far(false);
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
