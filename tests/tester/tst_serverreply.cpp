// The automatic reply on server connections, against kelpeer as the host.

#include "EngineObjects.h"
#include "MessagingHarness.h"

#include "LogModel.h"
#include "MivController.h"
#include "MivConverter.h"
#include "MivEngine.h"
#include "PeerProcess.h"
#include "PtyPair.h"
#include "frmKELTester.h"
#include "modMain.h"

#include <QAbstractItemModel>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QTest>

#include <memory>

using namespace Messaging;

namespace {

const QString kReceive = QStringLiteral("[ Receive ]\t");
const QString kReply = QStringLiteral("[ Reply ]\t\t");

// Reply type list indexes.
constexpr int kNothing = 0;
constexpr int kI4 = 4;
constexpr int kBstr = 7;

QStringList HostArgs(const QString &option, const QString &request, int count)
{
    return {QStringLiteral("--option"), option, QStringLiteral("--send"), request,
            QStringLiteral("--count"), QString::number(count)};
}

} // namespace

class tst_ServerReply : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void repliesInOrder_data();
    void repliesInOrder();
    void delay_data();
    void delay();
    void clientGoneBeforeReply();
    void loggingOff();
    void comServerRepliesBySend();

private:
    bool listen();

    std::unique_ptr<frmKELTester> m_window;
    std::unique_ptr<MessageBoxSpy> m_boxes;
};

void tst_ServerReply::initTestCase()
{
    QVERIFY2(!PeerProcess::program().isEmpty(), "KELPEER is not set");
    g_mivEngine = new MivEngine;
    g_mivConverter = new MivConverter;
}

void tst_ServerReply::init()
{
    m_boxes = std::make_unique<MessageBoxSpy>();
    m_window = std::make_unique<frmKELTester>();
    m_window->show();
}

void tst_ServerReply::cleanup()
{
    m_window->mnuFileDisconn_Click();
    m_window.reset();
    m_boxes.reset();
}

void tst_ServerReply::cleanupTestCase()
{
    delete g_mivConverter;
    g_mivConverter = nullptr;
    delete g_mivEngine;
    g_mivEngine = nullptr;
}

bool tst_ServerReply::listen()
{
    ConnSettings settings;
    settings.type = EtherServer;
    settings.port = 0;
    return ConnectThroughDialog(*m_window, settings);
}

void tst_ServerReply::repliesInOrder_data()
{
    QTest::addColumn<QString>("hresult");
    QTest::addColumn<int>("typeIndex");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("reply");

    QTest::newRow("code alone") << "0" << kNothing << "ignored" << "0";
    QTest::newRow("typed value") << "0" << kI4 << "100" << "0,3,100";
    QTest::newRow("text with commas") << "-5" << kBstr << "a,b" << "-5,8,a,b";
}

void tst_ServerReply::repliesInOrder()
{
    QFETCH(QString, hresult);
    QFETCH(int, typeIndex);
    QFETCH(QString, value);
    QFETCH(QString, reply);

    QVERIFY(listen());
    SetAutoReply(*m_window, hresult, typeIndex, value, QStringLiteral("0"));
    const int from = LogCount(*m_window);

    PeerProcess host;
    QVERIFY(host.start(HostArgs(EtherClientOption(ServerPort(*m_window)), QStringLiteral("GET:A:1:X:"), 3)));
    QVERIFY(WaitForAnswers(host, 3, 10000));
    QCOMPARE(host.answers(), QStringList(3, reply));

    QList<LogEntry> expected;
    for (int i = 0; i < 3; ++i)
        expected << LogEntry{kReceive, QStringLiteral("GET:A:1:X:")} << LogEntry{kReply, reply};
    QVERIFY(WaitForExit(host, 5000));
    // The host's leaving is a message too, and logs nothing.
    QVERIFY(WaitFor([this] { return m_window->statusText() == QLatin1String("Receiving..."); }, 5000));
    const QList<LogEntry> log = LogEntries(*m_window, from);
    QVERIFY2(log == expected, qPrintable(Describe(log)));
    QVERIFY(m_boxes->texts().isEmpty());
}

void tst_ServerReply::delay_data()
{
    QTest::addColumn<QString>("delay");
    QTest::addColumn<qint64>("atLeastMs");

    QTest::newRow("200 ms") << "200" << qint64(200);
    QTest::newRow("rounded to 200 ms") << "199.5" << qint64(200);
    QTest::newRow("negative waits not at all") << "-100000" << qint64(0);
}

