// The Monitor pane: its enable rules, a request through it between two kelpeers, what it shows
// when a side cannot open, and its sides set in dialogs of their own.

#include "MainWindowFixture.h"
#include "LoopbackPort.h"
#include "MonitorPane.h"
#include "MonitorPaneRules.h"
#include "MonitorRowModel.h"
#include "PeerOptions.h"
#include "PeerProcess.h"
#include "TrafficMonitor.h"
#include "WindowTestMain.h"
#include "frmConn.h"

#include <QDockWidget>
#include <QFile>
#include <QLabel>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

using namespace UserActions;

namespace {

constexpr int kWaitMs = 10000;

int CountRows(const MonitorRowModel &rows, const QString &side, const QString &kind)
{
    int count = 0;
    for (int row = 0; row < rows.rowCount(); ++row)
        count += rows.index(row, MonitorRowModel::Side).data() == side && rows.index(row, MonitorRowModel::Kind).data() == kind;
    return count;
}

// The first row of the side and kind, or -1.
int FindRow(const MonitorRowModel &rows, const QString &side, const QString &kind)
{
    for (int row = 0; row < rows.rowCount(); ++row) {
        if (rows.index(row, MonitorRowModel::Side).data() == side && rows.index(row, MonitorRowModel::Kind).data() == kind)
            return row;
    }
    return -1;
}

} // namespace

class tst_MonitorPane : public MainWindowTest
{
    Q_OBJECT
private slots:
    void enables_data();
    void enables();
    void passesRequestsThrough();
    void showsWhatCannotOpen_data();
    void showsWhatCannotOpen();
    void setsSidesInDialogsOfTheirOwn();

private:
    MonitorPane *openPane();
    void startWith(const QString &host, const QString &device);
};

MonitorPane *tst_MonitorPane::openPane()
{
    Command(fixture().window.get(), "mnuViewMonitor")->trigger();
    return fixture().control<MonitorPane>("dckMonitor");
}

void tst_MonitorPane::startWith(const QString &host, const QString &device)
{
    Type(fixture().control<QLineEdit>("txtMonHost"), host);
    Type(fixture().control<QLineEdit>("txtMonDevice"), device);
    fixture().click("cmdMonStart");
}

void tst_MonitorPane::enables_data()
{
    QTest::addColumn<bool>("running");
    QTest::addColumn<bool>("hostSet");
    QTest::addColumn<bool>("deviceSet");
    QTest::addColumn<bool>("sides");
    QTest::addColumn<bool>("start");
    QTest::addColumn<bool>("stop");
    QTest::newRow("stopped, nothing set") << false << false << false << true << false << false;
    QTest::newRow("stopped, host only") << false << true << false << true << false << false;
    QTest::newRow("stopped, device only") << false << false << true << true << false << false;
    QTest::newRow("stopped, both set") << false << true << true << true << true << false;
    QTest::newRow("running") << true << true << true << false << false << true;
}

void tst_MonitorPane::enables()
{
    QFETCH(bool, running);
    QFETCH(bool, hostSet);
    QFETCH(bool, deviceSet);
    QFETCH(bool, sides);
    QFETCH(bool, start);
    QFETCH(bool, stop);
    QCOMPARE(MonitorPaneEnablesFor(running, hostSet, deviceSet), (MonitorPaneEnables{sides, start, stop}));
}

