// Connect, Disconnect and the window states, against kelpeer and pseudo-terminals.

#include "Captions.h"
#include "LoopbackPort.h"
#include "MainWindowFixture.h"
#include "MivController.h"
#include "MivEngine.h"
#include "MivError.h"
#include "PeerOptions.h"
#include "PeerProcess.h"
#include "ProcessEngine.h"
#include "PtyPair.h"
#include "TesterSession.h"
#include "WindowTestMain.h"
#include "frmConn.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>

#include <memory>

namespace {

constexpr int kComPort = 7;

// What a user sees of the window, for before/after comparisons.
struct WindowState
{
    QString caption, status;
    QList<LogEntry> lines;
    bool request, reply, performance, disconnectMenu;
    MivController *controller;
};

WindowState StateOf(const MainWindowFixture &ui)
{
    return {ui->windowTitle(),
            ui.status(),
            ui.log(),
            ui.control("cmdSend")->isEnabled(),
            ui.control("cmdSet")->isEnabled(),
            ui.control("cmdPerfchk")->isEnabled(),
            Command(ui.window.get(), "mnuFileDisconn")->isEnabled(),
            ui->mivCtrl()};
}

ConnChoice Settings(ConnType type, quint16 port, bool sync)
{
    ConnChoice settings;
    settings.type = type;
    settings.port = port;
    settings.comPort = kComPort;
    settings.sync = sync;
    return settings;
}

// The controls of each panel follow it: "1" for an enabled control, "0" for a disabled one.
QString Enabled(const MainWindowFixture &ui, const QStringList &names)
{
    QString bits;
    for (const QString &name : names)
        bits += ui.control(name)->isEnabled() ? u'1' : u'0';
    return bits;
}

} // namespace

Q_DECLARE_METATYPE(QList<LogEntry>)

class tst_MainWindowConnect : public MainWindowTest
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void cleanupTestCase() { m_device.reset(); }

    void startsNotConnected();
    void cancelLeavesEverything_data();
    void cancelLeavesEverything();
    void connectionTypes_data();
    void connectionTypes();
    void reconnectRemovesOldControllerFirst();
    void logOffStillConnects();
    void disconnectWithNothingConnected();
    void disconnectWhileConnected();
    void refusedConnect();
    void versionBox();
    void performanceOpensAndRemovesVariable();
    void performanceWithoutControllerFails();
    void closingEndsProgram_data();
    void closingEndsProgram(); // runs the application's event loop: keep it last

private:
    std::unique_ptr<PeerProcess> m_device; // kelpeer answering on TCP
};

void tst_MainWindowConnect::initTestCase()
{
    m_device = std::make_unique<PeerProcess>();
    QVERIFY2(m_device->start({QStringLiteral("--option"), EtherServerOption(0)}),
             qPrintable(m_device->errorOutput()));
    QVERIFY(m_device->port() != 0);
}

void tst_MainWindowConnect::cleanup()
{
    MainWindowTest::cleanup();
    // A window that went leaves its controller in the engine: drop it for the next test.
    auto &controllers = g_mivEngine->Workspaces().Item(0)->Controllers();
    while (controllers.Count() > 0)
        controllers.Remove(controllers.items().begin()->first);
}

void tst_MainWindowConnect::startsNotConnected()
{
    MainWindowFixture &ui = fixture();
    QCOMPARE(ui->windowTitle(), QStringLiteral("KELTester - (No Connection)"));
    QCOMPARE(ui.status(), QStringLiteral("Ready."));
    QCOMPARE(ui.logCount(), 0);
    QVERIFY(Command(ui.window.get(), "mnuFileConn")->isEnabled());
    QVERIFY(!Command(ui.window.get(), "mnuFileDisconn")->isEnabled());
    QCOMPARE(Enabled(ui, {"cmbTopCmd", "cmdSend", "txtHRESULT", "cmdSet", "txtVarName(0)", "cmdPerfchk"}),
             QStringLiteral("000000"));
    QCOMPARE(ui.control<QComboBox>("cmbVTType")->currentText(), QStringLiteral("(nothing)"));
    QCOMPARE(ui.control<QComboBox>("cmbTopCmd")->currentText(), QStringLiteral("START"));
    QVERIFY(ui.control<QCheckBox>("chkLog")->isChecked());
    QVERIFY(ui.control<QCheckBox>("chkInterp")->isChecked());
}

