#include "KelOptions.h"
#include "MivError.h"

#include <QTest>

Q_DECLARE_METATYPE(KelConnKind)

class tst_options : public QObject
{
    Q_OBJECT

private slots:
    void serial_data();
    void serial();
    void ethernet_data();
    void ethernet();
    void packet_data();
    void packet();
    void refused_data();
    void refused();
};

void tst_options::serial_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<int>("comPort");
    QTest::addColumn<int>("baud");
    QTest::addColumn<char>("parity");
    QTest::addColumn<int>("dataBits");
    QTest::addColumn<int>("stopBits");
    QTest::addColumn<int>("flow");
    QTest::addColumn<bool>("sync");

    QTest::newRow("COM(Client) defaults") << "Conn=com:1:38400:N:8:1:0,PacketOpt=4:0:0:0,Timeout=500,Sync=True"
                                          << 1 << 38400 << 'N' << 8 << 1 << 0 << true;
    QTest::newRow("COM(Server) defaults") << "Conn=com:1:38400:N:8:1:0,PacketOpt=4:0:0:0,Timeout=500,Sync=False"
                                          << 1 << 38400 << 'N' << 8 << 1 << 0 << false;
    QTest::newRow("both flow controls") << "Conn=com:1:38400:N:8:1:3,PacketOpt=4:0:0:0,Timeout=500,Sync=True"
                                        << 1 << 38400 << 'N' << 8 << 1 << 3 << true;
    QTest::newRow("largest COM port, odd parity, 7E2")
        << "Conn=com:32767:115200:O:7:2:1,PacketOpt=4:0:0:0,Timeout=500,Sync=false"
        << 32767 << 115200 << 'O' << 7 << 2 << 1 << false;
    QTest::newRow("leading zeros, a baud rate off the list") << "Conn=com:007:250000:E:8:1:2"
                                                             << 7 << 250000 << 'E' << 8 << 1 << 2 << false;
    // The dialog keeps the hidden my-IP text on COM types; a serial line does not care.
    QTest::newRow("my IP on a COM type") << "Conn=com:1:38400:N:8:1:0,PacketOpt=4:0:0:0,Timeout=500,Sync=True,MyIP= "
                                         << 1 << 38400 << 'N' << 8 << 1 << 0 << true;
}

void tst_options::serial()
{
    QFETCH(QString, option);
    const KelSettings s = ParseKelOptions(option);
    QCOMPARE(s.kind, KelConnKind::Serial);
    QTEST(s.serial.comPort, "comPort");
    QTEST(int(s.serial.baudRate), "baud");
    QTEST(s.serial.parity, "parity");
    QTEST(s.serial.dataBits, "dataBits");
    QTEST(s.serial.stopBits, "stopBits");
    QTEST(s.serial.flow, "flow");
    QTEST(s.sync, "sync");
    QCOMPARE(s.timeoutMs, 500);
    QVERIFY(s.myIp.isEmpty());
}

void tst_options::ethernet_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<KelConnKind>("kind");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<int>("maxClients");
    QTest::addColumn<int>("idle");
    QTest::addColumn<int>("timeout");
    QTest::addColumn<bool>("sync");
    QTest::addColumn<QString>("myIp");
    QTest::addColumn<int>("myPort"); // -1: none

    QTest::newRow("Ether(Client) defaults")
        << "Conn=eth:127.0.0.1:5006,PacketOpt=4:0:0:0,EtherOpt=0,Timeout=500,Sync=True" << KelConnKind::TcpClient
        << "127.0.0.1" << 5006 << 10 << 900 << 500 << true << "" << -1;
    QTest::newRow("Ether(Server) defaults")
        << "Conn=eth::5006,PacketOpt=4:0:0:0,EtherOpt=1:10:900,Timeout=500" << KelConnKind::TcpServer << ""
        << 5006 << 10 << 900 << 500 << false << "" << -1;
    QTest::newRow("client, my IP without port")
        << "Conn=eth:127.0.0.1:5006,PacketOpt=4:0:0:0,EtherOpt=0,Timeout=500,Sync=True,MyIP=127.0.0.1"
        << KelConnKind::TcpClient << "127.0.0.1" << 5006 << 10 << 900 << 500 << true << "127.0.0.1" << -1;
    QTest::newRow("client, my IP with port")
        << "Conn=eth:127.0.0.1:5006,PacketOpt=4:0:0:0,EtherOpt=0,Timeout=500,Sync=True,MyIP=127.0.0.1:5006"
        << KelConnKind::TcpClient << "127.0.0.1" << 5006 << 10 << 900 << 500 << true << "127.0.0.1" << 5006;
    QTest::newRow("server on a system-chosen port, never idle")
        << "Conn=eth::0,EtherOpt=1:1:0,Timeout=1,MyIP=127.0.0.1" << KelConnKind::TcpServer << "" << 0 << 1 << 0 << 1
        << false << "127.0.0.1" << -1;
    QTest::newRow("client by host name, defaults for absent keys")
        << "Conn=eth:peer.local:65535" << KelConnKind::TcpClient << "peer.local" << 65535 << 10 << 900 << 500
        << false << "" << -1;
    QTest::newRow("IPv6 peer and bind address") << "Conn=eth:::1:5006,EtherOpt=0,MyIP=[::1]:7000"
                                                << KelConnKind::TcpClient << "::1" << 5006 << 10 << 900 << 500
                                                << false << "::1" << 7000;
}

