#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

// What a KEL option string says, after parsing and range checks.
enum class KelConnKind { Serial, TcpClient, TcpServer };

struct KelSerialSettings
{
    int comPort = 1;
    qint32 baudRate = 38400;
    char parity = 'N'; // 'N', 'E' or 'O'
    int dataBits = 8;  // 7 or 8
    int stopBits = 1;  // 1 or 2
    int flow = 0;      // bit 0 XOn/XOff, bit 1 hardware
};

struct KelPacketSettings
{
    enum Convert { Iso = 1, Eia = 2, Unicode = 4 };
    enum Terminator { Cr = 0, Lf = 1, CrLf = 2 };
    int convert = Unicode;
    bool header = false; // ENQ before the body
    int terminator = Cr;
    int escape = 0; // 0: none, else the escape byte (never a terminator byte or, with header, ENQ)
};

struct KelSettings
{
    KelConnKind kind = KelConnKind::Serial;
    KelSerialSettings serial;
    QString host;     // TCP client: the peer
    quint16 port = 0; // TCP client: the peer's port; server: the listening port
    int maxClients = 10;
    int idleSeconds = 900; // server: a silent client is closed after this; 0 never
    KelPacketSettings packet;
    int timeoutMs = 500;
    bool sync = false;
    QString myIp; // client: bind address; server: listening address; empty: any. Unused on serial.
    std::optional<quint16> myPort; // client: bind port; a server listens on `port` instead
};
