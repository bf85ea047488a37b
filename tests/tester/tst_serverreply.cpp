// The automatic reply on server connections, against kelpeer as the host.

#include "Captions.h"
#include "LogModel.h"
#include "MainWindowFixture.h"
#include "MivController.h"
#include "PeerOptions.h"
#include "PeerProcess.h"
#include "PtyPair.h"
#include "TesterSession.h"
#include "WindowTestMain.h"

#include <QCheckBox>
#include <QElapsedTimer>

namespace {

// Reply type list indexes.
constexpr int kNothing = 0;
constexpr int kI4 = 4;
constexpr int kBstr = 7;

} // namespace

class tst_ServerReply : public MainWindowTest
{
    Q_OBJECT

private slots:

    void repliesInOrder_data();
    void repliesInOrder();
    void delay_data();
    void delay();
    void clientGoneBeforeReply();
    void loggingOff();
    void comServerRepliesBySend();

private:
    bool listen();

};

bool tst_ServerReply::listen()
{
    ConnChoice settings;
    settings.type = EtherServer;
    return fixture().connect(settings);
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
    MainWindowFixture &ui = fixture();

    QVERIFY(listen());
    ui.setAutoReply(hresult, typeIndex, value, QStringLiteral("0"));
    const int from = ui.logCount();

    PeerProcess host;
    QVERIFY(host.start(HostArgs(EtherClientOption(ui.serverPort()), QStringLiteral("GET:A:1:X:"), 3)));
    QVERIFY(host.waitForAnswers(3, 10000));
    QCOMPARE(host.answers(), QStringList(3, reply));

    QList<LogEntry> expected;
    for (int i = 0; i < 3; ++i)
        expected << LogEntry{LogCaption::Receive, QStringLiteral("GET:A:1:X:")} << LogEntry{LogCaption::Reply, reply};
    QVERIFY(host.waitForFinished(5000));
    // The host's leaving is a message too, and logs nothing.
    QVERIFY(QTest::qWaitFor([&] { return ui.status() == StatusText::Receiving; }, 5000));
    QVERIFY2(ui.log(from) == expected, qPrintable(ui.describeLog(from)));
    QVERIFY(ui.boxes.isEmpty());
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
    MainWindowFixture &ui = fixture();

    QVERIFY(listen());
    ui.setAutoReply(QStringLiteral("0"), kNothing, QString(), delay);

    // The time between the request's line and the reply's line is the wait.
    QElapsedTimer clock;
    clock.start();
    QList<qint64> stamps;
    QAbstractItemModel *model = ui->logModel();
    connect(model, &QAbstractItemModel::rowsInserted, this, [&stamps, &clock] { stamps << clock.elapsed(); });

    PeerProcess host;
    QVERIFY(host.start(HostArgs(EtherClientOption(ui.serverPort(), 5000), QStringLiteral("START::::"), 2)));
    QVERIFY(host.waitForAnswers(2, 10000));
    QCOMPARE(stamps.size(), 4);
    for (int i = 0; i < 4; i += 2) {
        const qint64 waited = stamps.at(i + 1) - stamps.at(i);
        QVERIFY2(waited >= atLeastMs, qPrintable(QString::number(waited)));
    }
    disconnect(model, nullptr, this, nullptr);
}

void tst_ServerReply::clientGoneBeforeReply()
{
    MainWindowFixture &ui = fixture();
    QVERIFY(listen());
    ui.setAutoReply(QStringLiteral("0"), kNothing, QString(), QStringLiteral("0"));
    const int from = ui.logCount();
    PeerProcess host;

    // Runs before the window's handler: the host leaves while the request is still unanswered.
    MivController *controller = ui->mivCtrl();
    ui->session().setMivCtrl(nullptr);
    QObject gate;
    connect(controller, &MivController::OnMessage, &gate, [&host](MivMessage *message) {
        if (message->Kind() != 0)
            return;
        host.stop();
        QTest::qWait(200);
    });
    ui->session().setMivCtrl(controller);

    QVERIFY(host.start(HostArgs(EtherClientOption(ui.serverPort(), 5000), QStringLiteral("START::::"), 1)));
    QVERIFY(QTest::qWaitFor([&] { return ui.logCount() >= from + 2; }, 10000));
    QTest::qWait(100);

    const QList<LogEntry> expected{{LogCaption::Receive, QStringLiteral("START::::")},
                                   {LogCaption::Reply, LogOutcome::Failed}};
    QVERIFY2(ui.log(from) == expected, qPrintable(ui.describeLog(from)));
    QCOMPARE(ui.boxes.texts().size(), 1);
    QVERIFY(!ui.boxes.texts().first().isEmpty());
}

void tst_ServerReply::loggingOff()
{
    MainWindowFixture &ui = fixture();
    QVERIFY(listen());
    ui.setAutoReply(QStringLiteral("0"), kI4, QStringLiteral("7"), QStringLiteral("0"));
    const int from = ui.logCount();
    ui->SetStatus(QStringLiteral("before"));
    ui.control<QCheckBox>("chkLog")->setChecked(false);

    PeerProcess host;
    QVERIFY(host.start(HostArgs(EtherClientOption(ui.serverPort()), QStringLiteral("GET:A:1:X:"), 2)));
    QVERIFY(host.waitForAnswers(2, 10000));
    QCOMPARE(host.answers(), QStringList(2, QStringLiteral("0,3,7")));
    QVERIFY(host.waitForFinished(5000));
    QCOMPARE(ui.logCount(), from);
    QCOMPARE(ui.status(), QStringLiteral("before"));
}

void tst_ServerReply::comServerRepliesBySend()
{
    MainWindowFixture &ui = fixture();
    PtyPair pty;
    QVERIFY2(pty.start(), qPrintable(pty.errorString()));
    qputenv("MIV_COM8", pty.first().toUtf8());
    ConnChoice settings;
    settings.type = ComServer;
    settings.comPort = 8;
    QVERIFY(ui.connect(settings));
    ui.setAutoReply(QStringLiteral("0"), kBstr, QStringLiteral("hi, there"), QStringLiteral("0"));
    const int from = ui.logCount();

    PeerProcess host;
    QVERIFY(host.start(HostArgs(ComOption(1), QStringLiteral("GET:P:2:Q:"), 2), 5000,
                       {QStringLiteral("MIV_COM1=") + pty.second()}));
    QVERIFY(host.waitForAnswers(2, 10000));
    QCOMPARE(host.answers(), QStringList(2, QStringLiteral("0,8,hi, there")));

    QList<LogEntry> expected;
    for (int i = 0; i < 2; ++i)
        expected << LogEntry{LogCaption::Receive, QStringLiteral("GET:P:2:Q:")}
                 << LogEntry{LogCaption::Reply, QStringLiteral("0,8,hi, there")};
    QVERIFY2(ui.log(from) == expected, qPrintable(ui.describeLog(from)));
    QVERIFY(ui.boxes.isEmpty());
}

KEL_WINDOW_TEST_MAIN(tst_ServerReply)
#include "tst_serverreply.moc"
