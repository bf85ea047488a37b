// Tools > Reconnect Automatically against a device that goes and comes back: a pseudo-terminal
// re-plugged under the same path, a TCP device restarted on the same port.

#include "Captions.h"
#include "DeviceOutage.h"
#include "MainWindowFixture.h"
#include "MivEngine.h"
#include "ProcessEngine.h"
#include "TesterSession.h"
#include "TrafficMonitor.h"
#include "UserActions.h"
#include "WindowTestMain.h"
#include "frmPerfChk.h"

#include <QAreaSeries>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QDeadlineTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineSeries>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>

namespace {

constexpr int kComPort = 6;
constexpr int kReopenWaitMs = 20000; // the back-off's first tries and more
constexpr int kQuietMs = 1500;       // longer than the waits before the first three tries
const LogEntry kDisconnected{LogCaption::Disconnect, LogOutcome::Succeeded};
const LogEntry kConnected{LogCaption::Connect, LogOutcome::Succeeded};

ConnChoice Choice(bool serial, quint16 port)
{
    ConnChoice choice;
    choice.type = serial ? ComClient : EtherClient;
    choice.port = port;
    choice.comPort = kComPort;
    return choice;
}

int ControllerCount()
{
    return g_mivEngine->Workspaces().Item(0)->Controllers().Count();
}

QList<QJsonObject> EventsOf(const QString &path, const QString &kind)
{
    QFile file(path);
    QList<QJsonObject> events;
    if (!file.open(QIODevice::ReadOnly))
        return events;
    for (const QByteArray &line : file.readAll().split('\n')) {
        const QJsonObject record = QJsonDocument::fromJson(line).object();
        if (record.value("t").toString() == u"event" && record.value("kind").toString() == kind)
            events << record;
    }
    return events;
}

} // namespace

class tst_Reconnect : public MainWindowTest
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void reopensTheSameLine_data();
    void reopensTheSameLine();
    void triesEndAtOnce_data();
    void triesEndAtOnce();
    void performanceRunAcrossOutage();

private:
    // The window with reconnect on, connected to the device; false when it could not be.
    bool connectWithReconnect(DeviceOutage &device, bool serial);
    bool waitForLoss();

    QTemporaryDir m_dir;
    QString m_record;
};

void tst_Reconnect::init()
{
    MainWindowTest::init();
    m_record = m_dir.filePath(QStringLiteral("%1.jsonl").arg(QTest::currentTestFunction()));
}

void tst_Reconnect::cleanup()
{
    MainWindowTest::cleanup();
    // A window that went leaves its controller in the engine: drop it for the next test.
    auto &controllers = g_mivEngine->Workspaces().Item(0)->Controllers();
    while (controllers.Count() > 0)
        controllers.Remove(controllers.items().begin()->first);
    qunsetenv("MIV_COM6");
}

bool tst_Reconnect::connectWithReconnect(DeviceOutage &device, bool serial)
{
    MainWindowFixture &ui = fixture();
    if (!device.plugIn()) {
        qWarning("%s", qPrintable(device.errorString()));
        return false;
    }
    Command(ui.window.get(), "mnuToolsReconnect")->trigger();
    return ui->reconnectAutomatically() && ui.connect(Choice(serial, device.port()))
           && ui->traffic()->startRecording(m_record);
}

bool tst_Reconnect::waitForLoss()
{
    MainWindowFixture &ui = fixture();
    return UserActions::WaitFor([&] { return ui->session().isReopening(); }, kReopenWaitMs);
}

void tst_Reconnect::reopensTheSameLine_data()
{
    QTest::addColumn<bool>("serial");
    QTest::newRow("pseudo-terminal re-plugged under the same path") << true;
    QTest::newRow("TCP device restarted on the same port") << false;
}

// The disconnect flow first, tries while the device is away, the Connect lines once it is
// back, and a request after it answered.
void tst_Reconnect::reopensTheSameLine()
{
    QFETCH(bool, serial);
    MainWindowFixture &ui = fixture();
    DeviceOutage device(serial, kComPort);
    QVERIFY(connectWithReconnect(device, serial));
    const QString connectedTitle = ui->windowTitle();
    const int from = ui.logCount();

    device.unplug();
    QVERIFY(waitForLoss());
    QCOMPARE(ui->windowTitle(), WindowTitle::NotConnected);
    QVERIFY(!ui.control("cmdSend")->isEnabled());
    QVERIFY2(ui.log(from) == QList<LogEntry>{kDisconnected}, qPrintable(ui.describeLog(from)));

    QVERIFY2(device.plugIn(), qPrintable(device.errorString()));
    QVERIFY(UserActions::WaitFor([&] { return ui->mivCtrl() != nullptr; }, kReopenWaitMs));
    QCOMPARE(ui->windowTitle(), connectedTitle);
    QVERIFY(ui.control("cmdSend")->isEnabled());
    QVERIFY2((ui.log(from) == QList<LogEntry>{kDisconnected, kConnected}), qPrintable(ui.describeLog(from)));

    ui.fillRequest(QStringLiteral("GET|A|1|X|"));
    ui->cmdSend_Click();
    QCOMPARE(ui.log().constLast().caption, LogCaption::Result);
    QVERIFY(ui.boxes.isEmpty());

    ui->traffic()->stopRecording();
    const QList<QJsonObject> tries = EventsOf(m_record, QStringLiteral("reconnecting"));
    QVERIFY(!tries.isEmpty());
    for (int i = 0; i < tries.size(); ++i)
        QCOMPARE(tries[i].value("attempt").toInt(), i + 1);
    const QList<QJsonObject> outages = EventsOf(m_record, QStringLiteral("outage"));
    QCOMPARE(outages.size(), 1);
    QVERIFY(outages[0].value("length_ms").toInteger() >= 0);
    QVERIFY(outages[0].value("start_ms").toInteger() <= outages[0].value("ms").toInteger());
}

