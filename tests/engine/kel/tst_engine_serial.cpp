#include "EngineTestUtil.h"
#include "MessageLog.h"
#include "MivEngine.h"
#include "PtyPair.h"

#include <QFile>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTest>

namespace {

QString SerialOption(int comPort, int timeoutMs = 2000)
{
    return QStringLiteral("Conn=com:%1:38400:N:8:1:0,PacketOpt=4:0:0:0,Timeout=%2").arg(comPort).arg(timeoutMs);
}

} // namespace

// The engine on one end of a pseudo-terminal pair, kelpeer on the other: COM 2 is the
// engine's, COM 1 the peer's.
class tst_EngineSerial : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void roundTrip_data();
    void roundTrip();
    void hostOverSerial();
    void receiveErrorIsOneMessage();
    void removeInsideOnMessage();
    void openFails_data();
    void openFails();

private:
    std::unique_ptr<PtyPair> m_pty;
};

void tst_EngineSerial::init()
{
    m_pty = std::make_unique<PtyPair>();
    QVERIFY2(m_pty->start(), qPrintable(m_pty->errorString()));
    qputenv("MIV_COM1", m_pty->second().toUtf8());
    qputenv("MIV_COM2", m_pty->first().toUtf8());
}

void tst_EngineSerial::roundTrip_data()
{
    QTest::addColumn<bool>("inProcess");
    QTest::newRow("in-process") << true;
    QTest::newRow("process") << false;
}

void tst_EngineSerial::roundTrip()
{
    QFETCH(bool, inProcess);
    if (!inProcess && PeerProcess::program().isEmpty())
        QSKIP("KELPEER is not set");
    Device device;
    QVERIFY2(device.start(inProcess, {"--option", SerialOption(1), "--fail", "PUT:R:"},
                          {"MIV_COM1=" + m_pty->second()}),
             qPrintable(device.errorString()));
    QCOMPARE(device.address(), m_pty->second());
    MivEngine engine;
    MivController *ctrl = Connect(engine, SerialOption(2));
    QCOMPARE(ctrl->localAddress(), m_pty->first());
    MessageLog log(ctrl);

    MivVariable *var = ctrl->AddVariable(QStringLiteral("A:1:X"), QString());
    var->setValue(QStringLiteral("line, one"));
    QCOMPARE(var->Value(), MivVariant(QStringLiteral("line, one")));
    MivVariable *refused = ctrl->AddVariable(QStringLiteral("R:1:X"), QString());
    const auto error = Failure([&] { refused->setValue(qint32(1)); });
    QVERIFY(error);
    QVERIFY2(error->description().contains("E_FAIL (0x80004005)"), qPrintable(error->description()));

    ctrl->Execute(QStringLiteral("Send"), QStringLiteral("GET:A:1:X:"));
    QVERIFY(log.waitForKind(MivMessageKind::Unsolicited, 1));
    QCOMPARE(log.valuesOfKind(MivMessageKind::Unsolicited), QStringList{"0,8,line, one"});
    QCOMPARE(log.valuesOfKind(MivMessageKind::Connected), QStringList{m_pty->first()});
}

void tst_EngineSerial::hostOverSerial()
{
    if (PeerProcess::program().isEmpty())
        QSKIP("KELPEER is not set");
    MivEngine engine;
    // With an escape byte, so that the packet options meet on both ends.
    MivController *ctrl = Connect(engine, QStringLiteral("Conn=com:2:38400:N:8:1:0,PacketOpt=4:0:0:27,Timeout=500"));
    MessageLog log(ctrl);
    PeerProcess host;
    QVERIFY(host.start({"--option", "Conn=com:1:38400:N:8:1:0,PacketOpt=4:0:0:27,Timeout=300", "--send", "START",
                        "--count", "2", "--no-wait"},
                       5000, {"MIV_COM1=" + m_pty->second()}));
    QVERIFY(log.waitForKind(MivMessageKind::Unsolicited, 2));
    QCOMPARE(log.valuesOfKind(MivMessageKind::Unsolicited), (QStringList{"START", "START"}));
    // A reply on a serial line goes back over the line.
    log.ofKind(MivMessageKind::Unsolicited).first().Reply(QStringLiteral("0"));
    ctrl->Execute(QStringLiteral("Send"), QStringLiteral("0"));
    QVERIFY(host.waitForFinished(3000));
    QCOMPARE(host.exitCode(), 0);
    QCOMPARE(host.answers(), (QStringList{"0", "0"}));
}