void tst_ServerReply::delay()
{
    QFETCH(QString, delay);
    QFETCH(qint64, atLeastMs);

    QVERIFY(listen());
    SetAutoReply(*m_window, QStringLiteral("0"), kNothing, QString(), delay);

    // The time between the request's line and the reply's line is the wait.
    QElapsedTimer clock;
    clock.start();
    QList<qint64> stamps;
    QAbstractItemModel *model = m_window->logModel();
    connect(model, &QAbstractItemModel::rowsInserted, this, [&stamps, &clock] { stamps << clock.elapsed(); });

    PeerProcess host;
    QVERIFY(host.start(HostArgs(EtherClientOption(ServerPort(*m_window), 5000), QStringLiteral("START::::"), 2)));
    QVERIFY(WaitForAnswers(host, 2, 10000));
    QCOMPARE(stamps.size(), 4);
    for (int i = 0; i < 4; i += 2) {
        const qint64 waited = stamps.at(i + 1) - stamps.at(i);
        QVERIFY2(waited >= atLeastMs, qPrintable(QString::number(waited)));
    }
    disconnect(model, nullptr, this, nullptr);
}

void tst_ServerReply::clientGoneBeforeReply()
{
    QVERIFY(listen());
    SetAutoReply(*m_window, QStringLiteral("0"), kNothing, QString(), QStringLiteral("0"));
    const int from = LogCount(*m_window);
    PeerProcess host;

    // Runs before the window's handler: the host leaves while the request is still unanswered.
    MivController *controller = m_window->mivCtrl();
    m_window->setMivCtrl(nullptr);
    QObject gate;
    connect(controller, &MivController::OnMessage, &gate, [&host](MivMessage *message) {
        if (message->Kind() != 0)
            return;
        host.stop();
        QTest::qWait(200);
    });
    m_window->setMivCtrl(controller);

    QVERIFY(host.start(HostArgs(EtherClientOption(ServerPort(*m_window), 5000), QStringLiteral("START::::"), 1)));
    QVERIFY(WaitFor([&] { return LogCount(*m_window) >= from + 2; }, 10000));
    QTest::qWait(100);

    const QList<LogEntry> expected{{kReceive, QStringLiteral("START::::")}, {kReply, QStringLiteral("Failed")}};
    const QList<LogEntry> log = LogEntries(*m_window, from);
    QVERIFY2(log == expected, qPrintable(Describe(log)));
    QCOMPARE(m_boxes->texts().size(), 1);
    QVERIFY(!m_boxes->texts().first().isEmpty());
}

void tst_ServerReply::loggingOff()
{
    QVERIFY(listen());
    SetAutoReply(*m_window, QStringLiteral("0"), kI4, QStringLiteral("7"), QStringLiteral("0"));
    const int from = LogCount(*m_window);
    m_window->SetStatus(QStringLiteral("before"));
    m_window->chkLog->setChecked(false);

    PeerProcess host;
    QVERIFY(host.start(HostArgs(EtherClientOption(ServerPort(*m_window)), QStringLiteral("GET:A:1:X:"), 2)));
    QVERIFY(WaitForAnswers(host, 2, 10000));
    QCOMPARE(host.answers(), QStringList(2, QStringLiteral("0,3,7")));
    QVERIFY(WaitForExit(host, 5000));
    QCOMPARE(LogCount(*m_window), from);
    QCOMPARE(m_window->statusText(), QStringLiteral("before"));
}

void tst_ServerReply::comServerRepliesBySend()
{
    PtyPair pty;
    QVERIFY2(pty.start(), qPrintable(pty.errorString()));
    qputenv("MIV_COM8", pty.first().toUtf8());
    ConnSettings settings;
    settings.type = ComServer;
    settings.comPort = 8;
    QVERIFY(ConnectThroughDialog(*m_window, settings));
    SetAutoReply(*m_window, QStringLiteral("0"), kBstr, QStringLiteral("hi, there"), QStringLiteral("0"));
    const int from = LogCount(*m_window);

    PeerProcess host;
    QVERIFY(host.start(HostArgs(ComOption(1), QStringLiteral("GET:P:2:Q:"), 2), 5000,
                       {QStringLiteral("MIV_COM1=") + pty.second()}));
    QVERIFY(WaitForAnswers(host, 2, 10000));
    QCOMPARE(host.answers(), QStringList(2, QStringLiteral("0,8,hi, there")));

    QList<LogEntry> expected;
    for (int i = 0; i < 2; ++i)
        expected << LogEntry{kReceive, QStringLiteral("GET:P:2:Q:")} << LogEntry{kReply, QStringLiteral("0,8,hi, there")};
    const QList<LogEntry> log = LogEntries(*m_window, from);
    QVERIFY2(log == expected, qPrintable(Describe(log)));
    QVERIFY(m_boxes->texts().isEmpty());
}

QTEST_MAIN(tst_ServerReply)
#include "tst_serverreply.moc"
