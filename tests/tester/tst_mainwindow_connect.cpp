// Connect, Disconnect and the window states, against kelpeer and pseudo-terminals.

#include "EngineObjects.h"
#include "MainWindowDriver.h"
#include "UserActions.h"
#include "MessagingHarness.h"

#include "MivController.h"
#include "MivConverter.h"
#include "MivEngine.h"
#include "MivError.h"
#include "PeerProcess.h"
#include "LoopbackPort.h"
#include "PtyPair.h"
#include "frmConn.h"
#include "frmKELTester.h"
#include "modMain.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace Messaging;
using namespace MainWindowDriver;

namespace {

constexpr int kComPort = 7;
constexpr int kComClient = 0, kComServer = 1, kEtherClient = 2, kEtherServer = 3;
const QString kConnect = QStringLiteral("Connect\t\t");
const QString kDisconnect = QStringLiteral("Disconnect\t");
const QString kSucceeded = QStringLiteral("Succeeded");

// What a user sees of the window, for before/after comparisons.
struct WindowState
{
    QString caption, status;
    QStringList lines;
    bool request, reply, performance, disconnectMenu;
    MivController *controller;
};

WindowState StateOf(const frmKELTester &w)
{
    QStringList lines;
    for (const LogEntry &e : LogEntries(w))
        lines << e.caption + e.value;
    return {w.windowTitle(),          w.statusText(),          lines,
            w.cmdSend->isEnabled(),   w.cmdSet->isEnabled(),   w.cmdPerfchk->isEnabled(),
            w.mnuFileDisconn->isEnabled(), w.mivCtrl()};
}

std::function<void(frmConn *)> Fill(int type, quint16 port, bool sync, const QString &ip = QStringLiteral("127.0.0.1"))
{
    return [=](frmConn *d) {
        d->cmbConnType->setCurrentIndex(type);
        d->txtIPAddress->setText(ip);
        d->txtPortNumber->setText(QString::number(port));
        d->txtComPort->setText(QString::number(kComPort));
        d->txtConnMax->setText(QStringLiteral("10"));
        d->txtTimeout->setText(QStringLiteral("1000"));
        if (d->chkSync->isEnabled())
            d->chkSync->setChecked(sync);
    };
}

} // namespace

class tst_MainWindowConnect : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

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
    std::unique_ptr<frmKELTester> m_window;
    std::unique_ptr<PeerProcess> m_device; // kelpeer answering on TCP
    std::unique_ptr<MessageBoxSpy> m_boxes;
};

void tst_MainWindowConnect::initTestCase()
{
    QApplication::setApplicationVersion(QStringLiteral(KEL_VERSION));
    QApplication::setQuitOnLastWindowClosed(false);
    g_mivEngine = new MivEngine;
    g_mivConverter = new MivConverter;
    m_device = std::make_unique<PeerProcess>();
    QVERIFY2(m_device->start({QStringLiteral("--option"), EtherServerOption(0)}),
             qPrintable(m_device->errorOutput()));
    QVERIFY(m_device->port() != 0);
}

