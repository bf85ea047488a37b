#include "KelOptions.h"
#include "MivError.h"
#include "WindowControls.h"
#include "frmConn.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <functional>

Q_DECLARE_METATYPE(std::function<void(frmConn *)>)
Q_DECLARE_METATYPE(KelSettings)

namespace {

using Change = std::function<void(frmConn *)>;

KelSettings expectedDefaults(KelConnKind kind)
{
    KelSettings s;
    s.kind = kind;
    if (kind == KelConnKind::TcpClient)
        s.host = QStringLiteral("127.0.0.1");
    if (kind != KelConnKind::Serial)
        s.port = 5006;
    s.sync = kind != KelConnKind::TcpServer;
    return s;
}

KelSettings expected(KelConnKind kind, const std::function<void(KelSettings &)> &change)
{
    KelSettings s = expectedDefaults(kind);
    change(s);
    return s;
}

} // namespace

// What the dialog builds, the engine reads back as the same settings.
class tst_ConnOptionParse : public QObject
{
    Q_OBJECT
private slots:
    void roundTrip_data();
    void roundTrip();
};

void tst_ConnOptionParse::roundTrip_data()
{
    QTest::addColumn<Change>("change");
    QTest::addColumn<KelSettings>("settings");

    QTest::newRow("COM(Client) defaults")
        << Change([](frmConn *) {}) << expectedDefaults(KelConnKind::Serial);
    QTest::newRow("COM(Server) line settings")
        << Change([](frmConn *d) {
               Control<QComboBox>(d, "cmbConnType")->setCurrentIndex(ComServer);
               Control<QLineEdit>(d, "txtComPort")->setText(QStringLiteral("7"));
               Control<QComboBox>(d, "cmbBaudRate")->setCurrentIndex(5);
               Control<QComboBox>(d, "cmbParity")->setCurrentIndex(1);
               Control<QComboBox>(d, "cmbDataBits")->setCurrentIndex(0);
               Control<QComboBox>(d, "cmbStopBits")->setCurrentIndex(1);
               Control<QCheckBox>(d, "chkXonXoff")->setChecked(true);
               Control<QCheckBox>(d, "chkHWCtrl")->setChecked(true);
               Control<QCheckBox>(d, "chkISO")->setChecked(true);
           })
        << expected(KelConnKind::Serial, [](KelSettings &s) {
               s.serial = {7, 115200, 'E', 7, 2, 3};
               s.packet.convert = KelPacketSettings::Iso | KelPacketSettings::Unicode;
               s.sync = false;
           });
    QTest::newRow("Ether(Client) packet, timeout, my IP")
        << Change([](frmConn *d) {
               Control<QComboBox>(d, "cmbConnType")->setCurrentIndex(EtherClient);
               Control<QLineEdit>(d, "txtIPAddress")->setText(QStringLiteral("192.168.0.9"));
               Control<QLineEdit>(d, "txtPortNumber")->setText(QStringLiteral("7001"));
               Control<QCheckBox>(d, "chkEIA")->setChecked(true);
               Control<QComboBox>(d, "cmbHeader")->setCurrentIndex(1);
               Control<QComboBox>(d, "cmbTerm")->setCurrentIndex(2);
               Control<QLineEdit>(d, "txtEscape")->setText(QStringLiteral("16"));
               Control<QLineEdit>(d, "txtTimeout")->setText(QStringLiteral("1500"));
               Control<QCheckBox>(d, "chkSync")->setChecked(false);
               Control<QLineEdit>(d, "txtMyIP")->setText(QStringLiteral("127.0.0.1"));
               Control<QLineEdit>(d, "txtPort")->setText(QStringLiteral("6002"));
           })
        << expected(KelConnKind::TcpClient, [](KelSettings &s) {
               s.host = QStringLiteral("192.168.0.9");
               s.port = 7001;
               s.packet = {KelPacketSettings::Eia | KelPacketSettings::Unicode, true,
                           KelPacketSettings::CrLf, 16};
               s.timeoutMs = 1500;
               s.sync = false;
               s.myIp = QStringLiteral("127.0.0.1");
               s.myPort = 6002;
           });
    QTest::newRow("Ether(Server) limits and my IP")
        << Change([](frmConn *d) {
               Control<QComboBox>(d, "cmbConnType")->setCurrentIndex(EtherServer);
               Control<QLineEdit>(d, "txtPortNumber")->setText(QStringLiteral("6100"));
               Control<QLineEdit>(d, "txtConnMax")->setText(QStringLiteral("3"));
               Control<QLineEdit>(d, "txtConnTimeout")->setText(QStringLiteral("0"));
               Control<QComboBox>(d, "cmbTerm")->setCurrentIndex(1);
               Control<QLineEdit>(d, "txtMyIP")->setText(QStringLiteral("127.0.0.1"));
           })
        << expected(KelConnKind::TcpServer, [](KelSettings &s) {
               s.port = 6100;
               s.maxClients = 3;
               s.idleSeconds = 0;
               s.packet.terminator = KelPacketSettings::Lf;
               s.myIp = QStringLiteral("127.0.0.1");
           });
}

void tst_ConnOptionParse::roundTrip()
{
    QFETCH(Change, change);
    QFETCH(KelSettings, settings);

    frmConn dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    change(&dialog);
    Control<QPushButton>(&dialog, "cmdOK")->click();
    QVERIFY(dialog.isAccepted());

    KelSettings parsed;
    try {
        parsed = ParseKelOptions(dialog.connectOption());
    } catch (const MivError &error) {
        QFAIL(qPrintable(dialog.connectOption() + QStringLiteral(": ") + error.description()));
    }
    QCOMPARE(int(parsed.kind), int(settings.kind));
    if (settings.kind == KelConnKind::Serial) {
        QCOMPARE(parsed.serial.comPort, settings.serial.comPort);
        QCOMPARE(parsed.serial.baudRate, settings.serial.baudRate);
        QCOMPARE(parsed.serial.parity, settings.serial.parity);
        QCOMPARE(parsed.serial.dataBits, settings.serial.dataBits);
        QCOMPARE(parsed.serial.stopBits, settings.serial.stopBits);
        QCOMPARE(parsed.serial.flow, settings.serial.flow);
    }
    if (settings.kind == KelConnKind::TcpClient)
        QCOMPARE(parsed.host, settings.host);
    if (settings.kind != KelConnKind::Serial)
        QCOMPARE(parsed.port, settings.port);
    if (settings.kind == KelConnKind::TcpServer) {
        QCOMPARE(parsed.maxClients, settings.maxClients);
        QCOMPARE(parsed.idleSeconds, settings.idleSeconds);
    }
    QCOMPARE(parsed.packet.convert, settings.packet.convert);
    QCOMPARE(parsed.packet.header, settings.packet.header);
    QCOMPARE(parsed.packet.terminator, settings.packet.terminator);
    QCOMPARE(parsed.packet.escape, settings.packet.escape);
    QCOMPARE(parsed.timeoutMs, settings.timeoutMs);
    QCOMPARE(parsed.sync, settings.sync);
    QCOMPARE(parsed.myIp, settings.myIp);
    QCOMPARE(parsed.myPort, settings.myPort);
}

QTEST_MAIN(tst_ConnOptionParse)
#include "tst_ConnOptionParse.moc"
