#include "PeerProcess.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString kServer = QStringLiteral("Conn=eth::0,EtherOpt=1:20:900,MyIP=127.0.0.1");

QString ClientOption(quint16 port, int timeoutMs)
{
    return QStringLiteral("Conn=eth:127.0.0.1:%1,EtherOpt=0,Timeout=%2").arg(port).arg(timeoutMs);
}

} // namespace

class tst_KelPeerLoad : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void summaryAccountsForEveryRequest_data();
    void summaryAccountsForEveryRequest();
};

void tst_KelPeerLoad::initTestCase()
{
    if (PeerProcess::program().isEmpty())
        QSKIP("KELPEER is not set");
}

void tst_KelPeerLoad::summaryAccountsForEveryRequest_data()
{
    QTest::addColumn<QStringList>("device"); // kelpeer's device options; none: a server that never answers
    QTest::addColumn<QStringList>("load");
    QTest::addColumn<QStringList>("answerTexts"); // what every frame the host gets must be
    QTest::addColumn<QList<qint64>>("figures");   // requests, answers, errors, timeouts
    QTest::addColumn<int>("code");

    QTest::newRow("10 clients, 1000 requests")
        << QStringList{} << QStringList{"--clients", "10", "--count", "1000", "--send", "GET:A:1:X:", "--send", "START"}
        << QStringList{"0,0", "0"} << QList<qint64>{1000, 1000, 0, 0} << 0;
    QTest::newRow("pipelined, paced, errors by HRESULT")
        << QStringList{"--fail", "PUT"}
        << QStringList{"--clients=2", "--pipeline=4", "--rate=2000", "--count=40", "--send=PUT:A:1:X:3,1", "--send=STOP",
                       "--max-errors=20"}
        << QStringList{"-2147467259", "0"} << QList<qint64>{40, 20, 20, 0} << 0;
    QTest::newRow("errors above the limit")
        << QStringList{"--fail", "STOP"} << QStringList{"--count", "6", "--send", "STOP", "--max-errors", "5"}
        << QStringList{"-2147467259"} << QList<qint64>{6, 0, 6, 0} << 3;
    QTest::newRow("no answers: timeouts")
        << QStringList{} << QStringList{"--clients", "2", "--count", "4", "--send", "GET:A:1:X:"} << QStringList{}
        << QList<qint64>{4, 0, 0, 4} << 1;
}

void tst_KelPeerLoad::summaryAccountsForEveryRequest()
{
    QFETCH(QStringList, device);
    QFETCH(QStringList, load);
    QFETCH(QStringList, answerTexts);
    QFETCH(QList<qint64>, figures);
    QFETCH(int, code);
    const bool silent = device.isEmpty() && answerTexts.isEmpty();
    PeerProcess peer;
    QTcpServer deaf; // accepts and never answers
    quint16 port = 0;
    if (silent) {
        QVERIFY(deaf.listen(QHostAddress::LocalHost));
        port = deaf.serverPort();
    } else {
        QVERIFY(peer.start(QStringList{"--option", kServer} + device));
        port = peer.port();
    }
    QTemporaryDir dir;
    const QString json = dir.filePath("summary.json");
    PeerProcess host;
    host.setBlockingWaits(true);
    QVERIFY(host.start(QStringList{"--option", ClientOption(port, 300), "--verbose", "--json", json} + load));
    QVERIFY(host.waitForFinished(30000));
    QCOMPARE(host.exitCode(), code);
    for (const QString &text : host.received())
        QVERIFY2(answerTexts.contains(text), qPrintable(text));

    QFile file(json);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QJsonObject s = QJsonDocument::fromJson(file.readAll()).object();
    const qint64 requests = s["requests"].toInteger();
    QCOMPARE((QList<qint64>{requests, s["answers"].toInteger(), s["errors"].toInteger(), s["timeouts"].toInteger()}),
             figures);
    QCOMPARE(s["answers"].toInteger() + s["errors"].toInteger() + s["timeouts"].toInteger() + s["closed"].toInteger(),
             requests);
    QCOMPARE(host.received().size(), s["answers"].toInteger() + s["errors"].toInteger());
    QCOMPARE(host.sent().size(), requests);
    const QJsonArray latency = s["latency"].toArray();
    QCOMPARE(latency.last()["count"].toInteger(), s["answers"].toInteger() + s["errors"].toInteger());
}

QTEST_GUILESS_MAIN(tst_KelPeerLoad)
#include "tst_kelpeer_load.moc"