// Hidden at start; beside the tester's own connection, a kelpeer host's request goes through
// to a kelpeer device and back, shown per side with the answer time, counted and recorded.
void tst_MonitorPane::passesRequestsThrough()
{
    if (PeerProcess::program().isEmpty())
        QSKIP("KELPEER is not set");
    QVERIFY(fixture().control<QDockWidget>("dckMonitor")->isHidden());
    PeerProcess device;
    QVERIFY(device.start({"--option", EtherServerOption(0)}));
    ConnChoice own;
    own.type = EtherClient;
    own.port = device.port();
    QVERIFY(fixture().connect(own));
    QTemporaryDir dir;
    const QString record = dir.filePath(QStringLiteral("monitor.jsonl"));
    QVERIFY(fixture()->traffic()->startRecording(record));

    MonitorPane *pane = openPane();
    QVERIFY(pane->isVisible());
    startWith(EtherServerOption(0), EtherClientOption(device.port()));
    QVERIFY2(pane->isRunning(), qPrintable(fixture().control<QLabel>("lblMonStatus")->text()));
    QVERIFY(!fixture().control("cmdMonStart")->isEnabled());
    const QString address = pane->hostAddress();
    PeerProcess host;
    QVERIFY(host.start({"--option", EtherClientOption(address.mid(address.lastIndexOf(u':') + 1).toUShort()), "--send",
                        "START"}));
    QVERIFY(host.waitForFinished(kWaitMs));
    QCOMPARE(host.answers(), QStringList{"0"});

    const MonitorRowModel &rows = *pane->model();
    QVERIFY(WaitFor([&] { return FindRow(rows, "device", "answer") >= 0; }, kWaitMs));
    const int request = FindRow(rows, "host", "request");
    QVERIFY(request >= 0);
    QCOMPARE(rows.index(request, MonitorRowModel::Text).data().toString(), QStringLiteral("START"));
    const int answer = FindRow(rows, "device", "answer");
    QCOMPARE(rows.index(answer, MonitorRowModel::Text).data().toString(), QStringLiteral("0"));
    QVERIFY(rows.index(answer, MonitorRowModel::AnswerMs).data().toDouble() > 0);
    QVERIFY(WaitFor([this] { return fixture().control<QLabel>("lblMonStats")->text().contains("START"); }, kWaitMs));

    fixture().click("cmdMonStop");
    QVERIFY(!pane->isRunning());
    QVERIFY(fixture().control("cmdMonStart")->isEnabled());
    fixture()->traffic()->stopRecording();
    QFile file(record);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray recorded = file.readAll();
    QVERIFY(recorded.contains(R"("text":"START")"));
    QVERIFY(recorded.contains(R"("side":"device")"));

    // Started again, it counts anew; a recording begun meanwhile hears what is open.
    fixture().click("cmdMonStart");
    QVERIFY(pane->isRunning());
    QVERIFY(!fixture().control<QLabel>("lblMonStats")->text().contains("START"));
    QTcpSocket another;
    another.connectToHost(QHostAddress::LocalHost, pane->hostAddress().section(u':', -1).toUShort());
    QVERIFY(WaitFor([&] { return CountRows(rows, "device", "connected") == 2; }, kWaitMs));
    const QString second = dir.filePath(QStringLiteral("second.jsonl"));
    QVERIFY(fixture()->traffic()->startRecording(second));
    fixture()->traffic()->stopRecording();
    QFile secondFile(second);
    QVERIFY(secondFile.open(QIODevice::ReadOnly));
    // The host side and the pair's two ends, besides the window's own connection.
    int announced = 0;
    for (const QByteArray &line : secondFile.readAll().split('\n'))
        announced += line.contains("\"text\":\"open since ") && line.contains("\"side\":");
    QCOMPARE(announced, 3);
}

void tst_MonitorPane::showsWhatCannotOpen_data()
{
    QTest::addColumn<bool>("hostTaken");
    QTest::addColumn<QString>("side");
    QTest::newRow("host port taken") << true << "host";
    QTest::newRow("device refuses") << false << "device";
}

// Start stays possible and the reason shows, red, in the status and as a row of its side.
void tst_MonitorPane::showsWhatCannotOpen()
{
    QFETCH(bool, hostTaken);
    QFETCH(QString, side);
    QTcpServer taken;
    QVERIFY(taken.listen(QHostAddress::LocalHost, 0));
    MonitorPane *pane = openPane();
    startWith(EtherServerOption(hostTaken ? taken.serverPort() : 0), EtherClientOption(FreePort()));
    QTcpSocket client;
    if (!hostTaken) {
        const QString address = pane->hostAddress();
        client.connectToHost(QHostAddress::LocalHost, address.mid(address.lastIndexOf(u':') + 1).toUShort());
        QVERIFY(WaitFor([&] { return client.state() == QAbstractSocket::UnconnectedState; }, kWaitMs));
    }
    auto *status = fixture().control<QLabel>("lblMonStatus");
    QVERIFY(WaitFor([&] { return status->property("error").toBool(); }, kWaitMs));
    QVERIFY2(!status->text().isEmpty(), qPrintable(status->text()));
    QVERIFY(WaitFor([&] { return FindRow(*pane->model(), side, "error") >= 0; }, kWaitMs));
    QCOMPARE(pane->isRunning(), !hostTaken);
}

// Each side's dialog gives its option string; File > Connect's dialog keeps its own settings.
void tst_MonitorPane::setsSidesInDialogsOfTheirOwn()
{
    openPane();
    frmConn *own = frmConn::instance();
    const int ownType = own->settings().connType;
    const QString ownOption = own->connectOption();
    fixture().click("cmdMonHostSet");
    auto *dialog = fixture()->findChild<frmConn *>("frmConnMonHost");
    QVERIFY(dialog && dialog != own);
    QVERIFY(WaitFor([dialog] { return dialog->isVisible(); }, kWaitMs));
    QVERIFY(Choose(Control<QComboBox>(dialog, "cmbConnType"), QStringLiteral("Ether(Server)")));
    Type(Control<QLineEdit>(dialog, "txtPortNumber"), QStringLiteral("5123"));
    Click(Control(dialog, "cmdOK"));
    QVERIFY(WaitFor([dialog] { return !dialog->isVisible(); }, kWaitMs));
    const QString host = fixture().control<QLineEdit>("txtMonHost")->text();
    QVERIFY2(host.contains("Conn=eth::5123") && host.contains("EtherOpt=1"), qPrintable(host));
    QCOMPARE(own->settings().connType, ownType);
    QCOMPARE(own->connectOption(), ownOption);
}

KEL_WINDOW_TEST_MAIN(tst_MonitorPane)
#include "tst_monitorpane.moc"
