#include "KelOptions.h"

#include "EiaCode.h"
#include "MivError.h"

#include <QHostAddress>
#include <QStringList>

#include <algorithm>
#include <limits>

namespace {

constexpr qint64 kInt32Max = std::numeric_limits<qint32>::max();
constexpr qint64 kMaxIdleSeconds = kInt32Max / 1000; // the idle timer counts milliseconds
constexpr char16_t kEnq = 0x05;

[[noreturn]] void Refuse(QStringView key, const QString &what)
{
    throw MivError(MivCode::InvalidArg, key.toString() + QStringLiteral(": ") + what);
}

// A plain decimal number within min..max. Accumulation stops once past max, so any number of
// digits is safe.
qint64 Number(QStringView key, QStringView text, const QString &what, qint64 min, qint64 max)
{
    if (text.isEmpty())
        Refuse(key, what + QStringLiteral(" is missing"));
    qint64 value = 0;
    for (QChar c : text) {
        if (c < u'0' || c > u'9')
            Refuse(key, QStringLiteral("%1 '%2' is not a number").arg(what, text));
        if (value <= max)
            value = value * 10 + (c.unicode() - u'0');
    }
    if (value < min || value > max)
        Refuse(key, QStringLiteral("%1 %2 is out of range %3..%4").arg(what, text).arg(min).arg(max));
    return value;
}

QString StripBrackets(QStringView address)
{
    if (address.size() >= 2 && address.front() == u'[' && address.back() == u']')
        return address.sliced(1, address.size() - 2).toString();
    return address.toString();
}

struct Pieces
{
    std::optional<QString> conn, packetOpt, etherOpt, timeout, sync, myIp;
};

Pieces SplitPieces(const QString &option)
{
    Pieces pieces;
    const struct
    {
        QStringView name;
        std::optional<QString> Pieces::*slot;
    } keys[] = {
        {u"Conn", &Pieces::conn},       {u"PacketOpt", &Pieces::packetOpt},
        {u"EtherOpt", &Pieces::etherOpt}, {u"Timeout", &Pieces::timeout},
        {u"Sync", &Pieces::sync},       {u"MyIP", &Pieces::myIp},
    };
    if (option.isEmpty())
        return pieces;
    for (QStringView piece : QStringView(option).split(u',')) {
        const qsizetype eq = piece.indexOf(u'=');
        if (eq < 0)
            Refuse(u"Option", QStringLiteral("'%1' is not Key=value").arg(piece));
        const QStringView key = piece.first(eq);
        const auto known = std::find_if(std::begin(keys), std::end(keys), [key](const auto &k) {
            return k.name.compare(key, Qt::CaseInsensitive) == 0;
        });
        if (known == std::end(keys))
            Refuse(key.isEmpty() ? u"Option" : key,
                   key.isEmpty() ? QStringLiteral("'%1' has no key").arg(piece) : QStringLiteral("unknown key"));
        std::optional<QString> &slot = pieces.*(known->slot);
        if (slot)
            Refuse(known->name, QStringLiteral("given twice"));
        const QStringView value = piece.sliced(eq + 1);
        if (value.isEmpty())
            Refuse(known->name, QStringLiteral("value is missing"));
        slot = value.toString();
    }
    return pieces;
}

void ParseSerial(const QList<QStringView> &parts, KelSerialSettings &serial)
{
    const QStringView key = u"Conn";
    if (parts.size() != 7)
        Refuse(key, QStringLiteral("expected com:port:baud:parity:data:stop:flow"));
    serial.comPort = int(Number(key, parts[1], QStringLiteral("COM port"), 1, 32767));
    serial.baudRate = qint32(Number(key, parts[2], QStringLiteral("baud rate"), 1, kInt32Max));
    const QString parity = parts[3].toString().toUpper();
    if (parity.isEmpty())
        Refuse(key, QStringLiteral("parity is missing"));
    if (parity != u"N" && parity != u"E" && parity != u"O")
        Refuse(key, QStringLiteral("parity '%1' is not N, E or O").arg(parts[3]));
    serial.parity = char(parity.front().unicode());
    serial.dataBits = int(Number(key, parts[4], QStringLiteral("data bits"), 7, 8));
    serial.stopBits = int(Number(key, parts[5], QStringLiteral("stop bits"), 1, 2));
    serial.flow = int(Number(key, parts[6], QStringLiteral("flow"), 0, 3));
}

void ParsePacket(const QString &value, KelPacketSettings &packet)
{
    const QStringView key = u"PacketOpt";
    const QList<QStringView> parts = QStringView(value).split(u':');
    if (parts.size() != 4)
        Refuse(key, QStringLiteral("expected convert:header:terminator:escape"));
    packet.convert = int(Number(key, parts[0], QStringLiteral("convert"), 0, 7));
    const bool iso = packet.convert & KelPacketSettings::Iso;
    const bool eia = packet.convert & KelPacketSettings::Eia;
    if (iso && eia)
        Refuse(key, QStringLiteral("convert %1 sets both ISO and EIA").arg(packet.convert));
    packet.header = Number(key, parts[1], QStringLiteral("header"), 0, 1) == 1;
    packet.terminator = int(Number(key, parts[2], QStringLiteral("terminator"), 0, 2));
    packet.escape = int(Number(key, parts[3], QStringLiteral("escape"), 0, 255));

    const int e = packet.escape;
    if (e == 0)
        return;
    // The escape must never be mistaken for a byte that delimits frames.
    if (eia) {
        if (e == EiaCode::kEndOfBlock)
            Refuse(key, QStringLiteral("escape %1 is the EIA end-of-block code").arg(e));
    } else {
        const bool cr = packet.terminator != KelPacketSettings::Lf;
        const bool lf = packet.terminator != KelPacketSettings::Cr;
        if (cr && e == '\r')
            Refuse(key, QStringLiteral("escape %1 is the terminator byte CR").arg(e));
        if (lf && e == '\n')
            Refuse(key, QStringLiteral("escape %1 is the terminator byte LF").arg(e));
    }
    if (packet.header && e == kEnq)
        Refuse(key, QStringLiteral("escape %1 is the ENQ header byte").arg(e));
    if (iso && e > 0x7F)
        Refuse(key, QStringLiteral("escape %1 does not fit the 7 bits of ISO").arg(e));
}

void ParseMyIp(const QString &value, KelSettings &settings)
{
    const QStringView key = u"MyIP";
    QStringView address = value;
    QStringView port;
    bool hasPort = false;
    if (value.startsWith(u'[')) {
        // [v6] or [v6]:port
        const qsizetype close = value.indexOf(u']');
        if (close < 0)
            Refuse(key, QStringLiteral("'%1' lacks the closing ]").arg(value));
        address = QStringView(value).first(close + 1);
        const QStringView rest = QStringView(value).sliced(close + 1);
        if (!rest.isEmpty()) {
            if (rest.front() != u':')
                Refuse(key, QStringLiteral("'%1' is not address[:port]").arg(value));
            port = rest.sliced(1);
            hasPort = true;
        }
    } else if (value.count(u':') == 1) {
        // A bare IPv6 address has several colons and cannot carry a port.
        const qsizetype colon = value.indexOf(u':');
        address = QStringView(value).first(colon);
        port = QStringView(value).sliced(colon + 1);
        hasPort = true;
    }
    if (address.isEmpty())
        Refuse(key, QStringLiteral("address is missing"));
    const QString host = StripBrackets(address);
    if (QHostAddress(host).isNull())
        Refuse(key, QStringLiteral("'%1' is not an IP address").arg(host));
    settings.myIp = host;
    if (hasPort) {
        if (port.isEmpty())
            Refuse(key, QStringLiteral("port is missing"));
        settings.myPort = quint16(Number(key, port, QStringLiteral("port"), 0, 65535));
    }
}

bool ParseSync(const QString &value)
{
    if (value.compare(u"True", Qt::CaseInsensitive) == 0)
        return true;
    if (value.compare(u"False", Qt::CaseInsensitive) == 0)
        return false;
    Refuse(u"Sync", QStringLiteral("'%1' is not True or False").arg(value));
}

} // namespace

