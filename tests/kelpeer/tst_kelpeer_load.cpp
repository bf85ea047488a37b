#include "PeerProcess.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString kServer = QStringLiteral("Conn=eth::0,EtherOpt=1:20:900,MyIP=127.0.0.1");
constexpr int KelLoadMaxTries = 10; // a connection is given up after this many tries in a row

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
    void fullServerBacksOff();
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

// Two of three connections are refused by a device that takes one client: they are made again
// with a back-off, not hundreds of times, and standard error says so in a line or two each.
void tst_KelPeerLoad::fullServerBacksOff()
{
    PeerProcess device;
    QVERIFY(device.start({"--option", "Conn=eth::0,EtherOpt=1:1:900,MyIP=127.0.0.1"}));
    QTemporaryDir dir;
    const QString json = dir.filePath("summary.json");
    PeerProcess host;
    host.setBlockingWaits(true);
    QVERIFY(host.start({"--option", ClientOption(device.port(), 300), "--clients", "3", "--duration", "1", "--rate", "200",
                        "--send", "GET:A:1:X:", "--json", json}));
    QVERIFY(host.waitForFinished(30000));
    QFile file(json);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QJsonObject s = QJsonDocument::fromJson(file.readAll()).object();
    // 10, 20, 40, ... ms apart: about 7 tries each in a second.
    QVERIFY2(s["closes"].toInteger() >= 2 && s["closes"].toInteger() <= 2 * KelLoadMaxTries, qPrintable(host.errorOutput()));
    QVERIFY(s["answers"].toInteger() > 0);
    const QStringList lines = host.errorOutput().split(u'\n', Qt::SkipEmptyParts);
    QVERIFY2(lines.size() <= 8, qPrintable(host.errorOutput()));
    QVERIFY2(host.errorOutput().contains(QRegularExpression("connection [23]: the device closed the connection \\(\\d+ times\\)")),
             qPrintable(host.errorOutput()));
    QCOMPARE(host.exitCode(), s["closed"].toInteger() + s["timeouts"].toInteger() > 0 ? 1 : 0); // missing answers
}

QTEST_GUILESS_MAIN(tst_KelPeerLoad)
#include "tst_kelpeer_load.moc"
