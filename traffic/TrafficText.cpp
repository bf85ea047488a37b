#include "TrafficText.h"

#include <QDateTime>

namespace {
constexpr char kHexDigits[] = "0123456789abcdef";
constexpr char16_t kFirstPrintable = 0x20;
constexpr char16_t kDelete = 0x7f;
constexpr char16_t kLastC1 = 0x9f;
} // namespace

QString TrafficTimeText(std::chrono::system_clock::time_point wall)
{
    const qint64 ms = std::chrono::duration_cast<std::chrono::milliseconds>(wall.time_since_epoch()).count();
    return QDateTime::fromMSecsSinceEpoch(ms).time().toString(QStringLiteral("HH:mm:ss.zzz"));
}

QString TrafficKindText(TrafficRow::Kind kind)
{
    switch (kind) {
    case TrafficRow::In: return QStringLiteral("in");
    case TrafficRow::Out: return QStringLiteral("out");
    case TrafficRow::Opened: return QStringLiteral("opened");
    case TrafficRow::Connected: return QStringLiteral("connected");
    case TrafficRow::Disconnected: return QStringLiteral("disconnected");
    case TrafficRow::Closed: return QStringLiteral("closed");
    case TrafficRow::Gap: return QStringLiteral("gap");
    case TrafficRow::Reconnecting: return QStringLiteral("reconnecting");
    case TrafficRow::Error: break;
    }
    return QStringLiteral("error");
}

QString GapText(std::chrono::system_clock::time_point from, std::chrono::system_clock::time_point to)
{
    return QStringLiteral("Rows were not taken while the pane was hidden, from %1 to %2")
        .arg(TrafficTimeText(from), TrafficTimeText(to));
}

QString OpenedPeerText(const QString &target, const QString &local)
{
    if (target.isEmpty())
        return local;
    if (local.isEmpty() || local == target)
        return target;
    return QStringLiteral("%1 (local %2)").arg(target, local);
}

QString EscapedText(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        switch (u) {
        case u'\r': out += QLatin1String("\\r"); continue;
        case u'\n': out += QLatin1String("\\n"); continue;
        case u'\t': out += QLatin1String("\\t"); continue;
        case u'\\': out += QLatin1String("\\\\"); continue;
        default: break;
        }
        if (u < kFirstPrintable || (u >= kDelete && u <= kLastC1)) {
            out += QLatin1String("\\x");
            out += QLatin1Char(kHexDigits[(u >> 4) & 0xf]);
            out += QLatin1Char(kHexDigits[u & 0xf]);
        } else {
            out += c;
        }
    }
    return out;
}

QString HexText(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' '));
}

QString TrafficLine(const TrafficRow &row, bool withHex)
{
    QString line = TrafficTimeText(row.wall) + u'\t' + TrafficKindText(row.kind) + u'\t' + row.peer + u'\t'
                   + EscapedText(row.text);
    if (withHex && !row.wire.isEmpty())
        line += u'\t' + HexText(row.wire);
    return line;
}
