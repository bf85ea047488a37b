#include "ConnectOption.h"

#include <QTest>

#include <functional>

Q_DECLARE_METATYPE(ConnSettings)

namespace {

// The dialog's defaults for a connection type.
ConnSettings defaults(int type)
{
    ConnSettings in;
    in.connType = type;
    in.comPort = QStringLiteral("1");
    in.baudRate = QStringLiteral("38400");
    in.parity = 0;
    in.dataBits = 1;
    in.stopBits = 0;
    in.ipAddress = QStringLiteral("127.0.0.1");
    in.portNumber = QStringLiteral("5006");
    in.connMax = QStringLiteral("10");
    in.connTimeout = QStringLiteral("900");
    in.unicode = CheckOn;
    in.header = 0;
    in.term = 0;
    in.escape = QStringLiteral("0");
    in.timeout = QStringLiteral("500");
    in.sync = CheckOn;
    return in;
}

ConnSettings with(int type, const std::function<void(ConnSettings &)> &change)
{
    ConnSettings in = defaults(type);
    change(in);
    return in;
}

} // namespace

class tst_ConnectOption : public QObject
{
    Q_OBJECT
private slots:
    void build_data();
    void build();
    void pieces_data();
    void pieces();
};

void tst_ConnectOption::build_data()
{
    QTest::addColumn<ConnSettings>("input");
    QTest::addColumn<QString>("expected");

    QTest::newRow("COM(Client) defaults")
        << defaults(ComClient) << "Conn=com:1:38400:N:8:1:0,PacketOpt=4:0:0:0,Timeout=500,Sync=True";
    QTest::newRow("COM(Server) with sync forced off")
        << with(ComServer, [](ConnSettings &in) { in.sync = CheckOff; })
        << "Conn=com:1:38400:N:8:1:0,PacketOpt=4:0:0:0,Timeout=500,Sync=False";
    QTest::newRow("COM(Server) same connection part as the client")
        << defaults(ComServer) << "Conn=com:1:38400:N:8:1:0,PacketOpt=4:0:0:0,Timeout=500,Sync=True";
    QTest::newRow("Ether(Client) defaults")
        << defaults(EtherClient)
        << "Conn=eth:127.0.0.1:5006,PacketOpt=4:0:0:0,EtherOpt=0,Timeout=500,Sync=True";
    QTest::newRow("Ether(Server) defaults: no sync part")
        << defaults(EtherServer) << "Conn=eth::5006,PacketOpt=4:0:0:0,EtherOpt=1:10:900,Timeout=500";
    QTest::newRow("Ether(Server) ignores an unchecked sync too")
        << with(EtherServer, [](ConnSettings &in) { in.sync = CheckOff; })
        << "Conn=eth::5006,PacketOpt=4:0:0:0,EtherOpt=1:10:900,Timeout=500";
    QTest::newRow("both flow controls")
        << with(ComClient, [](ConnSettings &in) { in.xonXoff = in.hwCtrl = CheckOn; })
        << "Conn=com:1:38400:N:8:1:3,PacketOpt=4:0:0:0,Timeout=500,Sync=True";
    QTest::newRow("line settings from their lists")
        << with(ComClient,
                [](ConnSettings &in) {
                    in.comPort = QStringLiteral("12");
                    in.baudRate = QStringLiteral("115200");
                    in.parity = 2;
                    in.dataBits = 0;
                    in.stopBits = 1;
                    in.hwCtrl = CheckOn;
                })
        << "Conn=com:12:115200:O:7:2:2,PacketOpt=4:0:0:0,Timeout=500,Sync=True";
    QTest::newRow("EIA, ENQ header, CR+LF, escape 16")
        << with(EtherClient,
                [](ConnSettings &in) {
                    in.eia = CheckOn;
                    in.header = 1;
                    in.term = 2;
                    in.escape = QStringLiteral("16");
                })
        << "Conn=eth:127.0.0.1:5006,PacketOpt=6:1:2:16,EtherOpt=0,Timeout=500,Sync=True";
    QTest::newRow("ISO and EIA both, with Unicode")
        << with(ComClient, [](ConnSettings &in) { in.iso = in.eia = CheckOn; })
        << "Conn=com:1:38400:N:8:1:0,PacketOpt=7:0:0:0,Timeout=500,Sync=True";
    QTest::newRow("ISO and EIA both, without Unicode")
        << with(ComClient,
                [](ConnSettings &in) {
                    in.iso = in.eia = CheckOn;
                    in.unicode = CheckOff;
                })
        << "Conn=com:1:38400:N:8:1:0,PacketOpt=3:0:0:0,Timeout=500,Sync=True";
    QTest::newRow("grey boxes count as unset")
        << with(ComClient,
                [](ConnSettings &in) {
                    in.xonXoff = in.iso = in.unicode = in.sync = CheckGrey;
                })
        << "Conn=com:1:38400:N:8:1:0,PacketOpt=0:0:0:0,Timeout=500,Sync=False";
    QTest::newRow("my IP alone")
        << with(EtherClient, [](ConnSettings &in) { in.myIP = QStringLiteral("127.0.0.1"); })
        << "Conn=eth:127.0.0.1:5006,PacketOpt=4:0:0:0,EtherOpt=0,Timeout=500,Sync=True,MyIP=127.0.0.1";
    QTest::newRow("my IP with port")
        << with(EtherServer,
                [](ConnSettings &in) {
                    in.myIP = QStringLiteral("127.0.0.1");
                    in.myIPPort = QStringLiteral("5006");
                })
        << "Conn=eth::5006,PacketOpt=4:0:0:0,EtherOpt=1:10:900,Timeout=500,MyIP=127.0.0.1:5006";
    QTest::newRow("my IP port without my IP adds nothing")
        << with(EtherClient, [](ConnSettings &in) { in.myIPPort = QStringLiteral("5006"); })
        << "Conn=eth:127.0.0.1:5006,PacketOpt=4:0:0:0,EtherOpt=0,Timeout=500,Sync=True";
    QTest::newRow("my IP of blanks counts")
        << with(EtherClient,
                [](ConnSettings &in) {
                    in.myIP = QStringLiteral("  ");
                    in.myIPPort = QStringLiteral("1");
                })
        << "Conn=eth:127.0.0.1:5006,PacketOpt=4:0:0:0,EtherOpt=0,Timeout=500,Sync=True,MyIP=  :1";
    QTest::newRow("my IP with a COM type")
        << with(ComServer,
                [](ConnSettings &in) {
                    in.sync = CheckOff;
                    in.myIP = QStringLiteral("10.0.0.2");
                })
        << "Conn=com:1:38400:N:8:1:0,PacketOpt=4:0:0:0,Timeout=500,Sync=False,MyIP=10.0.0.2";
    QTest::newRow("free text goes in unchanged")
        << with(EtherClient,
                [](ConnSettings &in) {
                    in.ipAddress = QStringLiteral(" a,b:c ");
                    in.myIP = QStringLiteral("x=y");
                })
        << "Conn=eth: a,b:c :5006,PacketOpt=4:0:0:0,EtherOpt=0,Timeout=500,Sync=True,MyIP=x=y";
    QTest::newRow("no type selected: only the parts every type has")
        << with(-1, [](ConnSettings &in) { in.myIP = QStringLiteral("h"); })
        << ",PacketOpt=4:0:0:0,Timeout=500,MyIP=h";
    QTest::newRow("no list selections leave their pieces empty")
        << with(ComClient,
                [](ConnSettings &in) {
                    in.baudRate.clear();
                    in.parity = in.dataBits = in.stopBits = in.header = in.term = -1;
                })
        << "Conn=com:1:::::0,PacketOpt=4:::0,Timeout=500,Sync=True";
}

