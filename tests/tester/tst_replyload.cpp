// A host firing 20,000 requests at once at the window's server: every one is answered and
// logged, and the event loop keeps running. The longest stall is reported, not asserted.

#include "LogModel.h"
#include "MainWindowFixture.h"
#include "PeerOptions.h"
#include "PeerProcess.h"
#include "WindowTestMain.h"

#include <QElapsedTimer>
#include <QTimer>

class tst_ReplyLoad : public QObject
{
    Q_OBJECT

private slots:
    void twentyThousandRequests();
};

void tst_ReplyLoad::twentyThousandRequests()
{
    constexpr int kRequests = 20000;
    constexpr int kI4 = 4;
    MainWindowFixture ui;
    ConnChoice settings;
    settings.type = EtherServer;
    QVERIFY(ui.connect(settings));
    ui.setAutoReply(QStringLiteral("0"), kI4, QStringLiteral("1"), QStringLiteral("0"));

    int received = 0;
    int replied = 0;
    LogModel *model = ui->logModel();
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
    QVERIFY(host.start(HostArgs(EtherClientOption(ui.serverPort(), 60000), QStringLiteral("GET:A:1:X:"), kRequests)
                       << QStringLiteral("--no-wait")));
    run.start();
    sinceTick.start();
    ticker.start();
    QVERIFY2(host.waitForAnswers(kRequests, 90000), qPrintable(QString::number(host.answers().size())));
    const qint64 elapsed = run.elapsed();
    ticker.stop();
    QVERIFY(host.waitForFinished(10000));

    QCOMPARE(host.exitCode(), 0);
    QCOMPARE(host.answers().size(), kRequests);
    QCOMPARE(received, kRequests);
    QCOMPARE(replied, kRequests);
    QVERIFY(ui.boxes.isEmpty());
    qInfo("%d requests answered in %lld ms (%.0f/s); longest event-loop stall %lld ms", kRequests,
          elapsed, kRequests * 1000.0 / qMax<qint64>(elapsed, 1), maxStall);
}

KEL_WINDOW_TEST_MAIN(tst_ReplyLoad)
#include "tst_replyload.moc"
