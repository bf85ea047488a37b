#include "EngineTestUtil.h"
#include "ProcessProbe.h"
#include "MessageLog.h"
#include "MivEngine.h"
#include "PtyPair.h"

#include <QSerialPort>
#include <QEventLoop>
#include <QTest>
#include <QTimer>

namespace {

MivController *ConnectCom2(MivEngine &engine)
{
    return Connect(engine, QStringLiteral("Conn=com:2:38400:N:8:1:0,PacketOpt=4:0:0:0,Timeout=1000"));
}

std::unique_ptr<PtyPair> NewLine()
{
    auto pty = std::make_unique<PtyPair>();
    if (!pty->start())
        return {};
    qputenv("MIV_COM2", pty->first().toUtf8());
    return pty;
}

QByteArray ReadLine(QSerialPort &port, int timeoutMs = 3000)
{
    QByteArray got;
    QDeadlineTimer deadline(timeoutMs);
    while (!got.endsWith('\r') && !deadline.hasExpired()) {
        if (port.bytesAvailable() == 0)
            port.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
        got += port.read(1);
    }
    return got;
}

} // namespace

// The engine holds one end of a pseudo-terminal pair; the pair vanishes under it.
class tst_FaultSerial : public QObject
{
    Q_OBJECT
private slots:
    void deviceVanishes_data();
    void deviceVanishes();
};

void tst_FaultSerial::deviceVanishes_data()
{
    QTest::addColumn<QByteArray>("before"); // what the far end sends before the line goes
    QTest::newRow("idle line") << QByteArray();
    QTest::newRow("after a whole frame") << QByteArray("0,3,5\r");
    QTest::newRow("in the middle of a frame") << QByteArray("0,8,HAL");
}

void tst_FaultSerial::deviceVanishes()
{
    QFETCH(QByteArray, before);
    std::unique_ptr<PtyPair> pty = NewLine();
    QVERIFY(pty);
    MivEngine engine;
    MivCollection<MivController> &controllers = engine.Workspaces().Item(0)->Controllers();
    MivController *ctrl = ConnectCom2(engine);
    MessageLog log(ctrl);
    if (!before.isEmpty()) {
        QSerialPort far(pty->second());
        QVERIFY(far.open(QIODevice::ReadWrite));
        far.write(before);
        QVERIFY(far.waitForBytesWritten(3000));
        Pump(200);
    }
    const qsizetype framesBefore = log.ofKind(MivMessageKind::Unsolicited).size();
    QCOMPARE(framesBefore, before.endsWith('\r') ? 1 : 0);

    pty.reset(); // socat dies, and both ends with it
    QDeadlineTimer deadline(5000);
    while (log.ofKind(MivMessageKind::Error).isEmpty() && log.ofKind(MivMessageKind::Disconnected).isEmpty() && !deadline.hasExpired())
        Pump(20);
    QVERIFY2(!log.ofKind(MivMessageKind::Error).isEmpty() || !log.ofKind(MivMessageKind::Disconnected).isEmpty(), "the vanished device went unreported");
    QCOMPARE(log.ofKind(MivMessageKind::Unsolicited).size(), framesBefore);

    // A dead descriptor that keeps waking the event loop shows up as CPU time.
    // Pump() polls without sleeping; an event loop sleeps until something happens.
    const qint64 cpuBefore = ProcessCpuMs();
    QEventLoop idle;
    QTimer::singleShot(1000, &idle, &QEventLoop::quit);
    idle.exec();
    const qint64 cpuUsed = ProcessCpuMs() - cpuBefore;
    QVERIFY2(cpuUsed < 300, qPrintable(QStringLiteral("%1 ms of CPU in 1 s of waiting").arg(cpuUsed)));
    QVERIFY(Failure([&] { ctrl->Execute(QStringLiteral("Send"), QStringLiteral("PING")); }));

    // A new line and a new controller work as if nothing had happened.
    controllers.Remove(ctrl->Index());
    pty = NewLine();
    QVERIFY(pty);
    MivController *again = ConnectCom2(engine);
    MessageLog logAgain(again);
    QSerialPort far(pty->second());
    QVERIFY(far.open(QIODevice::ReadWrite));
    far.write("HELLO\r");
    QVERIFY(far.waitForBytesWritten(3000));
    QVERIFY(logAgain.waitForKind(MivMessageKind::Unsolicited, 1));
    QCOMPARE(logAgain.valuesOfKind(MivMessageKind::Unsolicited), QStringList{"HELLO"});
    again->Execute(QStringLiteral("Send"), QStringLiteral("PING"));
    QCOMPARE(ReadLine(far), QByteArray("PING\r"));
}

QTEST_GUILESS_MAIN(tst_FaultSerial)
#include "tst_fault_serial.moc"