void tst_MainWindowConnect::cancelLeavesEverything_data()
{
    QTest::addColumn<bool>("connectedFirst");
    QTest::newRow("not connected") << false;
    QTest::newRow("connected") << true;
}

void tst_MainWindowConnect::cancelLeavesEverything()
{
    QFETCH(bool, connectedFirst);
    MainWindowFixture &ui = fixture();
    if (connectedFirst) {
        QVERIFY(ConnectThroughDialog(*ui, Settings(EtherClient, m_device->port(), true)));
        QTest::qWait(300); // let the connection's own messages arrive first
    }
    ui->SetStatus(QStringLiteral("before"));
    const WindowState before = StateOf(ui);
    QVERIFY(ConnectThroughDialog(*ui, Settings(EtherServer, 0, false), false));
    const WindowState after = StateOf(ui);
    QCOMPARE(after.caption, before.caption);
    QCOMPARE(after.status, before.status);
    QCOMPARE(after.lines, before.lines);
    QCOMPARE(after.request, before.request);
    QCOMPARE(after.reply, before.reply);
    QCOMPARE(after.performance, before.performance);
    QCOMPARE(after.disconnectMenu, before.disconnectMenu);
    QCOMPARE(after.controller, before.controller);
    QVERIFY(ui.boxes.isEmpty());
}

void tst_MainWindowConnect::connectionTypes_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("sync");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("panels"); // request, reply, performance as 0/1
    QTest::addColumn<bool>("interp");
    QTest::addColumn<int>("client");
    QTest::addColumn<QList<LogEntry>>("lines");

    const LogEntry connect{QStringLiteral("Connect\t\t"), QStringLiteral("Succeeded")};
    const LogEntry set{QStringLiteral("Set\t\t"), QStringLiteral("AutoReply\"0\", Delay=0")};
    QTest::newRow("Ether(Client) Sync") << int(EtherClient) << true
        << "KELTester - (Ether[Client], 127.0.0.1, Sync)" << "101" << false << 1 << QList<LogEntry>{connect};
    QTest::newRow("Ether(Client) ASync") << int(EtherClient) << false
        << "KELTester - (Ether[Client], 127.0.0.1, ASync)" << "100" << true << 1 << QList<LogEntry>{connect};
    QTest::newRow("Ether(Server)") << int(EtherServer) << true
        << "KELTester - (Ether[Server], 10)" << "110" << false << 0 << QList<LogEntry>{connect, set};
    QTest::newRow("COM(Client) Sync") << int(ComClient) << true
        << "KELTester - (COM[Client], 7, Sync)" << "101" << false << 1 << QList<LogEntry>{connect};
    QTest::newRow("COM(Client) ASync") << int(ComClient) << false
        << "KELTester - (COM[Client], 7, ASync)" << "100" << true << 1 << QList<LogEntry>{connect};
    QTest::newRow("COM(Server)") << int(ComServer) << true
        << "KELTester - (COM[Server], 7)" << "010" << false << 0 << QList<LogEntry>{connect, set};
}

void tst_MainWindowConnect::connectionTypes()
{
    QFETCH(int, type);
    QFETCH(bool, sync);
    QFETCH(QString, caption);
    QFETCH(QString, panels);
    QFETCH(bool, interp);
    QFETCH(int, client);
    QFETCH(QList<LogEntry>, lines);
    MainWindowFixture &ui = fixture();

    PtyPair pty;
    if (type == ComClient || type == ComServer) {
        QVERIFY2(pty.start(), qPrintable(pty.errorString()));
        qputenv("MIV_COM7", pty.first().toUtf8());
    }
    ui->session().m_lClient = 1 - client;
    QVERIFY(ConnectThroughDialog(*ui, Settings(ConnType(type), type == EtherClient ? m_device->port() : 0, sync)));
    QVERIFY2(ui.boxes.isEmpty(), qPrintable(ui.boxes.texts().join(u'\n')));
    QVERIFY(ui->mivCtrl());

    QCOMPARE(ui->windowTitle(), caption);
    QCOMPARE(Enabled(ui, {"cmdSend", "cmdSet", "cmdPerfchk"}), panels);
    // Every control of a panel follows it.
    QCOMPARE(Enabled(ui, {"cmbTopCmd", "txtKELCmd(3)", "cmdClear"}), QString(3, panels[0]));
    QCOMPARE(Enabled(ui, {"txtHRESULT", "cmbVTType", "txtDelay"}), QString(3, panels[1]));
    QVERIFY(!ui.control("txtValue")->isEnabled()); // "(nothing)" keeps it off even with the panel on
    QCOMPARE(Enabled(ui, {"txtVarName(2)"}), QString(1, panels[2]));
    QCOMPARE(ui.control("chkInterp")->isEnabled(), interp);
    QCOMPARE(ui->session().m_lClient, client);
    QVERIFY(Command(ui.window.get(), "mnuFileDisconn")->isEnabled());
    QCOMPARE(ui.status(), QStringLiteral("Ready."));
    QCOMPARE(ui.log(), lines);

    Command(ui.window.get(), "mnuFileDisconn")->trigger();
    QVERIFY(!ui->mivCtrl());
    qunsetenv("MIV_COM7");
}