void tst_options::ethernet()
{
    QFETCH(QString, option);
    QFETCH(int, myPort);
    const KelSettings s = ParseKelOptions(option);
    QTEST(s.kind, "kind");
    QTEST(s.host, "host");
    QTEST(int(s.port), "port");
    QTEST(s.maxClients, "maxClients");
    QTEST(s.idleSeconds, "idle");
    QTEST(s.timeoutMs, "timeout");
    QTEST(s.sync, "sync");
    QTEST(s.myIp, "myIp");
    QCOMPARE(s.myPort.has_value(), myPort >= 0);
    if (myPort >= 0)
        QCOMPARE(int(*s.myPort), myPort);
}

void tst_options::packet_data()
{
    QTest::addColumn<QString>("packetOpt");
    QTest::addColumn<int>("convert");
    QTest::addColumn<bool>("header");
    QTest::addColumn<int>("terminator");
    QTest::addColumn<int>("escape");

    QTest::newRow("defaults") << "" << 4 << false << 0 << 0;
    QTest::newRow("EIA, ENQ, CR LF, escape 16") << ",PacketOpt=6:1:2:16" << 6 << true << 2 << 16;
    QTest::newRow("ISO, LF, escape 127") << ",PacketOpt=1:0:1:127" << 1 << false << 1 << 127;
    QTest::newRow("Latin-1, escape 255") << ",PacketOpt=0:0:0:255" << 0 << false << 0 << 255;
    // CR and LF are no frame bytes under EIA, and ENQ is only special with the header on.
    QTest::newRow("EIA escape 13") << ",PacketOpt=2:0:0:13" << 2 << false << 0 << 13;
    QTest::newRow("escape 5 without header") << ",PacketOpt=4:0:0:5" << 4 << false << 0 << 5;
    QTest::newRow("escape LF with CR") << ",PacketOpt=4:0:0:10" << 4 << false << 0 << 10;
}

void tst_options::packet()
{
    QFETCH(QString, packetOpt);
    const KelSettings s = ParseKelOptions("Conn=eth:127.0.0.1:5006" + packetOpt);
    QTEST(s.packet.convert, "convert");
    QTEST(s.packet.header, "header");
    QTEST(s.packet.terminator, "terminator");
    QTEST(s.packet.escape, "escape");
}

