// Send and Clear of the Request panel, end to end against kelpeer as the device.

#include "EngineObjects.h"
#include "MessagingHarness.h"

#include "MivController.h"
#include "MivConverter.h"
#include "MivEngine.h"
#include "PeerProcess.h"
#include "PtyPair.h"
#include "frmKELTester.h"
#include "modMain.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>

#include <memory>

using namespace Messaging;

namespace {

const QString kSend = QStringLiteral("[ Send ]\t\t");
const QString kResult = QStringLiteral("[ Result ]\t\t");
const QString kReceive = QStringLiteral("[ Receive ]\t");

// "TOP|field0|field1|field2|field3" into the Request panel.
void FillRequest(frmKELTester &window, const QString &request)
{
    const QStringList parts = request.split(u'|');
    window.cmbTopCmd->setCurrentIndex(window.cmbTopCmd->findText(parts.value(0)));
    for (int i = 0; i < 4; ++i)
        window.txtKELCmd[i]->setText(parts.value(i + 1));
}

QString CommandText(const QString &request)
{
    QStringList parts = request.split(u'|');
    while (parts.size() < 5)
        parts << QString();
    return parts.join(u':');
}

} // namespace

class tst_CommandSend : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

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

    std::unique_ptr<frmKELTester> m_window;
    std::unique_ptr<MessageBoxSpy> m_boxes;
};

void tst_CommandSend::initTestCase()
{
    QVERIFY2(!PeerProcess::program().isEmpty(), "KELPEER is not set");
    g_mivEngine = new MivEngine;
    g_mivConverter = new MivConverter;
}

void tst_CommandSend::init()
{
    m_boxes = std::make_unique<MessageBoxSpy>();
    m_window = std::make_unique<frmKELTester>();
    m_window->show();
}

void tst_CommandSend::cleanup()
{
    m_window->mnuFileDisconn_Click();
    m_window.reset();
    m_boxes.reset();
}

void tst_CommandSend::cleanupTestCase()
{
    delete g_mivConverter;
    g_mivConverter = nullptr;
    delete g_mivEngine;
    g_mivEngine = nullptr;
}

bool tst_CommandSend::connectToDevice(PeerProcess &peer, const QStringList &extraArgs, bool sync,
                                      int timeoutMs)
{
    if (!peer.start(QStringList{QStringLiteral("--option"), EtherServerOption(0)} + extraArgs))
        return false;
    ConnSettings settings;
    settings.type = EtherClient;
    settings.port = peer.port();
    settings.sync = sync;
    settings.timeoutMs = timeoutMs;
    return ConnectThroughDialog(*m_window, settings);
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

    PeerProcess peer;
    QVERIFY(connectToDevice(peer, {}, true));
    const int from = LogCount(*m_window);

    FillRequest(*m_window, put);
    m_window->cmdSend_Click();
    FillRequest(*m_window, get);
    m_window->cmdSend_Click();

    const QList<LogEntry> expectedLog{{kSend, CommandText(put)},
                                      {kResult, QStringLiteral("Type=VT_EMPTY")},
                                      {kSend, CommandText(get)},
                                      {kResult, expected}};
    const QList<LogEntry> log = LogEntries(*m_window, from);
    QVERIFY2(log == expectedLog, qPrintable(Describe(log)));
    QCOMPARE(m_window->mivCtrl()->Commands().Count(), 0);
    QCOMPARE(m_window->statusText(), QStringLiteral("Ready."));
    QVERIFY(m_boxes->texts().isEmpty());
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

    PeerProcess peer;
    QVERIFY(connectToDevice(peer, peerArgs, true, timeoutMs));
    if (stopPeer) {
        peer.stop();
        QTest::qWait(100); // let the window's connection see the close
    }
    const int from = LogCount(*m_window);

    FillRequest(*m_window, request);
    m_window->cmdSend_Click();

    const QList<LogEntry> expectedLog{{kSend, CommandText(request)}, {kSend, QStringLiteral("Failed")}};
    const QList<LogEntry> log = LogEntries(*m_window, from);
    QVERIFY2(log == expectedLog, qPrintable(Describe(log)));
    QCOMPARE(m_boxes->texts().size(), 1);
    QVERIFY2(!m_boxes->texts().first().isEmpty(), "the box shows the engine's description");
    QVERIFY2(m_boxes->texts().first().contains(boxHas), qPrintable(m_boxes->texts().first()));
    QCOMPARE(m_window->mivCtrl()->Commands().Count(), 0);
    QCOMPARE(m_window->statusText(), QStringLiteral("Ready."));
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

    PeerProcess peer;
    QVERIFY(connectToDevice(peer, peerArgs, false));
    QVERIFY(m_window->chkInterp->isEnabled());
    m_window->chkInterp->setChecked(interpret);
    const int from = LogCount(*m_window);

    QList<LogEntry> expectedLog;
    for (int i = 0; i < requests.size(); ++i) {
        FillRequest(*m_window, requests.at(i));
        m_window->cmdSend_Click();
        QCOMPARE(m_window->statusText(), QStringLiteral("Wait."));
        expectedLog << LogEntry{kSend, CommandText(requests.at(i))} << LogEntry{kReceive, received.at(i)};
        // One answer at a time keeps the log order fixed.
        QVERIFY2(WaitFor([&] { return LogCount(*m_window) - from == expectedLog.size(); }, 5000),
                 qPrintable(Describe(LogEntries(*m_window, from))));
    }
    const QList<LogEntry> log = LogEntries(*m_window, from);
    QVERIFY2(log == expectedLog, qPrintable(Describe(log)));
    QCOMPARE(m_window->statusText(), QStringLiteral("Ready."));
    QVERIFY(m_boxes->texts().isEmpty());
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
    FillRequest(*m_window, request);
    m_window->cmdSend_Click();

    QVERIFY(WaitFor(
        [&] {
            peer.pump();
            return !peer.received().isEmpty();
        },
        5000));
    QCOMPARE(peer.received().first(), CommandText(request));
}