KelSettings ParseKelOptions(const QString &option)
{
    const Pieces pieces = SplitPieces(option);
    KelSettings settings;
    if (!pieces.conn)
        Refuse(u"Conn", QStringLiteral("missing"));

    const QList<QStringView> conn = QStringView(*pieces.conn).split(u':');
    const QStringView medium = conn.front();
    const bool serial = medium.compare(u"com", Qt::CaseInsensitive) == 0;
    if (!serial && medium.compare(u"eth", Qt::CaseInsensitive) != 0)
        Refuse(u"Conn", QStringLiteral("'%1' is not com or eth").arg(medium));

    bool server = false;
    if (pieces.etherOpt) {
        const QStringView key = u"EtherOpt";
        const QList<QStringView> parts = QStringView(*pieces.etherOpt).split(u':');
        if (parts.size() == 1 && parts[0] == u"0") {
            server = false;
        } else if (parts.size() == 3 && parts[0] == u"1") {
            server = true;
            settings.maxClients = int(Number(key, parts[1], QStringLiteral("max connections"), 1, kInt32Max));
            settings.idleSeconds = int(Number(key, parts[2], QStringLiteral("idle time"), 0, kMaxIdleSeconds));
        } else {
            Refuse(key, QStringLiteral("'%1' is not 0 or 1:max:idle").arg(*pieces.etherOpt));
        }
        if (serial && server)
            Refuse(key, QStringLiteral("a serial line has no server options"));
    }

    if (serial) {
        settings.kind = KelConnKind::Serial;
        ParseSerial(conn, settings.serial);
    } else {
        // eth:address:port; the port follows the last colon so that IPv6 addresses pass.
        const QStringView connText = *pieces.conn;
        const QStringView rest = connText.sliced(std::min(connText.size(), medium.size() + 1));
        const qsizetype colon = rest.lastIndexOf(u':');
        if (conn.size() < 3 || colon < 0)
            Refuse(u"Conn", QStringLiteral("expected eth:address:port"));
        const QStringView address = rest.first(colon);
        settings.kind = server ? KelConnKind::TcpServer : KelConnKind::TcpClient;
        if (server && !address.isEmpty())
            Refuse(u"Conn", QStringLiteral("a server takes no address ('%1'); use MyIP").arg(address));
        if (!server && StripBrackets(address).isEmpty())
            Refuse(u"Conn", QStringLiteral("address is missing"));
        settings.host = StripBrackets(address);
        settings.port = quint16(Number(u"Conn", rest.sliced(colon + 1), QStringLiteral("port"), server ? 0 : 1, 65535));
    }

    if (pieces.packetOpt)
        ParsePacket(*pieces.packetOpt, settings.packet);
    if (pieces.timeout)
        settings.timeoutMs = int(Number(u"Timeout", *pieces.timeout, QStringLiteral("value"), 1, kInt32Max));
    if (pieces.sync)
        settings.sync = ParseSync(*pieces.sync);
    // The dialog keeps the my-IP text while a COM type is chosen; a serial line ignores it.
    if (pieces.myIp && !serial)
        ParseMyIp(*pieces.myIp, settings);
    return settings;
}
