#pragma once

#include <QString>

// Check-box states as the dialog stores them; only Checked counts as set.
enum CheckValue { CheckOff = 0, CheckOn = 1, CheckGrey = 2 };

// Connection types, the indexes of the dialog's type list.
enum ConnType { ComClient = 0, ComServer = 1, EtherClient = 2, EtherServer = 3 };

// Every field of the connection dialog as a value: texts as they stand, list indexes (-1 for no
// selection) and check values. The defaults are the dialog's. A value says how to connect
// without any window: the option string is BuildConnectOption of it.
struct ConnSettings
{
    int connType = ComClient;
    QString comPort = QStringLiteral("1");
    QString baudRate = QStringLiteral("38400"); // the item text
    int parity = 0;
    int dataBits = 1;
    int stopBits = 0;
    int xonXoff = CheckOff;
    int hwCtrl = CheckOff;
    QString ipAddress = QStringLiteral("127.0.0.1");
    QString portNumber = QStringLiteral("5006");
    QString connMax = QStringLiteral("10");
    QString connTimeout = QStringLiteral("900");
    QString myIP;
    QString myIPPort;
    int iso = CheckOff;
    int eia = CheckOff;
    int unicode = CheckOn;
    int header = 0;
    int term = 0;
    QString escape = QStringLiteral("0");
    QString timeout = QStringLiteral("500");
    int sync = CheckOn;

    friend bool operator==(const ConnSettings &, const ConnSettings &) = default;
};

// The client types send requests; the server types answer them.
inline bool IsClientType(int connType)
{
    return connType == ComClient || connType == EtherClient;
}
