#include "ValueTextNumbers.h"

#include "ValueTextError.h"

#include <QVarLengthArray>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string_view>
#include <system_error>

namespace ValueText {

namespace {

// Currency is a count of ten-thousandths: four fraction digits.
constexpr quint64 kCurrencyScale = 10000;
constexpr int kCurrencyDigits = 4;
// Number texts up to this length are read without a heap buffer.
constexpr qsizetype kShortNumber = 128;

char *copied(char *to, std::string_view text)
{
    return std::copy(text.begin(), text.end(), to);
}

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

bool isDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

enum class RealRead { Ok, NotNumber, Overflow };

// A flag and an out-parameter rather than std::optional<double>, which GCC returns through
// memory with a store-forwarding stall on every number read.
bool special(QStringView text, double *value)
{
    // Every special spelling has a letter within its first two chars; numbers do not.
    if (text.size() < 3 || (text[0].unicode() < u'A' && text[1].unicode() < u'A'))
        return false;
    if (text.compare(u"NaN", Qt::CaseInsensitive) == 0)
        *value = std::numeric_limits<double>::quiet_NaN();
    else if (text.compare(u"Inf", Qt::CaseInsensitive) == 0 || text.compare(u"+Inf", Qt::CaseInsensitive) == 0)
        *value = std::numeric_limits<double>::infinity();
    else if (text.compare(u"-Inf", Qt::CaseInsensitive) == 0)
        *value = -std::numeric_limits<double>::infinity();
    else
        return false;
    return true;
}

// Copies a text of the decimal grammar [+-](digits[.digits]|.digits)[e[+-]digits] as ASCII,
// without a leading plus sign (from_chars takes none), in the same pass that checks it; returns
// the end of the copy, or nullptr when the text is not of the grammar.
char *decimalAscii(QStringView t, char *to)
{
    const char16_t *p = t.utf16();
    const char16_t *const end = p + t.size();
    if (p != end && (*p == u'+' || *p == u'-')) {
        if (*p == u'-')
            *to++ = '-';
        ++p;
    }
    qsizetype digits = 0;
    for (; p != end && isDigit(*p); ++digits)
        *to++ = char(*p++);
    if (p != end && *p == u'.') {
        *to++ = '.';
        for (++p; p != end && isDigit(*p); ++digits)
            *to++ = char(*p++);
    }
    if (digits == 0)
        return nullptr;
    if (p != end && (*p == u'e' || *p == u'E')) {
        *to++ = char(*p++);
        if (p != end && (*p == u'+' || *p == u'-'))
            *to++ = char(*p++);
        if (p == end || !isDigit(*p))
            return nullptr;
        while (p != end && isDigit(*p))
            *to++ = char(*p++);
    }
    return p == end ? to : nullptr;
}

// Whether a text of the decimal grammar is below one in magnitude, which tells underflow from
// overflow when from_chars finds it out of range.
bool belowOne(QStringView t)
{
    qsizetype i = 0;
    const qsizetype n = t.size();
    if (i < n && (t[i] == u'+' || t[i] == u'-'))
        ++i;
    qint64 magnitude = -1; // decimal exponent of the leading non-zero digit, before the exponent part
    bool seenNonZero = false;
    qint64 leadingFractionZeros = 0;
    for (; i < n && isDigit(t[i]); ++i) {
        if (t[i] != u'0' || seenNonZero) {
            seenNonZero = true;
            ++magnitude;
        }
    }
    if (i < n && t[i] == u'.') {
        for (++i; i < n && isDigit(t[i]); ++i) {
            if (!seenNonZero) {
                if (t[i] == u'0')
                    ++leadingFractionZeros;
                else {
                    seenNonZero = true;
                    magnitude = -1 - leadingFractionZeros;
                }
            }
        }
    }
    qint64 exponent = 0;
    if (i < n && (t[i] == u'e' || t[i] == u'E')) {
        ++i;
        bool negative = false;
        if (i < n && (t[i] == u'+' || t[i] == u'-'))
            negative = t[i++] == u'-';
        for (; i < n && isDigit(t[i]); ++i) {
            if (exponent < 1'000'000'000)
                exponent = exponent * 10 + (t[i].unicode() - u'0');
        }
        if (negative)
            exponent = -exponent;
    }
    return magnitude + exponent < 0;
}

template <typename F>
RealRead readReal(QStringView text, F *out)
{
    const QStringView t = withoutBlanks(text);
    double specialValue = 0;
    if (special(t, &specialValue)) {
        *out = static_cast<F>(specialValue);
        return RealRead::Ok;
    }
    QVarLengthArray<char, kShortNumber> ascii(t.size());
    const char *const begin = ascii.constData();
    const char *const asciiEnd = decimalAscii(t, ascii.data());
    if (!asciiEnd)
        return RealRead::NotNumber;
    const auto [end, ec] = std::from_chars(begin, asciiEnd, *out);
    if (ec == std::errc::result_out_of_range) {
        if (!belowOne(t))
            return RealRead::Overflow;
        *out = t.startsWith(u'-') ? -F(0) : F(0);
        return RealRead::Ok;
    }
    return ec == std::errc() && end == asciiEnd ? RealRead::Ok : RealRead::NotNumber;
}

template <typename F>
F readRealOrThrow(QStringView text, quint16 type)
{
    F value{};
    switch (readReal(text, &value)) {
    case RealRead::Ok:
        return value;
    case RealRead::Overflow:
        throw overflow(text.trimmed(), type);
    case RealRead::NotNumber:
        break;
    }
    throw mismatch(text, type);
}

template <typename F>
char *writeRealAs(char *to, F value)
{
    if (std::isnan(value))
        return copied(to, "NaN");
    if (std::isinf(value))
        return copied(to, value < 0 ? "-Inf" : "Inf");
    return std::to_chars(to, to + kMaxNumberText, value).ptr;
}

} // namespace

qint64 readInteger(QStringView text, quint16 type, qint64 min, qint64 max)
{
    const QStringView t = withoutBlanks(text);
    qsizetype i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == u'+' || t[i] == u'-'))
        negative = t[i++] == u'-';
    if (i == t.size())
        throw mismatch(text, type);
    // Saturates far beyond any 32-bit range so that long digit runs still read as overflow.
    constexpr qint64 Saturated = qint64(1) << 40;
    qint64 magnitude = 0;
    for (; i < t.size(); ++i) {
        if (!isDigit(t[i]))
            throw mismatch(text, type);
        if (magnitude < Saturated)
            magnitude = magnitude * 10 + (t[i].unicode() - u'0');
    }
    const qint64 value = negative ? -magnitude : magnitude;
    if (value < min || value > max)
        throw overflow(t, type);
    return value;
}

