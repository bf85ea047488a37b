#include "LeadingNumber.h"

#include "MivError.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace {

bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

int digitValue(QChar c, int radix)
{
    int v = -1;
    if (isAsciiDigit(c))
        v = c.unicode() - u'0';
    else if (c >= u'a' && c <= u'f')
        v = c.unicode() - u'a' + 10;
    else if (c >= u'A' && c <= u'F')
        v = c.unicode() - u'A' + 10;
    return v < radix ? v : -1;
}

// &H / &O digits after the prefix. Up to 32 bits they are a signed 32-bit pattern; a longer
// number keeps its size so that rounding it to a whole 32-bit number overflows.
double readRadix(const QString &text, qsizetype pos, int radix)
{
    const quint64 limit = std::numeric_limits<quint64>::max() / 16;
    quint64 value = 0;
    bool huge = false;
    for (; pos < text.size(); ++pos) {
        const int d = digitValue(text.at(pos), radix);
        if (d < 0)
            break;
        if (value > limit)
            huge = true;
        else
            value = value * quint64(radix) + quint64(d);
    }
    if (huge)
        return std::numeric_limits<double>::infinity();
    if (value <= 0xFFFFFFFFu)
        return double(qint32(quint32(value)));
    return double(value);
}

// A decimal with optional sign, fraction and exponent (E, e, D or d), as far as it goes.
double readDecimal(const QString &text, qsizetype pos)
{
    std::string digits;
    bool negative = false;
    if (pos < text.size() && (text.at(pos) == u'+' || text.at(pos) == u'-')) {
        negative = text.at(pos) == u'-';
        ++pos;
    }
    bool anyDigit = false;
    bool nonZero = false;
    qint64 scale = 0; // decimal position of the first significant digit, for out-of-range results
    for (; pos < text.size() && isAsciiDigit(text.at(pos)); ++pos) {
        anyDigit = true;
        nonZero = nonZero || text.at(pos) != u'0';
        if (nonZero)
            ++scale;
        digits += char(text.at(pos).unicode());
    }
    if (pos < text.size() && text.at(pos) == u'.') {
        digits += '.';
        for (++pos; pos < text.size() && isAsciiDigit(text.at(pos)); ++pos) {
            anyDigit = true;
            if (!nonZero && text.at(pos) == u'0')
                --scale;
            nonZero = nonZero || text.at(pos) != u'0';
            digits += char(text.at(pos).unicode());
        }
    }
    if (!anyDigit || !nonZero)
        return 0.0;

    if (pos < text.size()) {
        const QChar e = text.at(pos).toUpper();
        if (e == u'E' || e == u'D') {
            qsizetype p = pos + 1;
            bool expNegative = false;
            if (p < text.size() && (text.at(p) == u'+' || text.at(p) == u'-')) {
                expNegative = text.at(p) == u'-';
                ++p;
            }
            if (p < text.size() && isAsciiDigit(text.at(p))) {
                qint64 exponent = 0;
                for (; p < text.size() && isAsciiDigit(text.at(p)); ++p)
                    exponent = std::min<qint64>(exponent * 10 + (text.at(p).unicode() - u'0'), 1'000'000'000);
                if (expNegative)
                    exponent = -exponent;
                scale += exponent;
                digits += 'e';
                digits += std::to_string(exponent);
            }
        }
    }

    double value = 0.0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    Q_UNUSED(end);
    if (ec == std::errc::result_out_of_range)
        value = scale > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    return negative ? -value : value;
}

} // namespace

double LeadingNumber(const QString &text)
{
    qsizetype pos = 0;
    while (pos < text.size() && isBlank(text.at(pos)))
        ++pos;
    if (pos + 1 < text.size() && text.at(pos) == u'&') {
        const QChar radix = text.at(pos + 1).toUpper();
        if (radix == u'H')
            return readRadix(text, pos + 2, 16);
        if (radix == u'O')
            return readRadix(text, pos + 2, 8);
    }
    return readDecimal(text, pos);
}

qint32 RoundToInt32(double value)
{
    const double whole = std::nearbyint(value); // the default rounding mode sends halves to even
    if (!(whole >= -2147483648.0 && whole <= 2147483647.0))
        throw MivError(MivCode::BasicOverflow, QStringLiteral("Overflow"));
    return qint32(whole);
}

qint32 LeadingInt32(const QString &text)
{
    return RoundToInt32(LeadingNumber(text));
}