void tst_MainWindowConnect::init()
{
    m_boxes = std::make_unique<MessageBoxSpy>();
    m_window = std::make_unique<frmKELTester>();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void tst_MainWindowConnect::cleanup()
{
    m_window.reset();
    m_boxes.reset();
    // A window that went leaves its controller in the engine: drop it for the next test.
    auto &controllers = g_mivEngine->Workspaces().Item(0)->Controllers();
    while (controllers.Count() > 0)
        controllers.Remove(controllers.items().begin()->first);
}

void tst_MainWindowConnect::cleanupTestCase()
{
    m_device.reset();
    delete g_mivEngine;
    g_mivEngine = nullptr;
    delete g_mivConverter;
    g_mivConverter = nullptr;
}

void tst_MainWindowConnect::startsNotConnected()
{
    frmKELTester &w = *m_window;
    QCOMPARE(w.windowTitle(), QStringLiteral("KELTester - (No Connection)"));
    QCOMPARE(w.statusText(), QStringLiteral("Ready."));
    QCOMPARE(LogCount(w), 0);
    QVERIFY(w.mnuFileConn->isEnabled());
    QVERIFY(!w.mnuFileDisconn->isEnabled());
    for (QWidget *c : {static_cast<QWidget *>(w.cmbTopCmd), static_cast<QWidget *>(w.cmdSend),
                       static_cast<QWidget *>(w.txtHRESULT), static_cast<QWidget *>(w.cmdSet),
                       static_cast<QWidget *>(w.txtVarName[0]), static_cast<QWidget *>(w.cmdPerfchk)})
        QVERIFY2(!c->isEnabled(), qPrintable(c->objectName()));
    QCOMPARE(w.cmbVTType->currentText(), QStringLiteral("(nothing)"));
    QCOMPARE(w.cmbTopCmd->currentText(), QStringLiteral("START"));
    QVERIFY(w.chkLog->isChecked());
    QVERIFY(w.chkInterp->isChecked());
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
    frmKELTester &w = *m_window;
    if (connectedFirst) {
        QVERIFY(ConnectWith(w, Fill(kEtherClient, m_device->port(), true)));
        QTest::qWait(300); // let the connection's own messages arrive first
    }
    w.SetStatus(QStringLiteral("before"));
    const WindowState before = StateOf(w);
    QVERIFY(ConnectWith(w, Fill(kEtherServer, 0, false), false));
    const WindowState after = StateOf(w);
    QCOMPARE(after.caption, before.caption);
    QCOMPARE(after.status, before.status);
    QCOMPARE(after.lines, before.lines);
    QCOMPARE(after.request, before.request);
    QCOMPARE(after.reply, before.reply);
    QCOMPARE(after.performance, before.performance);
    QCOMPARE(after.disconnectMenu, before.disconnectMenu);
    QCOMPARE(after.controller, before.controller);
    QVERIFY(m_boxes->texts().isEmpty());
}

void tst_MainWindowConnect::connectionTypes_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("sync");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("panels"); // request, reply, performance as 0/1
    QTest::addColumn<bool>("interp");
    QTest::addColumn<int>("client");
    QTest::addColumn<QStringList>("lines");

    const QString connect = kConnect + kSucceeded;
    const QString set = QStringLiteral("Set\t\tAutoReply\"0\", Delay=0");
    QTest::newRow("Ether(Client) Sync") << kEtherClient << true
        << "KELTester - (Ether[Client], 127.0.0.1, Sync)" << "101" << false << 1 << QStringList{connect};
    QTest::newRow("Ether(Client) ASync") << kEtherClient << false
        << "KELTester - (Ether[Client], 127.0.0.1, ASync)" << "100" << true << 1 << QStringList{connect};
    QTest::newRow("Ether(Server)") << kEtherServer << true
        << "KELTester - (Ether[Server], 10)" << "110" << false << 0 << QStringList{connect, set};
    QTest::newRow("COM(Client) Sync") << kComClient << true
        << "KELTester - (COM[Client], 7, Sync)" << "101" << false << 1 << QStringList{connect};
    QTest::newRow("COM(Client) ASync") << kComClient << false
        << "KELTester - (COM[Client], 7, ASync)" << "100" << true << 1 << QStringList{connect};
    QTest::newRow("COM(Server)") << kComServer << true
        << "KELTester - (COM[Server], 7)" << "010" << false << 0 << QStringList{connect, set};
}

