#include "KelPeerText.h"

#include <QRegularExpression>
#include <QDateTime>
#include <QTime>

namespace {

bool IsControl(char32_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

bool IsNotText(char32_t c)
{
    return c == 0xFFFD || c == 0x2028 || c == 0x2029 || (c >= 0xD800 && c <= 0xDFFF)
           || (c >= 0xFDD0 && c <= 0xFDEF) || (c & 0xFFFE) == 0xFFFE;
}

QString Hex(char32_t c, int width)
{
    return QString::number(uint(c), 16).toUpper().rightJustified(width, u'0');
}

} // namespace

QString EscapeLine(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text[i].unicode();
        qsizetype len = 1;
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text[i], text[i + 1]);
            len = 2;
        }
        if (c == u'\\')
            out += QLatin1String("\\\\");
        else if (c == u'\n')
            out += QLatin1String("\\n");
        else if (c == u'\r')
            out += QLatin1String("\\r");
        else if (c == u'\t')
            out += QLatin1String("\\t");
        else if (IsControl(c))
            out += QLatin1String("\\x") + Hex(c, 2);
        else if (IsNotText(c))
            out += QLatin1String("\\u{") + Hex(c, 4) + u'}';
        else
            out += QStringView(text).sliced(i, len);
        i += len - 1;
    }
    return out;
}

QString UnescapeLine(const QString &line)
{
    QString out;
    out.reserve(line.size());
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (line[i] != u'\\' || i + 1 == line.size()) {
            out += line[i];
            continue;
        }
        const QChar kind = line[i + 1];
        qsizetype end = i + 2; // past the escape
        bool ok = true;
        char32_t c = 0;
        if (kind == u'\\' || kind == u'n' || kind == u'r' || kind == u't') {
            c = kind == u'n' ? u'\n' : kind == u'r' ? u'\r' : kind == u't' ? u'\t' : u'\\';
        } else if (kind == u'x') {
            c = line.mid(i + 2, 2).toUInt(&ok, 16);
            ok = ok && i + 4 <= line.size();
            end = i + 4;
        } else if (kind == u'u' && line.mid(i + 2, 1) == u"{") {
            const qsizetype close = line.indexOf(u'}', i + 3);
            c = close < 0 ? 0 : line.mid(i + 3, close - i - 3).toUInt(&ok, 16);
            ok = ok && close >= 0 && c <= 0x10FFFF;
            end = close + 1;
        } else {
            ok = false;
        }
        if (!ok) {
            out += line[i];
            continue;
        }
        if (c >= 0xD800 && c <= 0xDFFF)
            out += QChar(char16_t(c)); // an unpaired surrogate, as it came
        else
            out += QString::fromUcs4(&c, 1);
        i = end - 1;
    }
    return out;
}

namespace {
const QString kStampFormat = QStringLiteral("HH:mm:ss.zzz");
const QRegularExpression kStamp(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d "));
} // namespace

QString StampedLine(const QString &line)
{
    // The local clock asks the system for its time zone each time (a file lookup): the offset
    // is taken once a second, not once a line.
    constexpr qint64 kMsPerSecond = 1000;
    constexpr qint64 kMsPerDay = 24 * 3600 * kMsPerSecond;
    static qint64 offsetSecond = -1;
    static qint64 offsetMs = 0;
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (now / kMsPerSecond != offsetSecond) {
        offsetSecond = now / kMsPerSecond;
        offsetMs = QDateTime::fromMSecsSinceEpoch(now).offsetFromUtc() * kMsPerSecond;
    }
    const qint64 ofDay = ((now + offsetMs) % kMsPerDay + kMsPerDay) % kMsPerDay;
    return QTime::fromMSecsSinceStartOfDay(int(ofDay)).toString(kStampFormat) + u' ' + line;
}

QString WithoutStamp(const QString &line)
{
    const QRegularExpressionMatch match = kStamp.match(line);
    return match.hasMatch() ? line.mid(match.capturedLength()) : line;
}