void tst_MainWindowConnect::reconnectRemovesOldControllerFirst()
{
    MainWindowFixture &ui = fixture();
    QVERIFY(ConnectThroughDialog(*ui, Settings(EtherClient, m_device->port(), true)));
    QPointer<MivController> first = ui->mivCtrl();
    QVERIFY(first);
    QVERIFY(ConnectThroughDialog(*ui, Settings(EtherClient, m_device->port(), false)));
    QVERIFY(!first); // removed from the engine, not merely forgotten
    QVERIFY(ui->mivCtrl());
    QCOMPARE(g_mivEngine->Workspaces().Item(0)->Controllers().Count(), 1);
    const QList<LogEntry> expected{{LogCaption::Connect, LogOutcome::Succeeded},
                                   {LogCaption::Disconnect, LogOutcome::Succeeded},
                                   {LogCaption::Connect, LogOutcome::Succeeded}};
    QCOMPARE(ui.log(), expected);
}

void tst_MainWindowConnect::logOffStillConnects()
{
    MainWindowFixture &ui = fixture();
    ui->SetStatus(QStringLiteral("untouched"));
    ui.control<QCheckBox>("chkLog")->setChecked(false);
    QVERIFY(ConnectThroughDialog(*ui, Settings(EtherServer, 0, true)));
    QVERIFY(ui->mivCtrl());
    QVERIFY(!ui->session().m_strAutoReply.isEmpty()); // Set still ran
    QCOMPARE(ui.logCount(), 0);
    QCOMPARE(ui.status(), QStringLiteral("untouched"));
    Command(ui.window.get(), "mnuFileDisconn")->trigger();
    QVERIFY(!ui->mivCtrl());
    QCOMPARE(ui.logCount(), 0);
}

void tst_MainWindowConnect::disconnectWithNothingConnected()
{
    MainWindowFixture &ui = fixture();
    QAction *disconnect = Command(ui.window.get(), "mnuFileDisconn");
    ui->setWindowTitle(QStringLiteral("something else"));
    ui->EnableRequest(true);
    ui->EnableReply(true);
    ui->EnablePerformance(true);
    disconnect->setEnabled(true);
    ui.control("chkInterp")->setEnabled(false);
    ui->mnuFileDisconn_Click();
    QCOMPARE(ui->windowTitle(), QStringLiteral("KELTester - (No Connection)"));
    QVERIFY(!disconnect->isEnabled());
    QCOMPARE(Enabled(ui, {"cmdSend", "cmdSet", "cmdPerfchk", "chkInterp"}), QStringLiteral("0001"));
    QCOMPARE(ui.logCount(), 0);
    QVERIFY(ui.boxes.isEmpty());
}

void tst_MainWindowConnect::disconnectWhileConnected()
{
    MainWindowFixture &ui = fixture();
    QVERIFY(ConnectThroughDialog(*ui, Settings(EtherClient, m_device->port(), true)));
    Command(ui.window.get(), "mnuFileDisconn")->trigger();
    QVERIFY(!ui->mivCtrl());
    QCOMPARE(g_mivEngine->Workspaces().Item(0)->Controllers().Count(), 0);
    QCOMPARE(ui.log().last(), (LogEntry{LogCaption::Disconnect, LogOutcome::Succeeded}));
    QCOMPARE(ui->windowTitle(), QStringLiteral("KELTester - (No Connection)"));
    QVERIFY(!Command(ui.window.get(), "mnuFileDisconn")->isEnabled());
}

