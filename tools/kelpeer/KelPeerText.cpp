#include "KelPeerText.h"

#include <QRegularExpression>
#include <QDateTime>
#include <QTime>

#include <iterator>

namespace {

constexpr char16_t kDel = 0x7F;

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

// Plain runs go over whole; most lines have no escape at all and come back shared.
QString EscapeLine(const QString &text)
{
    QString out;
    qsizetype plainFrom = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i].unicode();
        if (unit >= u' ' && unit < kDel && unit != u'\\')
            continue; // printable ASCII
        char32_t c = unit;
        qsizetype len = 1;
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text[i], text[i + 1]);
            len = 2;
        }
        QString escape; // literals and short codes: no allocation for the common ones
        if (c == u'\\')
            escape = QStringLiteral("\\\\");
        else if (c == u'\n')
            escape = QStringLiteral("\\n");
        else if (c == u'\r')
            escape = QStringLiteral("\\r");
        else if (c == u'\t')
            escape = QStringLiteral("\\t");
        else if (IsControl(c))
            escape = QStringLiteral("\\x") + Hex(c, 2);
        else if (IsNotText(c))
            escape = QStringLiteral("\\u{") + Hex(c, 4) + u'}';
        else {
            i += len - 1;
            continue;
        }
        if (out.isNull())
            out.reserve(text.size() + text.size() / 4);
        out += QStringView(text).sliced(plainFrom, i - plainFrom);
        out += escape;
        i += len - 1;
        plainFrom = i + 1;
    }
    if (out.isNull())
        return text;
    out += QStringView(text).sliced(plainFrom);
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
const QString kSecondFormat = QStringLiteral("HH:mm:ss.");
const QRegularExpression kStamp(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d "));
} // namespace

QString StampedLine(const QString &line)
{
    // The local clock asks the system for its time zone each time (a file lookup), and
    // formatting a time is slow: both are done once a second, not once a line.
    constexpr qint64 kMsPerSecond = 1000;
    static qint64 second = -1;
    static QString secondText; // "HH:mm:ss."
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (now / kMsPerSecond != second) {
        second = now / kMsPerSecond;
        secondText = QDateTime::fromMSecsSinceEpoch(second * kMsPerSecond).time().toString(kSecondFormat);
    }
    const int ms = int(now % kMsPerSecond);
    const char16_t digits[] = {char16_t(u'0' + ms / 100), char16_t(u'0' + ms / 10 % 10), char16_t(u'0' + ms % 10), u' '};
    QString out;
    out.reserve(secondText.size() + std::size(digits) + line.size());
    out += secondText;
    out += QStringView(digits, std::size(digits));
    out += line;
    return out;
}

QString WithoutStamp(const QString &line)
{
    const QRegularExpressionMatch match = kStamp.match(line);
    return match.hasMatch() ? line.mid(match.capturedLength()) : line;
}
