#include "PeerProcess.h"
#include "SessionRecordReader.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr int kDelayMs = 20;
constexpr int kWaitMs = 10000;
const QString kServer = QStringLiteral("Conn=eth::0,PacketOpt=4:0:0:0,EtherOpt=1:10:0,Timeout=2000");

QString Client(quint16 port)
{
    return QStringLiteral("Conn=eth:127.0.0.1:%1,PacketOpt=4:0:0:0,EtherOpt=0,Timeout=2000").arg(port);
}

} // namespace

// kelpeer --monitor between a kelpeer host and a kelpeer device that delays its answers.
class tst_KelpeerMonitor : public QObject
{
    Q_OBJECT
private slots:
    void showsTimesAndRecords();
};

void tst_KelpeerMonitor::showsTimesAndRecords()
{
    if (PeerProcess::program().isEmpty())
        QSKIP("KELPEER is not set");
    QTemporaryDir dir;
    const QString record = dir.filePath(QStringLiteral("monitor.jsonl"));
    PeerProcess device;
    QVERIFY(device.start({"--option", kServer, "--delay", QString::number(kDelayMs)}));

    QProcess monitor;
    monitor.start(PeerProcess::program(), {"--option", kServer, "--monitor", Client(device.port()), "--record", record});
    QByteArray out;
    QDeadlineTimer deadline(kWaitMs);
    while (!out.contains('\n') && monitor.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime()))))
        out += monitor.readAllStandardOutput();
    const QRegularExpressionMatch ready = QRegularExpression(QStringLiteral("^ready .*:(\\d+)\\n")).match(QString::fromUtf8(out));
    QVERIFY2(ready.hasMatch(), out.constData());

    PeerProcess host;
    QVERIFY(host.start({"--option", Client(ready.captured(1).toUShort()), "--send", "START", "--send", "GET:A:1:X:"}));
    QVERIFY(host.waitForFinished(kWaitMs));
    QCOMPARE(host.exitCode(), 0);
    QCOMPARE(host.answers(), (QStringList{"0", "0,0"}));

    monitor.terminate();
    QVERIFY(monitor.waitForFinished(kWaitMs));
    QCOMPARE(monitor.exitCode(), 0);
    const QString lines = QString::fromUtf8(out + monitor.readAllStandardOutput());
    const QString stamp = QStringLiteral("^\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d ");
    QVERIFY2(lines.contains(QRegularExpression(stamp + "> START$", QRegularExpression::MultilineOption)), qPrintable(lines));
    const QRegularExpressionMatch answer =
        QRegularExpression(stamp + "< 0,0 \\((\\d+\\.\\d\\d) ms\\)$", QRegularExpression::MultilineOption).match(lines);
    QVERIFY2(answer.hasMatch(), qPrintable(lines));
    QVERIFY(answer.captured(1).toDouble() >= kDelayMs);
    // The summary: totals, then a row per command with its requests and answers.
    QVERIFY2(lines.contains(QStringLiteral("requests 2  answered 2  unanswered 0  stray 0  errors 0")), qPrintable(lines));
    QVERIFY2(lines.contains(QRegularExpression(QStringLiteral("^GET +1 +1 "), QRegularExpression::MultilineOption)),
             qPrintable(lines));

    QFile file(record);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray recorded = file.readAll();
    QVERIFY(recorded.left(recorded.indexOf('\n')).contains("\"via\":\"monitor\""));
    QVERIFY(recorded.contains("\"side\":\"device\""));
    SessionRecordReader reader;
    QVERIFY2(reader.read(record), qPrintable(reader.errorString()));
    QCOMPARE(reader.peers().size(), 1);
    const QList<RecordedExchange> &exchanges = reader.peers().first().exchanges;
    QCOMPARE(exchanges.size(), 2);
    QCOMPARE(exchanges.at(1).request, QStringLiteral("GET:A:1:X:"));
    QCOMPARE(exchanges.at(1).answer, std::optional<QString>(QStringLiteral("0,0")));
    QVERIFY(exchanges.at(1).delayUs >= kDelayMs * 1000);
}

QTEST_GUILESS_MAIN(tst_KelpeerMonitor)
#include "tst_kelpeer_monitor.moc"