void tst_options::refused_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("description");

    const QString eth = "Conn=eth:127.0.0.1:5006";
    QTest::newRow("empty string") << "" << "Conn: missing";
    QTest::newRow("no Conn") << "PacketOpt=4:0:0:0,Timeout=500" << "Conn: missing";
    QTest::newRow("port 70000") << "Conn=eth:127.0.0.1:70000" << "Conn: port 70000 is out of range 1..65535";
    QTest::newRow("client port 0") << "Conn=eth:127.0.0.1:0" << "Conn: port 0 is out of range 1..65535";
    QTest::newRow("COM port 40000") << "Conn=com:40000:38400:N:8:1:0" << "Conn: COM port 40000 is out of range 1..32767";
    QTest::newRow("COM port of 30 digits") << "Conn=com:999999999999999999999999999999:38400:N:8:1:0"
                                           << "Conn: COM port 999999999999999999999999999999 is out of range 1..32767";
    QTest::newRow("COM port in exponent form") << "Conn=com:1E+16:38400:N:8:1:0"
                                               << "Conn: COM port '1E+16' is not a number";
    QTest::newRow("missing parity") << "Conn=com:1:38400::8:1:0" << "Conn: parity is missing";
    QTest::newRow("parity X") << "Conn=com:1:38400:X:8:1:0" << "Conn: parity 'X' is not N, E or O";
    QTest::newRow("data bits 6") << "Conn=com:1:38400:N:6:1:0" << "Conn: data bits 6 is out of range 7..8";
    QTest::newRow("flow 4") << "Conn=com:1:38400:N:8:1:4" << "Conn: flow 4 is out of range 0..3";
    QTest::newRow("baud 0") << "Conn=com:1:0:N:8:1:0" << "Conn: baud rate 0 is out of range 1..2147483647";
    QTest::newRow("short com") << "Conn=com:1:38400" << "Conn: expected com:port:baud:parity:data:stop:flow";
    QTest::newRow("unknown medium") << "Conn=usb:1" << "Conn: 'usb' is not com or eth";
    QTest::newRow("client without address") << "Conn=eth::5006,EtherOpt=0" << "Conn: address is missing";
    QTest::newRow("server with an address") << "Conn=eth:10.0.0.1:5006,EtherOpt=1:10:900"
                                            << "Conn: a server takes no address ('10.0.0.1'); use MyIP";
    QTest::newRow("escape 300") << eth + ",PacketOpt=4:0:0:300" << "PacketOpt: escape 300 is out of range 0..255";
    QTest::newRow("ISO with EIA") << eth + ",PacketOpt=3:0:0:0" << "PacketOpt: convert 3 sets both ISO and EIA";
    QTest::newRow("ISO with EIA and Unicode") << eth + ",PacketOpt=7:0:0:0" << "PacketOpt: convert 7 sets both ISO and EIA";
    QTest::newRow("escape is CR") << eth + ",PacketOpt=4:0:0:13" << "PacketOpt: escape 13 is the terminator byte CR";
    QTest::newRow("escape is LF of CR LF") << eth + ",PacketOpt=4:0:2:10" << "PacketOpt: escape 10 is the terminator byte LF";
    QTest::newRow("escape is ENQ") << eth + ",PacketOpt=4:1:0:5" << "PacketOpt: escape 5 is the ENQ header byte";
    QTest::newRow("escape is EOB") << eth + ",PacketOpt=2:0:0:128" << "PacketOpt: escape 128 is the EIA end-of-block code";
    QTest::newRow("escape above 7 bits with ISO") << eth + ",PacketOpt=1:0:0:200"
                                                  << "PacketOpt: escape 200 does not fit the 7 bits of ISO";
    QTest::newRow("terminator 3") << eth + ",PacketOpt=4:0:3:0" << "PacketOpt: terminator 3 is out of range 0..2";
    QTest::newRow("short PacketOpt") << eth + ",PacketOpt=4:0:0" << "PacketOpt: expected convert:header:terminator:escape";
    QTest::newRow("Sync=maybe") << eth + ",Sync=maybe" << "Sync: 'maybe' is not True or False";
    QTest::newRow("my IP port x") << eth + ",MyIP=127.0.0.1:x" << "MyIP: port 'x' is not a number";
    QTest::newRow("my IP port 70000") << eth + ",MyIP=127.0.0.1:70000" << "MyIP: port 70000 is out of range 0..65535";
    QTest::newRow("my IP not an address") << eth + ",MyIP=here" << "MyIP: 'here' is not an IP address";
    QTest::newRow("my IP of blanks") << eth + ",MyIP= " << "MyIP: ' ' is not an IP address";
    QTest::newRow("my IP port only") << eth + ",MyIP=:5006" << "MyIP: address is missing";
    QTest::newRow("timeout 0") << eth + ",Timeout=0" << "Timeout: value 0 is out of range 1..2147483647";
    QTest::newRow("timeout above 32 bits") << eth + ",Timeout=2147483648"
                                           << "Timeout: value 2147483648 is out of range 1..2147483647";
    QTest::newRow("empty value") << eth + ",Timeout=" << "Timeout: value is missing";
    QTest::newRow("unknown key") << eth + ",Speed=fast" << "Speed: unknown key";
    QTest::newRow("key given twice") << eth + ",Sync=True,Sync=False" << "Sync: given twice";
    QTest::newRow("piece without =") << eth + ",Sync" << "Option: 'Sync' is not Key=value";
    QTest::newRow("trailing comma") << eth + "," << "Option: '' is not Key=value";
    QTest::newRow("server options on a COM line") << "Conn=com:1:38400:N:8:1:0,EtherOpt=1:10:900"
                                                  << "EtherOpt: a serial line has no server options";
    QTest::newRow("EtherOpt 2") << eth + ",EtherOpt=2" << "EtherOpt: '2' is not 0 or 1:max:idle";
    QTest::newRow("max connections 0") << "Conn=eth::5006,EtherOpt=1:0:900"
                                       << "EtherOpt: max connections 0 is out of range 1..2147483647";
    QTest::newRow("idle time beyond the timer") << "Conn=eth::5006,EtherOpt=1:10:2147484"
                                                << "EtherOpt: idle time 2147484 is out of range 0..2147483";
}

void tst_options::refused()
{
    QFETCH(QString, option);
    QFETCH(QString, description);
    try {
        ParseKelOptions(option);
        QFAIL("accepted");
    } catch (const MivError &e) {
        QCOMPARE(e.code(), MivCode::InvalidArg);
        QCOMPARE(e.description(), description);
    }
}

QTEST_GUILESS_MAIN(tst_options)
#include "tst_options.moc"