void tst_MainWindowConnect::connectionTypes()
{
    QFETCH(int, type);
    QFETCH(bool, sync);
    QFETCH(QString, caption);
    QFETCH(QString, panels);
    QFETCH(bool, interp);
    QFETCH(int, client);
    QFETCH(QStringList, lines);

    PtyPair pty;
    if (type == kComClient || type == kComServer) {
        QVERIFY2(pty.start(), qPrintable(pty.errorString()));
        qputenv("MIV_COM7", pty.first().toUtf8());
    }
    frmKELTester &w = *m_window;
    w.m_lClient = 1 - client;
    QVERIFY(ConnectWith(w, Fill(type, type == kEtherClient ? m_device->port() : 0, sync)));
    QVERIFY2(m_boxes->texts().isEmpty(), qPrintable(m_boxes->texts().join(u'\n')));
    QVERIFY(w.mivCtrl());

    QCOMPARE(w.windowTitle(), caption);
    const QString actual = QString::number(w.cmdSend->isEnabled()) + QString::number(w.cmdSet->isEnabled())
                           + QString::number(w.cmdPerfchk->isEnabled());
    QCOMPARE(actual, panels);
    // Every control of a panel follows it.
    for (QWidget *c : {static_cast<QWidget *>(w.cmbTopCmd), static_cast<QWidget *>(w.txtKELCmd[3]),
                       static_cast<QWidget *>(w.cmdClear)})
        QCOMPARE(c->isEnabled(), panels[0] == u'1');
    for (QWidget *c : {static_cast<QWidget *>(w.txtHRESULT), static_cast<QWidget *>(w.cmbVTType),
                       static_cast<QWidget *>(w.txtDelay)})
        QCOMPARE(c->isEnabled(), panels[1] == u'1');
    QVERIFY(!w.txtValue->isEnabled()); // "(nothing)" keeps it off even with the panel on
    QCOMPARE(w.txtVarName[2]->isEnabled(), panels[2] == u'1');
    QCOMPARE(w.chkInterp->isEnabled(), interp);
    QCOMPARE(w.m_lClient, client);
    QVERIFY(w.mnuFileDisconn->isEnabled());
    QCOMPARE(w.statusText(), QStringLiteral("Ready."));

    QStringList got;
    for (const LogEntry &e : LogEntries(w))
        got << e.caption + e.value;
    QCOMPARE(got, lines);

    w.mnuFileDisconn->trigger();
    QVERIFY(!w.mivCtrl());
    qunsetenv("MIV_COM7");
}

void tst_MainWindowConnect::reconnectRemovesOldControllerFirst()
{
    frmKELTester &w = *m_window;
    QVERIFY(ConnectWith(w, Fill(kEtherClient, m_device->port(), true)));
    QPointer<MivController> first = w.mivCtrl();
    QVERIFY(first);
    QVERIFY(ConnectWith(w, Fill(kEtherClient, m_device->port(), false)));
    QVERIFY(!first); // removed from the engine, not merely forgotten
    QVERIFY(w.mivCtrl());
    QCOMPARE(g_mivEngine->Workspaces().Item(0)->Controllers().Count(), 1);
    const QList<LogEntry> expected{{kConnect, kSucceeded}, {kDisconnect, kSucceeded}, {kConnect, kSucceeded}};
    QCOMPARE(LogEntries(w), expected);
}

void tst_MainWindowConnect::logOffStillConnects()
{
    frmKELTester &w = *m_window;
    w.SetStatus(QStringLiteral("untouched"));
    w.chkLog->setChecked(false);
    QVERIFY(ConnectWith(w, Fill(kEtherServer, 0, true)));
    QVERIFY(w.mivCtrl());
    QVERIFY(!w.m_strAutoReply.isEmpty()); // Set still ran
    QCOMPARE(LogCount(w), 0);
    QCOMPARE(w.statusText(), QStringLiteral("untouched"));
    w.mnuFileDisconn->trigger();
    QVERIFY(!w.mivCtrl());
    QCOMPARE(LogCount(w), 0);
}

void tst_MainWindowConnect::disconnectWithNothingConnected()
{
    frmKELTester &w = *m_window;
    w.setWindowTitle(QStringLiteral("something else"));
    w.EnableRequest(true);
    w.EnableReply(true);
    w.EnablePerformance(true);
    w.mnuFileDisconn->setEnabled(true);
    w.chkInterp->setEnabled(false);
    w.mnuFileDisconn_Click();
    QCOMPARE(w.windowTitle(), QStringLiteral("KELTester - (No Connection)"));
    QVERIFY(!w.mnuFileDisconn->isEnabled());
    QVERIFY(!w.cmdSend->isEnabled());
    QVERIFY(!w.cmdSet->isEnabled());
    QVERIFY(!w.cmdPerfchk->isEnabled());
    QVERIFY(w.chkInterp->isEnabled());
    QCOMPARE(LogCount(w), 0);
    QVERIFY(m_boxes->texts().isEmpty());
}

void tst_MainWindowConnect::disconnectWhileConnected()
{
    frmKELTester &w = *m_window;
    QVERIFY(ConnectWith(w, Fill(kEtherClient, m_device->port(), true)));
    w.mnuFileDisconn->trigger();
    QVERIFY(!w.mivCtrl());
    QCOMPARE(g_mivEngine->Workspaces().Item(0)->Controllers().Count(), 0);
    QCOMPARE(LogEntries(w).last(), (LogEntry{kDisconnect, kSucceeded}));
    QCOMPARE(w.windowTitle(), QStringLiteral("KELTester - (No Connection)"));
    QVERIFY(!w.mnuFileDisconn->isEnabled());
}