void tst_ConnectOption::build()
{
    QFETCH(ConnSettings, input);
    QFETCH(QString, expected);
    QCOMPARE(BuildConnectOption(input), expected);
}

void tst_ConnectOption::pieces_data()
{
    QTest::addColumn<QString>("actual");
    QTest::addColumn<QString>("expected");

    QTest::newRow("parity 0") << ParityLetter(0) << "N";
    QTest::newRow("parity 1") << ParityLetter(1) << "E";
    QTest::newRow("parity 2") << ParityLetter(2) << "O";
    QTest::newRow("parity 3") << ParityLetter(3) << "";
    QTest::newRow("parity -1") << ParityLetter(-1) << "";
    QTest::newRow("data bits 0") << DataBitsText(0) << "7";
    QTest::newRow("data bits 1") << DataBitsText(1) << "8";
    QTest::newRow("data bits 2") << DataBitsText(2) << "";
    QTest::newRow("stop bits 0") << StopBitsText(0) << "1";
    QTest::newRow("stop bits 1") << StopBitsText(1) << "2";
    QTest::newRow("stop bits 2") << StopBitsText(2) << "";
    QTest::newRow("flow none") << FlowCode(CheckOff, CheckOff) << "0";
    QTest::newRow("flow XOn/XOff") << FlowCode(CheckOn, CheckOff) << "1";
    QTest::newRow("flow hardware") << FlowCode(CheckOff, CheckOn) << "2";
    QTest::newRow("flow grey") << FlowCode(CheckGrey, CheckGrey) << "0";
    QTest::newRow("convert ISO") << ConvertCode(CheckOn, CheckOff, CheckOff) << "1";
    QTest::newRow("convert EIA+Unicode") << ConvertCode(CheckOff, CheckOn, CheckOn) << "6";
    QTest::newRow("convert all") << ConvertCode(CheckOn, CheckOn, CheckOn) << "7";
    QTest::newRow("sync checked") << SyncText(CheckOn) << "True";
    QTest::newRow("sync grey") << SyncText(CheckGrey) << "False";
    QTest::newRow("packet indexes, not item texts")
        << PacketOption(with(ComClient, [](ConnSettings &in) {
               in.header = 1;
               in.term = 1;
               in.escape = QStringLiteral("27");
           }))
        << "4:1:1:27";
}

void tst_ConnectOption::pieces()
{
    QFETCH(QString, actual);
    QFETCH(QString, expected);
    QCOMPARE(actual, expected);
}

QTEST_APPLESS_MAIN(tst_ConnectOption)
#include "tst_ConnectOption.moc"
