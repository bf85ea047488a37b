// Send and Clear of the Request panel, end to end against kelpeer as the device.

#include "Captions.h"
#include "MainWindowFixture.h"
#include "MivController.h"
#include "PeerOptions.h"
#include "PeerProcess.h"
#include "PtyPair.h"
#include "WindowTestMain.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

namespace {

QString CommandText(const QString &request)
{
    QStringList parts = request.split(u'|');
    while (parts.size() < 5)
        parts << QString();
    return parts.join(u':');
}

} // namespace

class tst_CommandSend : public MainWindowTest
{
    Q_OBJECT

private slots:

    void syncResult_data();
    void syncResult();
    void syncFailure_data();
    void syncFailure();
    void asyncAnswer_data();
    void asyncAnswer();
    void commandText_data();
    void commandText();
    void syncOverSerialLine();
    void loggingOff();
    void clear();
    void withoutController();

private:
    // Device on TCP, connected through the dialog as Ether(Client).
    bool connectToDevice(PeerProcess &peer, const QStringList &extraArgs, bool sync, int timeoutMs = 1000);

};

bool tst_CommandSend::connectToDevice(PeerProcess &peer, const QStringList &extraArgs, bool sync,
                                      int timeoutMs)
{
    if (!peer.start(QStringList{QStringLiteral("--option"), EtherServerOption(0)} + extraArgs))
        return false;
    ConnChoice settings;
    settings.port = peer.port();
    settings.sync = sync;
    settings.timeoutMs = timeoutMs;
    return fixture().connect(settings);
}

void tst_CommandSend::syncResult_data()
{
    QTest::addColumn<QString>("put");
    QTest::addColumn<QString>("get");
    QTest::addColumn<QString>("expected");

    QTest::newRow("I4") << "PUT|A|1|X|3,100" << "GET|A|1|X|" << "Type=VT_I4, Value=100";
    QTest::newRow("BSTR with commas") << "PUT|A|2|S|8,a, b,,c" << "GET|A|2|S|"
                                      << "Type=VT_BSTR, Value=a, b,,c";
    QTest::newRow("array") << "PUT|A|3|R|8195,1,2,3" << "GET|A|3|R|"
                           << "Type=VT_ARRAY | VT_I4, Value=1,2,3";
    QTest::newRow("bool") << "PUT|B|1|F|11,true" << "GET|B|1|F|" << "Type=VT_BOOL, Value=True";
    QTest::newRow("Null has no value part") << "PUT|C|1|N|1" << "GET|C|1|N|" << "Type=VT_NULL";
    QTest::newRow("never written answers without a type") << "START||||" << "GET|Z|9|Q|"
                                                           << "Type=VT_EMPTY";
}

void tst_CommandSend::syncResult()
{
    QFETCH(QString, put);
    QFETCH(QString, get);
    QFETCH(QString, expected);
    MainWindowFixture &ui = fixture();

    PeerProcess peer;
    QVERIFY(connectToDevice(peer, {}, true));
    const int from = ui.logCount();

    ui.fillRequest(put);
    ui->cmdSend_Click();
    ui.fillRequest(get);
    ui->cmdSend_Click();

    const QList<LogEntry> expectedLog{{LogCaption::Send, CommandText(put)},
                                      {LogCaption::Result, QStringLiteral("Type=VT_EMPTY")},
                                      {LogCaption::Send, CommandText(get)},
                                      {LogCaption::Result, expected}};
    QVERIFY2(ui.log(from) == expectedLog, qPrintable(ui.describeLog(from)));
    QCOMPARE(ui->mivCtrl()->Commands().Count(), 0);
    QCOMPARE(ui.status(), StatusText::Ready);
    QVERIFY(ui.boxes.isEmpty());
}

void tst_CommandSend::syncFailure_data()
{
    QTest::addColumn<QStringList>("peerArgs");
    QTest::addColumn<int>("timeoutMs");
    QTest::addColumn<bool>("stopPeer");
    QTest::addColumn<QString>("request");
    QTest::addColumn<QString>("boxHas");

    QTest::newRow("peer refuses") << QStringList{"--fail", "PUT"} << 1000 << false
                                  << "PUT|A|1|X|3,100" << "E_FAIL";
    QTest::newRow("bad value text") << QStringList{} << 1000 << false << "PUT|A|1|X|3,abc"
                                    << "E_INVALIDARG";
    QTest::newRow("no answer in time") << QStringList{"--delay", "1500"} << 300 << false
                                       << "START||||" << "300";
    QTest::newRow("peer gone") << QStringList{} << 500 << true << "GET|A|1|X|" << "";
}