double readR8(QStringView text)
{
    return readRealOrThrow<double>(text, VT_R8);
}

float readR4(QStringView text)
{
    return readRealOrThrow<float>(text, VT_R4);
}

std::optional<double> numberOfText(QStringView text)
{
    double value = 0;
    switch (readReal(text, &value)) {
    case RealRead::Ok:
        return value;
    case RealRead::Overflow:
        return text.trimmed().startsWith(u'-') ? -std::numeric_limits<double>::infinity()
                                               : std::numeric_limits<double>::infinity();
    case RealRead::NotNumber:
        break;
    }
    return std::nullopt;
}

MivCurrency readCurrency(QStringView text)
{
    const QStringView t = withoutBlanks(text);
    qsizetype i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == u'+' || t[i] == u'-'))
        negative = t[i++] == u'-';
    // The magnitude in ten-thousandths; 2^63 is the most a negative value may reach.
    constexpr quint64 Limit = quint64(1) << 63;
    quint64 scaled = 0;
    bool tooLarge = false;
    qsizetype digits = 0;
    auto addDigit = [&](QChar c) {
        const quint64 d = c.unicode() - u'0';
        if (scaled > (Limit - d) / 10)
            tooLarge = true;
        else
            scaled = scaled * 10 + d;
    };
    for (; i < t.size() && isDigit(t[i]); ++i, ++digits)
        addDigit(t[i]);
    int fractionDigits = 0;
    if (i < t.size() && t[i] == u'.') {
        for (++i; i < t.size() && isDigit(t[i]); ++i, ++digits) {
            if (fractionDigits < kCurrencyDigits) {
                addDigit(t[i]);
                ++fractionDigits;
            } else if (t[i] != u'0') {
                throw mismatch(text, VT_CY, QStringLiteral("at most 4 decimal places"));
            }
        }
    }
    if (digits == 0 || i != t.size())
        throw mismatch(text, VT_CY);
    for (; fractionDigits < kCurrencyDigits; ++fractionDigits) {
        if (scaled > Limit / 10)
            tooLarge = true;
        else
            scaled *= 10;
    }
    if (tooLarge || scaled > (negative ? Limit : Limit - 1))
        throw overflow(t, VT_CY);
    return MivCurrency{negative ? qint64(0 - scaled) : qint64(scaled)};
}

bool readBool(QStringView text)
{
    const QStringView t = withoutBlanks(text);
    // The spellings this converter writes first: an exact match is cheaper than a folded one.
    if (t == u"True")
        return true;
    if (t == u"False")
        return false;
    if (t.compare(u"True", Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(u"False", Qt::CaseInsensitive) == 0)
        return false;
    const std::optional<double> number = numberOfText(t);
    if (!number || std::isnan(*number))
        throw mismatch(text, VT_BOOL);
    return *number != 0;
}

char *writeInteger(char *to, qint64 value)
{
    return std::to_chars(to, to + kMaxNumberText, value).ptr;
}

char *writeReal(char *to, double value)
{
    return writeRealAs(to, value);
}

char *writeReal(char *to, float value)
{
    return writeRealAs(to, value);
}

char *writeCurrency(char *to, MivCurrency value)
{
    const bool negative = value.scaled < 0;
    const quint64 magnitude = negative ? 0 - quint64(value.scaled) : quint64(value.scaled);
    if (negative)
        *to++ = '-';
    to = std::to_chars(to, to + kMaxNumberText, magnitude / kCurrencyScale).ptr;
    quint64 fraction = magnitude % kCurrencyScale;
    if (fraction == 0)
        return to;
    int width = kCurrencyDigits;
    while (fraction % 10 == 0) {
        fraction /= 10;
        --width;
    }
    *to++ = '.';
    for (int i = width - 1; i >= 0; --i, fraction /= 10)
        to[i] = char('0' + fraction % 10);
    return to + width;
}

char *writeBool(char *to, bool value)
{
    return copied(to, value ? "True" : "False");
}

} // namespace ValueText
