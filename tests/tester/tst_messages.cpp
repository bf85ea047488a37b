// Messages on a client connection: logged raw or interpreted, and the kinds that log nothing
// or fail. A raw TCP server in the test plays the peer so that any bytes can be injected.

#include "EngineObjects.h"
#include "MessagingHarness.h"

#include "MivController.h"
#include "MivConverter.h"
#include "MivEngine.h"
#include "frmKELTester.h"
#include "modMain.h"

#include <QCheckBox>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <memory>

using namespace Messaging;

namespace {
const QString kReceive = QStringLiteral("[ Receive ]\t");
}

class tst_Messages : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void answer_data();
    void answer();
    void peerLeavingLogsNothing();
    void errorMessage();
    void serverConnectAndLeaveLogNothing();

private:
    // Ether(Client) in asynchronous mode to m_server; m_peer is the accepted connection.
    bool connectClient();
    // Writes the bytes and waits until the window has handled what they hold.
    bool inject(const QByteArray &bytes, int lines);

    std::unique_ptr<frmKELTester> m_window;
    std::unique_ptr<MessageBoxSpy> m_boxes;
    std::unique_ptr<QTcpServer> m_server;
    QTcpSocket *m_peer = nullptr;
};

void tst_Messages::initTestCase()
{
    g_mivEngine = new MivEngine;
    g_mivConverter = new MivConverter;
}

void tst_Messages::init()
{
    m_boxes = std::make_unique<MessageBoxSpy>();
    m_window = std::make_unique<frmKELTester>();
    m_window->show();
    m_server = std::make_unique<QTcpServer>();
    QVERIFY(m_server->listen(QHostAddress::LocalHost, 0));
}

void tst_Messages::cleanup()
{
    m_window->mnuFileDisconn_Click();
    m_window.reset();
    m_peer = nullptr;
    m_server.reset();
    m_boxes.reset();
}

void tst_Messages::cleanupTestCase()
{
    delete g_mivConverter;
    g_mivConverter = nullptr;
    delete g_mivEngine;
    g_mivEngine = nullptr;
}

bool tst_Messages::connectClient()
{
    ConnSettings settings;
    settings.type = EtherClient;
    settings.port = m_server->serverPort();
    settings.sync = false;
    if (!ConnectThroughDialog(*m_window, settings))
        return false;
    if (!WaitFor([this] { return m_server->hasPendingConnections(); }, 5000))
        return false;
    m_peer = m_server->nextPendingConnection();
    return true;
}

bool tst_Messages::inject(const QByteArray &bytes, int lines)
{
    const int target = LogCount(*m_window) + lines;
    m_peer->write(bytes);
    if (!WaitFor([&] { return LogCount(*m_window) >= target; }, 5000))
        return false;
    QTest::qWait(50); // nothing more may follow
    return LogCount(*m_window) == target;
}

void tst_Messages::answer_data()
{
    QTest::addColumn<bool>("interpret");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("logged");
    QTest::addColumn<QStringList>("boxes");

    const QStringList none;
    QTest::newRow("text value keeps its commas") << true << QByteArray("0,8,abc,def\r")
                                                 << QStringList{"HRESULT=0, Type=VT_BSTR, Value=abc,def"} << none;
    QTest::newRow("code alone") << true << QByteArray("0\r") << QStringList{"HRESULT=0"} << none;
    QTest::newRow("type 0") << true << QByteArray("0,0\r") << QStringList{"HRESULT=0"} << none;
    QTest::newRow("type 0.0 with blanks, value ignored")
        << true << QByteArray("5, 0.0 ,zz\r") << QStringList{"HRESULT=5"} << none;
    QTest::newRow("negative code, array type")
        << true << QByteArray("-2147467259,8195,1,2\r")
        << QStringList{"HRESULT=-2147467259, Type=VT_ARRAY | VT_I4, Value=1,2"} << none;
    QTest::newRow("type with blanks") << true << QByteArray("0, 3 ,7\r")
                                      << QStringList{"HRESULT=0, Type=VT_I4, Value=7"} << none;
    QTest::newRow("unknown type") << true << QByteArray("0,99,z\r")
                                  << QStringList{"HRESULT=0, Type=(unknown), Value=z"} << none;
    QTest::newRow("empty value") << true << QByteArray("1,8,\r")
                                 << QStringList{"HRESULT=1, Type=VT_BSTR, Value="} << none;
    QTest::newRow("type without value") << true << QByteArray("0,3\r") << QStringList{"Failed"}
                                        << QStringList{"Subscript out of range"};
    QTest::newRow("type not a number") << true << QByteArray("0,x,1\r") << QStringList{"Failed"}
                                       << QStringList{"Type mismatch"};
    QTest::newRow("type with trailing text") << true << QByteArray("0,3x,1\r")
                                             << QStringList{"Failed"} << QStringList{"Type mismatch"};
    QTest::newRow("type outside 32 bits") << true << QByteArray("0,1e10,1\r")
                                          << QStringList{"Failed"} << QStringList{"Overflow"};
    QTest::newRow("empty answer") << true << QByteArray("\r") << QStringList{"Failed"}
                                  << QStringList{"Subscript out of range"};
    QTest::newRow("frames in order, a failure between")
        << true << QByteArray("0\r0,3\r0,8,x\r")
        << QStringList{"HRESULT=0", "Failed", "HRESULT=0, Type=VT_BSTR, Value=x"}
        << QStringList{"Subscript out of range"};
    QTest::newRow("raw keeps the text") << false << QByteArray("0,8,abc,def\r")
                                        << QStringList{"0,8,abc,def"} << none;
    QTest::newRow("raw does not take it apart") << false << QByteArray("0,3\r")
                                                << QStringList{"0,3"} << none;
}

