// Messages on a client connection: logged raw or interpreted, and the kinds that log nothing
// or fail. A raw TCP server in the test plays the peer so that any bytes can be injected.

#include "Captions.h"
#include "MainWindowFixture.h"
#include "WindowTestMain.h"

#include <QCheckBox>
#include <QTcpServer>
#include <QTcpSocket>

#include <memory>

class tst_Messages : public MainWindowTest
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

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
    bool waitForStatus(const QString &status);

    std::unique_ptr<QTcpServer> m_server;
    QTcpSocket *m_peer = nullptr;
};

void tst_Messages::init()
{
    MainWindowTest::init();
    m_server = std::make_unique<QTcpServer>();
    QVERIFY(m_server->listen(QHostAddress::LocalHost, 0));
}

void tst_Messages::cleanup()
{
    MainWindowTest::cleanup();
    m_peer = nullptr;
    m_server.reset();
}

bool tst_Messages::connectClient()
{
    ConnChoice settings;
    settings.port = m_server->serverPort();
    settings.sync = false;
    if (!fixture().connect(settings))
        return false;
    if (!QTest::qWaitFor([this] { return m_server->hasPendingConnections(); }, 5000))
        return false;
    m_peer = m_server->nextPendingConnection();
    return true;
}

bool tst_Messages::inject(const QByteArray &bytes, int lines)
{
    const int target = fixture().logCount() + lines;
    m_peer->write(bytes);
    if (!QTest::qWaitFor([&] { return fixture().logCount() >= target; }, 5000))
        return false;
    QTest::qWait(50); // nothing more may follow
    return fixture().logCount() == target;
}

bool tst_Messages::waitForStatus(const QString &status)
{
    return QTest::qWaitFor([&] { return fixture().status() == status; }, 5000);
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
    MainWindowFixture &ui = fixture();

    QVERIFY(connectClient());
    ui.control<QCheckBox>("chkInterp")->setChecked(interpret);
    const int from = ui.logCount();

    QVERIFY2(inject(bytes, int(logged.size())), qPrintable(ui.describeLog(from)));
    QList<LogEntry> expected;
    for (const QString &value : logged)
        expected << LogEntry{LogCaption::Receive, value};
    QVERIFY2(ui.log(from) == expected, qPrintable(ui.describeLog(from)));
    QCOMPARE(ui.boxes.texts(), boxes);
    QCOMPARE(ui.status(), StatusText::Ready);
}

void tst_Messages::peerLeavingLogsNothing()
{
    QVERIFY(connectClient());
    QVERIFY(inject("0\r", 1));
    const int from = fixture().logCount();

    m_peer->disconnectFromHost();
    QVERIFY(waitForStatus(StatusText::Receiving));
    QTest::qWait(50);
    QCOMPARE(fixture().logCount(), from);
    QVERIFY(fixture().boxes.isEmpty());
}

void tst_Messages::errorMessage()
{
    MainWindowFixture &ui = fixture();
    QVERIFY(connectClient());
    const int from = ui.logCount();

    // A body past the framer's limit is reported as an error message.
    QVERIFY(inject(QByteArray(70000, 'a') + '\r', 1));
    QCOMPARE(ui.log(from), (QList<LogEntry>{{LogCaption::Receive, LogOutcome::Failed}}));
    QCOMPARE(ui.boxes.texts(), QStringList{QString()});
    QCOMPARE(ui.status(), StatusText::Ready);
}

void tst_Messages::serverConnectAndLeaveLogNothing()
{
    MainWindowFixture &ui = fixture();
    ConnChoice settings;
    settings.type = EtherServer;
    settings.connMax = 1;
    QVERIFY(ui.connect(settings));
    const int from = ui.logCount();

    QTcpSocket first;
    first.connectToHost(QHostAddress::LocalHost, ui.serverPort());
    QVERIFY(first.waitForConnected(5000));
    QVERIFY(waitForStatus(StatusText::Receiving));
    QCOMPARE(ui.logCount(), from);

    // The second client is one too many: an error message, then its leaving logs nothing.
    QTcpSocket second;
    second.connectToHost(QHostAddress::LocalHost, ui.serverPort());
    QVERIFY(QTest::qWaitFor([&] { return ui.logCount() > from; }, 5000));
    QTest::qWait(100);
    QCOMPARE(ui.log(from), (QList<LogEntry>{{LogCaption::Receive, LogOutcome::Failed}}));
    QCOMPARE(ui.boxes.texts(), QStringList{QString()});

    first.disconnectFromHost();
    QVERIFY(waitForStatus(StatusText::Receiving));
    QCOMPARE(ui.logCount(), from + 1);
}

KEL_WINDOW_TEST_MAIN(tst_Messages)
#include "tst_messages.moc"
