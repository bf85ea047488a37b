// A host firing 20,000 requests at once at the window's server: every one is answered and
// logged, and the event loop keeps running. The longest stall is reported, not asserted.

#include "EngineObjects.h"
#include "MessagingHarness.h"

#include "LogModel.h"
#include "MivConverter.h"
#include "MivEngine.h"
#include "PeerProcess.h"
#include "frmKELTester.h"
#include "modMain.h"

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

using namespace Messaging;

class tst_ReplyLoad : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void twentyThousandRequests();
};

void tst_ReplyLoad::initTestCase()
{
    QVERIFY2(!PeerProcess::program().isEmpty(), "KELPEER is not set");
    g_mivEngine = new MivEngine;
    g_mivConverter = new MivConverter;
}

void tst_ReplyLoad::cleanupTestCase()
{
    delete g_mivConverter;
    g_mivConverter = nullptr;
    delete g_mivEngine;
    g_mivEngine = nullptr;
}

void tst_ReplyLoad::twentyThousandRequests()
{
    constexpr int kRequests = 20000;
    MessageBoxSpy boxes;
    frmKELTester window;
    window.show();
    ConnSettings settings;
    settings.type = EtherServer;
    settings.port = 0;
    QVERIFY(ConnectThroughDialog(window, settings));
    SetAutoReply(window, QStringLiteral("0"), 4, QStringLiteral("1"), QStringLiteral("0"));

    int received = 0;
    int replied = 0;
    LogModel *model = window.logModel();
    connect(model, &LogModel::rowsInserted, this, [&](const QModelIndex &, int first, int last) {
        for (int row = first; row <= last; ++row) {
            const QString &line = model->line(row);
            if (line.startsWith(QLatin1String("[ Receive ]\t(")) && line.endsWith(QLatin1String(" : GET:A:1:X:")))
                ++received;
            else if (line.startsWith(QLatin1String("[ Reply ]\t\t(")) && line.endsWith(QLatin1String(" : 0,3,1")))
                ++replied;
        }
    });

    QElapsedTimer sinceTick;
    qint64 maxStall = 0;
    QTimer ticker;
    ticker.setInterval(10);
    connect(&ticker, &QTimer::timeout, this, [&] {
        maxStall = qMax(maxStall, sinceTick.restart());
    });

    PeerProcess host;
    QElapsedTimer run;
    QVERIFY(host.start({QStringLiteral("--option"), EtherClientOption(ServerPort(window), 60000),
                        QStringLiteral("--send"), QStringLiteral("GET:A:1:X:"), QStringLiteral("--count"),
                        QString::number(kRequests), QStringLiteral("--no-wait")}));
    run.start();
    sinceTick.start();
    ticker.start();
    QVERIFY2(WaitForAnswers(host, kRequests, 90000), qPrintable(QString::number(host.answers().size())));
    const qint64 elapsed = run.elapsed();
    ticker.stop();
    QVERIFY(WaitForExit(host, 10000));

    QCOMPARE(host.exitCode(), 0);
    QCOMPARE(host.answers().size(), kRequests);
    QCOMPARE(received, kRequests);
    QCOMPARE(replied, kRequests);
    QVERIFY(boxes.texts().isEmpty());
    qInfo("%d requests answered in %lld ms (%.0f/s); longest event-loop stall %lld ms", kRequests,
          elapsed, kRequests * 1000.0 / qMax<qint64>(elapsed, 1), maxStall);
    window.mnuFileDisconn_Click();
}

QTEST_MAIN(tst_ReplyLoad)
#include "tst_replyload.moc"