void tst_MainWindowConnect::refusedConnect()
{
    frmKELTester &w = *m_window;
    const quint16 port = FreePort();
    QVERIFY(ConnectWith(w, Fill(kEtherClient, port, true)));
    QVERIFY(!w.mivCtrl());
    const QList<LogEntry> expected{{kConnect, QStringLiteral("Failed")}};
    QCOMPARE(LogEntries(w), expected);
    QCOMPARE(w.statusText(), QStringLiteral("Ready."));
    QCOMPARE(w.windowTitle(), QStringLiteral("KELTester - (No Connection)"));
    QVERIFY(!w.mnuFileDisconn->isEnabled());

    // The box shows what the engine says about this very option string.
    QString description;
    try {
        g_mivEngine->Workspaces().Item(0)->AddController(QString(), QStringLiteral("MivProv.KEL"),
                                                         QStringLiteral("localhost"),
                                                         frmConn::instance()->m_strConnectOption);
    } catch (const MivError &error) {
        description = error.description();
    }
    QVERIFY(!description.isEmpty());
    QCOMPARE(m_boxes->texts(), QStringList{description});
}

void tst_MainWindowConnect::versionBox()
{
    m_window->mnuHelpVersion->trigger();
    QCOMPARE(m_boxes->texts(), QStringList{QStringLiteral("tst_mainwindow_connect version " KEL_VERSION)});
}

void tst_MainWindowConnect::performanceOpensAndRemovesVariable()
{
    frmKELTester &w = *m_window;
    QVERIFY(ConnectWith(w, Fill(kEtherClient, m_device->port(), true)));
    QVERIFY(w.cmdPerfchk->isEnabled());
    w.txtVarName[0]->setText(QStringLiteral("AXIS"));
    w.txtVarName[1]->setText(QStringLiteral("1"));
    w.txtVarName[2]->setText(QStringLiteral("POS"));
    MivController *controller = w.mivCtrl();

    QString seenName;
    qint32 seenCount = -1;
    bool closed = false;
    QTimer::singleShot(0, &w, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || modal == frmConn::instance())
            return;
        seenCount = controller->Variables().Count();
        if (seenCount == 1)
            seenName = controller->Variables().items().begin()->second->Name();
        static_cast<QDialog *>(modal)->close();
        closed = true;
    });
    UserActions::Click(w.cmdPerfchk);
    QVERIFY(closed);
    QCOMPARE(seenCount, 1);
    QCOMPARE(seenName, QStringLiteral("AXIS:1:POS"));
    QCOMPARE(controller->Variables().Count(), 0);
    QVERIFY(m_boxes->texts().isEmpty());
}

void tst_MainWindowConnect::performanceWithoutControllerFails()
{
    frmKELTester &w = *m_window;
    w.cmdPerfchk_Click();
    const QList<LogEntry> expected{{QStringLiteral("Performance\t"), QStringLiteral("Failed")}};
    QCOMPARE(LogEntries(w), expected);
    QCOMPARE(m_boxes->texts().size(), 1);
    QCOMPARE(w.statusText(), QStringLiteral("Ready."));
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
    frmKELTester &w = *m_window;
    QVERIFY(ConnectWith(w, Fill(kEtherClient, m_device->port(), true)));
    QVERIFY(w.mivCtrl());
    // The dialog now exists, hidden; it must not keep the program alive.
    QVERIFY(!frmConn::instance()->isVisible());
    QApplication::setQuitOnLastWindowClosed(true);
    QTimer::singleShot(0, &w, [&w, byMenu] {
        if (byMenu)
            w.mnuFileExit->trigger();
        else
            w.close();
    });
    QTimer::singleShot(5000, &w, [] { QApplication::exit(2); });
    const int status = QApplication::exec();
    QApplication::setQuitOnLastWindowClosed(false);
    QCOMPARE(status, 0);
    QVERIFY(!w.isVisible());
}

QTEST_MAIN(tst_MainWindowConnect)
#include "tst_mainwindow_connect.moc"