void tst_Messages::answer()
{
    QFETCH(bool, interpret);
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, logged);
    QFETCH(QStringList, boxes);

    QVERIFY(connectClient());
    m_window->chkInterp->setChecked(interpret);
    const int from = LogCount(*m_window);

    QVERIFY2(inject(bytes, int(logged.size())), qPrintable(Describe(LogEntries(*m_window, from))));
    QList<LogEntry> expected;
    for (const QString &value : logged)
        expected << LogEntry{kReceive, value};
    const QList<LogEntry> log = LogEntries(*m_window, from);
    QVERIFY2(log == expected, qPrintable(Describe(log)));
    QCOMPARE(m_boxes->texts(), boxes);
    QCOMPARE(m_window->statusText(), QStringLiteral("Ready."));
}

void tst_Messages::peerLeavingLogsNothing()
{
    QVERIFY(connectClient());
    QVERIFY(inject("0\r", 1));
    const int from = LogCount(*m_window);

    m_peer->disconnectFromHost();
    QVERIFY(WaitFor([this] { return m_window->statusText() == QLatin1String("Receiving..."); }, 5000));
    QTest::qWait(50);
    QCOMPARE(LogCount(*m_window), from);
    QVERIFY(m_boxes->texts().isEmpty());
}

void tst_Messages::errorMessage()
{
    QVERIFY(connectClient());
    const int from = LogCount(*m_window);

    // A body past the framer's limit is reported as an error message.
    QVERIFY(inject(QByteArray(70000, 'a') + '\r', 1));
    QCOMPARE(LogEntries(*m_window, from), (QList<LogEntry>{{kReceive, QStringLiteral("Failed")}}));
    QCOMPARE(m_boxes->texts(), QStringList{QString()});
    QCOMPARE(m_window->statusText(), QStringLiteral("Ready."));
}

void tst_Messages::serverConnectAndLeaveLogNothing()
{
    ConnSettings settings;
    settings.type = EtherServer;
    settings.port = 0;
    settings.connMax = 1;
    QVERIFY(ConnectThroughDialog(*m_window, settings));
    const int from = LogCount(*m_window);

    QTcpSocket first;
    first.connectToHost(QHostAddress::LocalHost, ServerPort(*m_window));
    QVERIFY(first.waitForConnected(5000));
    QVERIFY(WaitFor([this] { return m_window->statusText() == QLatin1String("Receiving..."); }, 5000));
    QCOMPARE(LogCount(*m_window), from);

    // The second client is one too many: an error message, then its leaving logs nothing.
    QTcpSocket second;
    second.connectToHost(QHostAddress::LocalHost, ServerPort(*m_window));
    QVERIFY(WaitFor([&] { return LogCount(*m_window) > from; }, 5000));
    QTest::qWait(100);
    QCOMPARE(LogEntries(*m_window, from), (QList<LogEntry>{{kReceive, QStringLiteral("Failed")}}));
    QCOMPARE(m_boxes->texts(), QStringList{QString()});

    first.disconnectFromHost();
    QVERIFY(WaitFor([this] { return m_window->statusText() == QLatin1String("Receiving..."); }, 5000));
    QCOMPARE(LogCount(*m_window), from + 1);
}

QTEST_MAIN(tst_Messages)
#include "tst_messages.moc"