void tst_MainWindowConnect::refusedConnect()
{
    MainWindowFixture &ui = fixture();
    const quint16 port = FreePort();
    QVERIFY(ConnectThroughDialog(*ui, Settings(EtherClient, port, true)));
    QVERIFY(!ui->mivCtrl());
    const QList<LogEntry> expected{{LogCaption::Connect, LogOutcome::Failed}};
    QCOMPARE(ui.log(), expected);
    QCOMPARE(ui.status(), QStringLiteral("Ready."));
    QCOMPARE(ui->windowTitle(), QStringLiteral("KELTester - (No Connection)"));
    QVERIFY(!Command(ui.window.get(), "mnuFileDisconn")->isEnabled());

    // The box shows what the engine says about this very option string.
    QString description;
    try {
        g_mivEngine->Workspaces().Item(0)->AddController(QString(), QStringLiteral("MivProv.KEL"),
                                                         QStringLiteral("localhost"),
                                                         frmConn::instance()->connectOption());
    } catch (const MivError &error) {
        description = error.description();
    }
    QVERIFY(!description.isEmpty());
    QCOMPARE(ui.boxes.texts(), QStringList{description});
}

void tst_MainWindowConnect::versionBox()
{
    Command(fixture().window.get(), "mnuHelpVersion")->trigger();
    QCOMPARE(fixture().boxes.texts(), QStringList{QStringLiteral("tst_mainwindow_connect version " KEL_VERSION)});
}

void tst_MainWindowConnect::performanceOpensAndRemovesVariable()
{
    MainWindowFixture &ui = fixture();
    QVERIFY(ConnectThroughDialog(*ui, Settings(EtherClient, m_device->port(), true)));
    QVERIFY(ui.control("cmdPerfchk")->isEnabled());
    const QStringList name{QStringLiteral("AXIS"), QStringLiteral("1"), QStringLiteral("POS")};
    for (int i = 0; i < int(name.size()); ++i)
        ui.control<QLineEdit>(Element("txtVarName", i))->setText(name[i]);
    MivController *controller = ui->mivCtrl();

    QString seenName;
    qint32 seenCount = -1;
    bool closed = false;
    QTimer::singleShot(0, ui.window.get(), [&] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || modal == frmConn::instance())
            return;
        seenCount = controller->Variables().Count();
        if (seenCount == 1)
            seenName = controller->Variables().items().begin()->second->Name();
        static_cast<QDialog *>(modal)->close();
        closed = true;
    });
    ui.click("cmdPerfchk");
    QVERIFY(closed);
    QCOMPARE(seenCount, 1);
    QCOMPARE(seenName, QStringLiteral("AXIS:1:POS"));
    QCOMPARE(controller->Variables().Count(), 0);
    QVERIFY(ui.boxes.isEmpty());
}

void tst_MainWindowConnect::performanceWithoutControllerFails()
{
    MainWindowFixture &ui = fixture();
    ui->cmdPerfchk_Click();
    const QList<LogEntry> expected{{LogCaption::Performance, LogOutcome::Failed}};
    QCOMPARE(ui.log(), expected);
    QCOMPARE(ui.boxes.texts().size(), 1);
    QCOMPARE(ui.status(), QStringLiteral("Ready."));
}

void tst_MainWindowConnect::closingEndsProgram_data()
{
    QTest::addColumn<bool>("byMenu");
    QTest::newRow("File > Exit") << true;
    QTest::newRow("close box") << false;
}

void tst_MainWindowConnect::closingEndsProgram()
{
    QFETCH(bool, byMenu);
    frmKELTester &w = *fixture();
    QVERIFY(ConnectThroughDialog(w, Settings(EtherClient, m_device->port(), true)));
    QVERIFY(w.mivCtrl());
    // The dialog now exists, hidden; it must not keep the program alive.
    QVERIFY(!frmConn::instance()->isVisible());
    QApplication::setQuitOnLastWindowClosed(true);
    QTimer::singleShot(0, &w, [&w, byMenu] {
        if (byMenu)
            Command(&w, "mnuFileExit")->trigger();
        else
            w.close();
    });
    QTimer::singleShot(5000, &w, [] { QApplication::exit(2); });
    const int status = QApplication::exec();
    QApplication::setQuitOnLastWindowClosed(false);
    QCOMPARE(status, 0);
    QVERIFY(!w.isVisible());
}

KEL_WINDOW_TEST_MAIN(tst_MainWindowConnect)
#include "tst_mainwindow_connect.moc"
