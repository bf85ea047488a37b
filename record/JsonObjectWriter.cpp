#include "JsonObjectWriter.h"

#include <QStringEncoder>

#include <charconv>
#include <cmath>

namespace {

constexpr char kHexDigits[] = "0123456789abcdef";
constexpr qsizetype kMaxBytesPerUnit = 6;  // \u00XX; UTF-8 needs at most 3 per UTF-16 unit
constexpr qsizetype kMaxNumberChars = 32;  // any int64, uint64 or shortest double
constexpr char16_t kFirstNonAscii = 0x80;
constexpr char16_t kFirstPrintable = 0x20;
constexpr double kRealScale = 1000.0;      // three decimals

char *AppendEscape(char *p, char16_t c)
{
    *p++ = '\\';
    switch (c) {
    case u'"': *p++ = '"'; break;
    case u'\\': *p++ = '\\'; break;
    case u'\b': *p++ = 'b'; break;
    case u'\f': *p++ = 'f'; break;
    case u'\n': *p++ = 'n'; break;
    case u'\r': *p++ = 'r'; break;
    case u'\t': *p++ = 't'; break;
    default:
        *p++ = 'u';
        *p++ = '0';
        *p++ = '0';
        *p++ = kHexDigits[c >> 4];
        *p++ = kHexDigits[c & 0xf];
    }
    return p;
}

void AppendString(QByteArray &out, QStringView text)
{
    const qsizetype start = out.size();
    out.resize(start + 2 + text.size() * kMaxBytesPerUnit);
    char *p = out.data() + start;
    *p++ = '"';
    const char16_t *s = text.utf16();
    const char16_t *const end = s + text.size();
    while (s < end) {
        const char16_t c = *s;
        if (c >= kFirstNonAscii) {
            const char16_t *runEnd = s;
            while (runEnd < end && *runEnd >= kFirstNonAscii)
                ++runEnd;
            QStringEncoder utf8(QStringEncoder::Utf8, QStringConverter::Flag::Stateless);
            p = utf8.appendToBuffer(p, QStringView(s, runEnd));
            s = runEnd;
            continue;
        }
        if (c < kFirstPrintable || c == u'"' || c == u'\\')
            p = AppendEscape(p, c);
        else
            *p++ = char(c);
        ++s;
    }
    *p++ = '"';
    out.truncate(p - out.constData());
}

template<typename Number>
void AppendNumber(QByteArray &out, Number value)
{
    char digits[kMaxNumberChars];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, result.ptr - digits);
}

} // namespace

JsonObjectWriter::JsonObjectWriter(QByteArray &out)
    : m_out(out)
{
    m_out += '{';
}

void JsonObjectWriter::addName(const char *name)
{
    if (!m_first)
        m_out += ',';
    m_first = false;
    m_out += '"';
    m_out += name;
    m_out += "\":";
}

void JsonObjectWriter::addText(const char *name, QStringView text)
{
    addName(name);
    AppendString(m_out, text);
}

void JsonObjectWriter::addWord(const char *name, const char *word)
{
    addName(name);
    m_out += '"';
    m_out += word;
    m_out += '"';
}

void JsonObjectWriter::addInteger(const char *name, std::int64_t value)
{
    addName(name);
    AppendNumber(m_out, value);
}

void JsonObjectWriter::addUnsigned(const char *name, std::uint64_t value)
{
    addName(name);
    AppendNumber(m_out, value);
}

void JsonObjectWriter::addReal(const char *name, double value)
{
    addName(name);
    if (!std::isfinite(value)) {
        m_out += "null";
        return;
    }
    AppendNumber(m_out, std::round(value * kRealScale) / kRealScale);
}

void JsonObjectWriter::addHex(const char *name, QByteArrayView bytes)
{
    addName(name);
    const qsizetype start = m_out.size();
    m_out.resize(start + 2 + (bytes.isEmpty() ? 0 : 3 * bytes.size() - 1));
    char *p = m_out.data() + start;
    *p++ = '"';
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (i)
            *p++ = ' ';
        const auto b = uchar(bytes[i]);
        *p++ = kHexDigits[b >> 4];
        *p++ = kHexDigits[b & 0xf];
    }
    *p = '"';
}

JsonObjectWriter JsonObjectWriter::addObject(const char *name)
{
    addName(name);
    return JsonObjectWriter(m_out);
}

void JsonObjectWriter::finish()
{
    m_out += '}';
}
