#pragma once

#include <QString>

// Check-box states as the dialog stores them; only Checked counts as set.
enum CheckValue { CheckOff = 0, CheckOn = 1, CheckGrey = 2 };

// Connection types, the indexes of the dialog's type list.
enum ConnType { ComClient = 0, ComServer = 1, EtherClient = 2, EtherServer = 3 };

// The dialog's values at the moment of a build: texts as they stand, list indexes (-1 for no
// selection) and check values.
struct ConnOptionInput
{
    int connType = ComClient;
    QString comPort;
    QString baudRate; // the item text
    int parity = -1;
    int dataBits = -1;
    int stopBits = -1;
    int xonXoff = CheckOff;
    int hwCtrl = CheckOff;
    QString ipAddress;
    QString portNumber;
    QString connMax;
    QString connTimeout;
    QString myIP;
    QString myIPPort;
    int iso = CheckOff;
    int eia = CheckOff;
    int unicode = CheckOff;
    int header = -1;
    int term = -1;
    QString escape;
    QString timeout;
    int sync = CheckOff;
};

// The option string handed to the provider. Never fails: a piece that cannot be had is empty,
// and texts go in unchanged.
QString BuildConnectOption(const ConnOptionInput &input);

QString ParityLetter(int parity);
QString DataBitsText(int dataBits);
QString StopBitsText(int stopBits);
QString FlowCode(int xonXoff, int hwCtrl);
QString ConvertCode(int iso, int eia, int unicode);
QString PacketOption(const ConnOptionInput &input);
QString SyncText(int sync);