void tst_CommandSend::syncFailure()
{
    QFETCH(QStringList, peerArgs);
    QFETCH(int, timeoutMs);
    QFETCH(bool, stopPeer);
    QFETCH(QString, request);
    QFETCH(QString, boxHas);
    MainWindowFixture &ui = fixture();

    PeerProcess peer;
    QVERIFY(connectToDevice(peer, peerArgs, true, timeoutMs));
    if (stopPeer) {
        peer.stop();
        QTest::qWait(100); // let the window's connection see the close
    }
    const int from = ui.logCount();

    ui.fillRequest(request);
    ui->cmdSend_Click();

    const QList<LogEntry> expectedLog{{LogCaption::Send, CommandText(request)},
                                      {LogCaption::Send, LogOutcome::Failed}};
    QVERIFY2(ui.log(from) == expectedLog, qPrintable(ui.describeLog(from)));
    QCOMPARE(ui.boxes.texts().size(), 1);
    QVERIFY2(!ui.boxes.texts().first().isEmpty(), "the box shows the engine's description");
    QVERIFY2(ui.boxes.texts().first().contains(boxHas), qPrintable(ui.boxes.texts().first()));
    QCOMPARE(ui->mivCtrl()->Commands().Count(), 0);
    QCOMPARE(ui.status(), StatusText::Ready);
}

void tst_CommandSend::asyncAnswer_data()
{
    QTest::addColumn<QStringList>("peerArgs");
    QTest::addColumn<bool>("interpret");
    QTest::addColumn<QStringList>("requests");
    QTest::addColumn<QStringList>("received");

    const QStringList putGet{"PUT|A|1|X|3,100", "GET|A|1|X|"};
    QTest::newRow("interpreted") << QStringList{} << true << putGet
                                 << QStringList{"HRESULT=0", "HRESULT=0, Type=VT_I4, Value=100"};
    QTest::newRow("raw") << QStringList{} << false << putGet << QStringList{"0", "0,3,100"};
    QTest::newRow("text with commas, interpreted")
        << QStringList{} << true << QStringList{"PUT|T|1|S|8,x,y", "GET|T|1|S|"}
        << QStringList{"HRESULT=0", "HRESULT=0, Type=VT_BSTR, Value=x,y"};
    QTest::newRow("refused") << QStringList{"--fail", "GET"} << true << QStringList{"GET|A|1|X|"}
                             << QStringList{"HRESULT=-2147467259"};
}

void tst_CommandSend::asyncAnswer()
{
    QFETCH(QStringList, peerArgs);
    QFETCH(bool, interpret);
    QFETCH(QStringList, requests);
    QFETCH(QStringList, received);
    MainWindowFixture &ui = fixture();

    PeerProcess peer;
    QVERIFY(connectToDevice(peer, peerArgs, false));
    auto *interp = ui.control<QCheckBox>("chkInterp");
    QVERIFY(interp->isEnabled());
    interp->setChecked(interpret);
    const int from = ui.logCount();

    QList<LogEntry> expectedLog;
    for (int i = 0; i < requests.size(); ++i) {
        ui.fillRequest(requests.at(i));
        ui->cmdSend_Click();
        QCOMPARE(ui.status(), StatusText::Wait);
        expectedLog << LogEntry{LogCaption::Send, CommandText(requests.at(i))}
                    << LogEntry{LogCaption::Receive, received.at(i)};
        // One answer at a time keeps the log order fixed.
        QVERIFY2(QTest::qWaitFor([&] { return ui.logCount() - from == expectedLog.size(); }, 5000),
                 qPrintable(ui.describeLog(from)));
    }
    QVERIFY2(ui.log(from) == expectedLog, qPrintable(ui.describeLog(from)));
    QCOMPARE(ui.status(), StatusText::Ready);
    QVERIFY(ui.boxes.isEmpty());
}