void tst_CommandSend::syncOverSerialLine()
{
    PtyPair pty;
    QVERIFY2(pty.start(), qPrintable(pty.errorString()));
    PeerProcess peer;
    QVERIFY(peer.start({QStringLiteral("--option"), ComOption(1)}, 5000,
                       {QStringLiteral("MIV_COM1=") + pty.second()}));
    qputenv("MIV_COM7", pty.first().toUtf8());

    ConnSettings settings;
    settings.type = ComClient;
    settings.comPort = 7;
    settings.sync = true;
    QVERIFY(ConnectThroughDialog(*m_window, settings));
    const int from = LogCount(*m_window);

    FillRequest(*m_window, QStringLiteral("PUT|A|1|X|3,100"));
    m_window->cmdSend_Click();
    FillRequest(*m_window, QStringLiteral("GET|A|1|X|"));
    m_window->cmdSend_Click();

    const QList<LogEntry> log = LogEntries(*m_window, from);
    QVERIFY2(log.size() == 4 && log.last() == (LogEntry{kResult, QStringLiteral("Type=VT_I4, Value=100")}),
             qPrintable(Describe(log)));
}

void tst_CommandSend::loggingOff()
{
    PeerProcess peer;
    QVERIFY(connectToDevice(peer, {QStringLiteral("--verbose")}, true));
    const int from = LogCount(*m_window);
    const QString status = m_window->statusText();
    m_window->chkLog->setChecked(false);

    FillRequest(*m_window, QStringLiteral("PUT|A|1|X|3,7"));
    m_window->cmdSend_Click();

    QVERIFY(WaitFor(
        [&] {
            peer.pump();
            return !peer.received().isEmpty();
        },
        5000));
    QCOMPARE(peer.received().first(), QStringLiteral("PUT:A:1:X:3,7"));
    QCOMPARE(LogCount(*m_window), from);
    QCOMPARE(m_window->statusText(), status);
    QCOMPARE(m_window->mivCtrl()->Commands().Count(), 0);
}

void tst_CommandSend::clear()
{
    PeerProcess peer;
    QVERIFY(connectToDevice(peer, {}, false));
    const int from = LogCount(*m_window);
    m_window->SetStatus(QStringLiteral("before"));

    m_window->cmdClear_Click();

    QCOMPARE(LogEntries(*m_window, from), (QList<LogEntry>{{QStringLiteral("Clear\t\t"), QStringLiteral("Succeeded")}}));
    QVERIFY2(from > 0, "the log is not cleared");
    QCOMPARE(m_window->statusText(), QStringLiteral("before"));
    QVERIFY(m_boxes->texts().isEmpty());
}

void tst_CommandSend::withoutController()
{
    FillRequest(*m_window, QStringLiteral("START||||"));
    m_window->cmdSend_Click();
    m_window->cmdClear_Click();

    const QList<LogEntry> expectedLog{{kSend, QStringLiteral("START::::")},
                                      {kSend, QStringLiteral("Failed")},
                                      {QStringLiteral("Clear\t\t"), QStringLiteral("Failed")}};
    const QList<LogEntry> log = LogEntries(*m_window);
    QVERIFY2(log == expectedLog, qPrintable(Describe(log)));
    QCOMPARE(m_boxes->texts(), QStringList{QStringLiteral("No controller is connected")});
}

QTEST_MAIN(tst_CommandSend)
#include "tst_commandsend.moc"
