#include "MivEngine.h"
#include "PeerOptions.h"
#include "PeerProcess.h"
#include "PtyPair.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr int kWaitMs = 30000; // a restart plus the back-off's first tries, with room
constexpr int kRequests = 8;

bool PumpUntil(const std::function<bool()> &done)
{
    QDeadlineTimer deadline(kWaitMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(20);
    }
    return true;
}

// The tester's end of a serial line: one request and its answer, on a controller of its own.
QString Transact(const QString &devicePath, const QString &request)
{
    qputenv("MIV_COM2", devicePath.toUtf8());
    MivEngine engine;
    MivController *ctrl = engine.Workspaces().Item(0)->AddController(QString(), QStringLiteral("MivProv.KEL"),
                                                                     QStringLiteral("localhost"), ComOption(2));
    return ctrl->transact(request);
}

// A plan of kRequests steps with a short pause between them, each START answered 0.
QByteArray PlanText()
{
    QByteArray text = "[plan]\nname = \"across a restart\"\n";
    for (int i = 0; i < kRequests; ++i)
        text += "[[step]]\nsend = \"START\"\nexpect = \"0\"\n[[step]]\npause = 200\n";
    return text;
}

} // namespace

// kelpeer --reconnect against a device that goes and comes back.
class tst_KelpeerReconnect : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void deviceOnRepluggedSerial();
    void hostAcrossDeviceRestart_data();
    void hostAcrossDeviceRestart();
};

void tst_KelpeerReconnect::initTestCase()
{
    if (PeerProcess::program().isEmpty())
        QSKIP("KELPEER is not set");
}

// The device's serial adapter is unplugged and plugged in again under the same path: the same
// process answers again, with the values it stored before.
void tst_KelpeerReconnect::deviceOnRepluggedSerial()
{
    QTemporaryDir dir;
    const QString adapter = dir.filePath(QStringLiteral("adapter"));
    auto pty = std::make_unique<PtyPair>();
    QVERIFY2(pty->start(5000, adapter), qPrintable(pty->errorString()));
    PeerProcess device;
    QVERIFY2(device.start({"--option", ComOption(1), "--reconnect"}, 5000, {"MIV_COM1=" + adapter}),
             qPrintable(device.errorOutput()));
    QCOMPARE(Transact(pty->second(), QStringLiteral("PUT:R:1:0:3,7")), QStringLiteral("0"));

    pty->stop();
    QVERIFY2(PumpUntil([&] { device.pump(); return device.errorOutput().contains("reconnecting to"); }),
             qPrintable(device.errorOutput()));
    QVERIFY(device.isRunning());
    pty = std::make_unique<PtyPair>();
    QVERIFY2(pty->start(5000, adapter), qPrintable(pty->errorString()));
    QVERIFY2(PumpUntil([&] { device.pump(); return device.errorOutput().contains("kelpeer: reopened"); }),
             qPrintable(device.errorOutput()));
    QCOMPARE(Transact(pty->second(), QStringLiteral("GET:R:1:0:")), QStringLiteral("0,3,7"));
}

void tst_KelpeerReconnect::hostAcrossDeviceRestart_data()
{
    QTest::addColumn<bool>("plan");
    QTest::newRow("--send") << false;
    QTest::newRow("--plan") << true;
}

// The device restarts on the same port while the host runs: every request is answered or
// reported, and the run ends with what it saw.
void tst_KelpeerReconnect::hostAcrossDeviceRestart()
{
    QFETCH(bool, plan);
    auto device = std::make_unique<PeerProcess>();
    QVERIFY(device->start({"--option", EtherServerOption(0)}));
    const quint16 port = device->port();
    QTemporaryDir dir;
    const QString planPath = dir.filePath(QStringLiteral("plan.toml"));
    QFile planFile(planPath);
    QVERIFY(planFile.open(QIODevice::WriteOnly) && planFile.write(PlanText()) > 0);
    planFile.close();

    QProcess host;
    QStringList args{"--option", EtherClientOption(port), "--reconnect"};
    args += plan ? QStringList{"--plan", planPath}
                 : QStringList{"--send", "START", "--count", QString::number(kRequests), "--interval", "200"};
    host.start(PeerProcess::program(), args);
    QByteArray out;
    QByteArray err;
    const auto read = [&] {
        out += host.readAllStandardOutput();
        err += host.readAllStandardError();
    };
    const QByteArray done = plan ? "PASS" : "= 0";
    QVERIFY2(PumpUntil([&] { read(); return out.count(done) >= 2; }), out.constData());
    device->stop();
    QVERIFY2(PumpUntil([&] { read(); return err.contains("reconnecting to"); }), err.constData());
    device = std::make_unique<PeerProcess>();
    QVERIFY(device->start({"--option", EtherServerOption(port)}));
    QVERIFY(host.waitForFinished(kWaitMs));
    read();

    QVERIFY2(err.contains("kelpeer: reopened"), err.constData());
    if (plan) {
        const qsizetype passed = out.count("PASS step");
        const qsizetype failed = out.count("FAIL step");
        QCOMPARE(passed + failed, 2 * kRequests);
        QVERIFY2(out.contains(QStringLiteral("%1 passed, %2 failed").arg(passed).arg(failed).toUtf8()), out.constData());
        QCOMPARE(host.exitCode(), failed > 0 ? 1 : 0);
    } else {
        const qsizetype answered = out.count("= 0");
        const qsizetype reported = err.count("kelpeer: request ");
        QCOMPARE(answered + reported, kRequests);
        QCOMPARE(host.exitCode(), reported > 0 ? 1 : 0);
    }
}

QTEST_GUILESS_MAIN(tst_KelpeerReconnect)
#include "tst_kelpeer_reconnect.moc"