void tst_EngineSerial::receiveErrorIsOneMessage()
{
    MivEngine engine;
    MivController *ctrl = Connect(engine, SerialOption(2));
    MessageLog log(ctrl);
    // Written from the event loop: a pty holds only a few kilobytes.
    QSerialPort far(m_pty->second());
    QVERIFY(far.open(QIODevice::ReadWrite));
    far.write(QByteArray(70000, 'x') + "\rOK\r");
    QVERIFY(log.waitForKind(MivMessageKind::Unsolicited, 1));
    QCOMPARE(log.ofKind(MivMessageKind::Error).size(), 1);
    QCOMPARE(log.valuesOfKind(MivMessageKind::Unsolicited), QStringList{"OK"});
}

// Delivered straight from the line's input: the port closes at once and goes after its signal.
void tst_EngineSerial::removeInsideOnMessage()
{
    MivEngine engine;
    MivWorkspace *ws = engine.Workspaces().Item(0);
    MivController *ctrl = Connect(engine, SerialOption(2));
    const qint32 index = ctrl->Index();
    MessageLog log(ctrl);
    log.onMessage = [&](const MivMessage &m) {
        if (m.Kind() == MivMessageKind::Unsolicited && ws->Controllers().Count() > 0)
            ws->Controllers().Remove(index);
    };
    QSerialPort far(m_pty->second());
    QVERIFY(far.open(QIODevice::ReadWrite));
    far.write("ONE\rTWO\r");
    QVERIFY(log.waitForKind(MivMessageKind::Unsolicited, 1));
    Pump(200);
    QCOMPARE(ws->Controllers().Count(), 0);
    QCOMPARE(log.valuesOfKind(MivMessageKind::Unsolicited), QStringList{"ONE"});
}

void tst_EngineSerial::openFails_data()
{
    QTest::addColumn<QString>("holder"); // who holds the pty already: "", "engine" or "kelpeer"
    QTest::addColumn<bool>("holderByLink"); // ...through a symbolic link to it
    QTest::addColumn<QString>("path");   // MIV_COM3: "link", "pty", or a path
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing") << "" << false << "/dev/no-such-tty" << "Cannot open COM3 (/dev/no-such-tty)";
    QTest::newRow("busy") << "engine" << false << "pty" << "Cannot open COM3 (";
    QTest::newRow("busy, opened by a link") << "engine" << false << "link" << "in use by another program";
    QTest::newRow("busy, held by a link") << "engine" << true << "pty" << "in use by another program";
    QTest::newRow("another process holds it by a link") << "kelpeer" << true << "pty" << "in use by another program";
}

void tst_EngineSerial::openFails()
{
    QFETCH(QString, holder);
    QFETCH(bool, holderByLink);
    QFETCH(QString, path);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("ttyKEL"));
    QVERIFY(QFile::link(m_pty->first(), link));
    const QString holderPath = holderByLink ? link : m_pty->first();
    MivEngine engine;
    PeerProcess other;
    if (holder == QLatin1String("engine")) {
        qputenv("MIV_COM2", holderPath.toUtf8());
        Connect(engine, SerialOption(2));
    } else if (holder == QLatin1String("kelpeer")) {
        if (PeerProcess::program().isEmpty())
            QSKIP("KELPEER is not set");
        QVERIFY(other.start({"--option", SerialOption(1)}, 5000, {"MIV_COM1=" + holderPath}));
    }
    path = path == QLatin1String("link") ? link : path == QLatin1String("pty") ? m_pty->first() : path;
    qputenv("MIV_COM3", path.toUtf8());
    const auto error = Failure([&] { Connect(engine, SerialOption(3)); });
    QVERIFY(error);
    QVERIFY2(error->description().startsWith("Cannot open COM3 (" + path) && error->description().contains(reason),
             qPrintable(error->description()));
    // The system's reason follows.
    QVERIFY2(error->description().size() > reason.size() + path.size() + 3, qPrintable(error->description()));
}

QTEST_GUILESS_MAIN(tst_EngineSerial)
#include "tst_engine_serial.moc"