void tst_Reconnect::triesEndAtOnce_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("unticked") << "untick";
    QTest::newRow("File > Connect") << "connect";
    QTest::newRow("window closed") << "close";
}

// Whatever ends the tries takes effect at once: the lost line is closed, and once the device
// is back nothing reopens it.
void tst_Reconnect::triesEndAtOnce()
{
    QFETCH(QString, how);
    MainWindowFixture &ui = fixture();
    DeviceOutage device(false);
    QVERIFY(connectWithReconnect(device, false));
    device.unplug();
    QVERIFY(waitForLoss());
    const int from = ui.logCount();

    DeviceOutage other(false);
    if (how == "untick") {
        Command(ui.window.get(), "mnuToolsReconnect")->trigger();
        QVERIFY(!ui->reconnectAutomatically());
        QCOMPARE(ControllerCount(), 0);
    } else if (how == "connect") {
        QVERIFY2(other.plugIn(), qPrintable(other.errorString()));
        QVERIFY(ui.connect(Choice(false, other.port())));
        QVERIFY2(ui.log(from) == QList<LogEntry>{kConnected}, qPrintable(ui.describeLog(from)));
        QCOMPARE(ControllerCount(), 1);
    } else {
        ui.window.reset();
    }
    QVERIFY2(device.plugIn(), qPrintable(device.errorString()));
    QTest::qWait(kQuietMs);
    if (!ui.window)
        return; // ended without a hang or a try after it
    QVERIFY(!ui->session().isReopening());
    QCOMPARE(ui.logCount(), from + (how == "connect" ? 1 : 0));
    QCOMPARE(ui->mivCtrl() != nullptr, how == "connect");
    QCOMPARE(ControllerCount(), how == "connect" ? 1 : 0);
}

// A run with Ignore Error goes on across the outage: its failures are counted, the outage is
// shown and recorded, and the run ends END.
void tst_Reconnect::performanceRunAcrossOutage()
{
    MainWindowFixture &ui = fixture();
    DeviceOutage device(false);
    QVERIFY(connectWithReconnect(device, false));
    QVERIFY(ui.control("cmdPerfchk")->isEnabled());

    enum Stage { Running, Away, Back, Done };
    Stage stage = Running;
    int pollsBack = 0;
    QString endAction, outages, errors;
    bool shaded = false;
    UserActions::WhenModal<frmPerfChk>(
        [&](frmPerfChk *perf) {
            UserActions::Click(Control(perf, "optPattern(2)")); // until stopped
            UserActions::Tick(Control<QCheckBox>(perf, "chkIgnore"), true);
            auto *poll = new QTimer(perf);
            QDeadlineTimer deadline(4 * kReopenWaitMs);
            QObject::connect(poll, &QTimer::timeout, perf, [&, perf, poll, deadline] {
                const bool open = ui->mivCtrl() != nullptr;
                if (stage == Running && Control<QLabel>(perf, "lblCycles")->text().toInt() > 0) {
                    device.unplug();
                    stage = Away;
                } else if (stage == Away && !open && device.plugIn()) {
                    stage = Back;
                } else if (stage == Back && open && ++pollsBack > 5) {
                    stage = Done;
                }
                if (stage == Done || deadline.hasExpired()) {
                    poll->stop();
                    perf->cmdStop_Click();
                }
            });
            poll->start(50);
            UserActions::Click(Control(perf, "cmdStart"));
            endAction = Control<QTreeWidget>(perf, "lvResult")->topLevelItem(1)->text(0);
            outages = Control<QLabel>(perf, "lblOutages")->text();
            errors = Control<QLabel>(perf, "lblErrors")->text();
            for (QAbstractSeries *series : Control<QChartView>(perf, "chtTimeline")->chart()->series()) {
                if (series->name() == u"outage")
                    shaded = series->isVisible() && !static_cast<QAreaSeries *>(series)->upperSeries()->points().isEmpty();
            }
            perf->cmdExit_Click();
        },
        [] {});
    ui.click("cmdPerfchk");

    QCOMPARE(stage, Done);
    QCOMPARE(endAction, QStringLiteral("END"));
    QVERIFY2(outages.startsWith(QStringLiteral("1, ")), qPrintable(outages));
    QVERIFY2(errors.toInt() > 0, qPrintable(errors));
    QVERIFY(shaded);
    QVERIFY(ui.boxes.isEmpty());
    ui->traffic()->stopRecording();
    QCOMPARE(EventsOf(m_record, QStringLiteral("outage")).size(), 1);
}

KEL_WINDOW_TEST_MAIN(tst_Reconnect)
#include "tst_reconnect.moc"