void tst_CommandSend::commandText_data()
{
    QTest::addColumn<bool>("sync");
    QTest::addColumn<QString>("request");

    QTest::newRow("sync, empty fields") << true << "START||||";
    QTest::newRow("async, empty fields") << false << "START||||";
    QTest::newRow("async, fields as typed") << false << "GET| a |1||p,q";
}

void tst_CommandSend::commandText()
{
    QFETCH(bool, sync);
    QFETCH(QString, request);

    PeerProcess peer;
    QVERIFY(connectToDevice(peer, {QStringLiteral("--verbose")}, sync));
    fixture().fillRequest(request);
    fixture()->cmdSend_Click();

    QVERIFY(peer.waitForReceived(1, 5000));
    QCOMPARE(peer.received().first(), CommandText(request));
}

void tst_CommandSend::syncOverSerialLine()
{
    MainWindowFixture &ui = fixture();
    PtyPair pty;
    QVERIFY2(pty.start(), qPrintable(pty.errorString()));
    PeerProcess peer;
    QVERIFY(peer.start({QStringLiteral("--option"), ComOption(1)}, 5000,
                       {QStringLiteral("MIV_COM1=") + pty.second()}));
    qputenv("MIV_COM7", pty.first().toUtf8());

    ConnChoice settings;
    settings.type = ComClient;
    settings.comPort = 7;
    QVERIFY(ui.connect(settings));
    const int from = ui.logCount();

    ui.fillRequest(QStringLiteral("PUT|A|1|X|3,100"));
    ui->cmdSend_Click();
    ui.fillRequest(QStringLiteral("GET|A|1|X|"));
    ui->cmdSend_Click();

    const QList<LogEntry> log = ui.log(from);
    QVERIFY2(log.size() == 4 && log.last() == (LogEntry{LogCaption::Result, QStringLiteral("Type=VT_I4, Value=100")}),
             qPrintable(ui.describeLog(from)));
}

void tst_CommandSend::loggingOff()
{
    MainWindowFixture &ui = fixture();
    PeerProcess peer;
    QVERIFY(connectToDevice(peer, {QStringLiteral("--verbose")}, true));
    const int from = ui.logCount();
    const QString status = ui.status();
    ui.control<QCheckBox>("chkLog")->setChecked(false);

    ui.fillRequest(QStringLiteral("PUT|A|1|X|3,7"));
    ui->cmdSend_Click();

    QVERIFY(peer.waitForReceived(1, 5000));
    QCOMPARE(peer.received().first(), QStringLiteral("PUT:A:1:X:3,7"));
    QCOMPARE(ui.logCount(), from);
    QCOMPARE(ui.status(), status);
    QCOMPARE(ui->mivCtrl()->Commands().Count(), 0);
}

void tst_CommandSend::clear()
{
    MainWindowFixture &ui = fixture();
    PeerProcess peer;
    QVERIFY(connectToDevice(peer, {}, false));
    const int from = ui.logCount();
    ui->SetStatus(QStringLiteral("before"));

    ui->cmdClear_Click();

    QCOMPARE(ui.log(from), (QList<LogEntry>{{LogCaption::Clear, LogOutcome::Succeeded}}));
    QVERIFY2(from > 0, "the log is not cleared");
    QCOMPARE(ui.status(), QStringLiteral("before"));
    QVERIFY(ui.boxes.isEmpty());
}

void tst_CommandSend::withoutController()
{
    MainWindowFixture &ui = fixture();
    ui.fillRequest(QStringLiteral("START||||"));
    ui->cmdSend_Click();
    ui->cmdClear_Click();

    const QList<LogEntry> expectedLog{{LogCaption::Send, QStringLiteral("START::::")},
                                      {LogCaption::Send, LogOutcome::Failed},
                                      {LogCaption::Clear, LogOutcome::Failed}};
    QVERIFY2(ui.log() == expectedLog, qPrintable(ui.describeLog()));
    QCOMPARE(ui.boxes.texts(), QStringList{QStringLiteral("No controller is connected")});
}

KEL_WINDOW_TEST_MAIN(tst_CommandSend)
#include "tst_commandsend.moc"
