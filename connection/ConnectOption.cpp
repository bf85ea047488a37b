#include "ConnectOption.h"

namespace {

bool isSet(int checkValue)
{
    return checkValue == CheckOn;
}

// List indexes go in as plain decimal; no selection gives nothing.
QString indexText(int index)
{
    return index < 0 ? QString() : QString::number(index);
}

QString pick(int index, const char *first, const char *second, const char *third = nullptr)
{
    const char *const choices[] = {first, second, third};
    if (index < 0 || index > 2 || !choices[index])
        return QString();
    return QString::fromLatin1(choices[index]);
}

QString connectionPart(const ConnSettings &in)
{
    switch (in.connType) {
    case ComClient:
    case ComServer:
        return QStringLiteral("Conn=com:") + in.comPort + u':' + in.baudRate + u':'
               + ParityLetter(in.parity) + u':' + DataBitsText(in.dataBits) + u':'
               + StopBitsText(in.stopBits) + u':' + FlowCode(in.xonXoff, in.hwCtrl);
    case EtherClient:
        return QStringLiteral("Conn=eth:") + in.ipAddress + u':' + in.portNumber;
    case EtherServer:
        return QStringLiteral("Conn=eth::") + in.portNumber;
    default:
        return QString();
    }
}

QString etherPart(const ConnSettings &in)
{
    switch (in.connType) {
    case EtherClient:
        return QStringLiteral(",EtherOpt=0");
    case EtherServer:
        return QStringLiteral(",EtherOpt=1:") + in.connMax + u':' + in.connTimeout;
    default:
        return QString();
    }
}

QString syncPart(const ConnSettings &in)
{
    switch (in.connType) {
    case ComClient:
    case ComServer:
    case EtherClient:
        return QStringLiteral(",Sync=") + SyncText(in.sync);
    default:
        return QString();
    }
}

// Only a zero-length address counts as absent; blanks are passed on.
QString myIPPart(const ConnSettings &in)
{
    if (in.myIP.isEmpty())
        return QString();
    if (in.myIPPort.isEmpty())
        return QStringLiteral(",MyIP=") + in.myIP;
    return QStringLiteral(",MyIP=") + in.myIP + u':' + in.myIPPort;
}

} // namespace

QString ParityLetter(int parity)
{
    return pick(parity, "N", "E", "O");
}

QString DataBitsText(int dataBits)
{
    return pick(dataBits, "7", "8");
}

QString StopBitsText(int stopBits)
{
    return pick(stopBits, "1", "2");
}

QString FlowCode(int xonXoff, int hwCtrl)
{
    return QString::number((isSet(xonXoff) ? 1 : 0) + (isSet(hwCtrl) ? 2 : 0));
}

QString ConvertCode(int iso, int eia, int unicode)
{
    return QString::number((isSet(iso) ? 1 : 0) + (isSet(eia) ? 2 : 0) + (isSet(unicode) ? 4 : 0));
}

QString PacketOption(const ConnSettings &input)
{
    return ConvertCode(input.iso, input.eia, input.unicode) + u':' + indexText(input.header) + u':'
           + indexText(input.term) + u':' + input.escape;
}

QString SyncText(int sync)
{
    return isSet(sync) ? QStringLiteral("True") : QStringLiteral("False");
}

QString BuildConnectOption(const ConnSettings &input)
{
    return connectionPart(input) + QStringLiteral(",PacketOpt=") + PacketOption(input)
           + etherPart(input) + QStringLiteral(",Timeout=") + input.timeout + syncPart(input)
           + myIPPart(input);
}
