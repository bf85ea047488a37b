#include "ValueTextNumbers.h"

#include "ValueTextError.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace ValueText {

namespace {

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

enum class RealRead { Ok, NotNumber, Overflow };

std::optional<double> special(QStringView text)
{
    if (text.compare(u"NaN", Qt::CaseInsensitive) == 0)
        return std::numeric_limits<double>::quiet_NaN();
    if (text.compare(u"Inf", Qt::CaseInsensitive) == 0 || text.compare(u"+Inf", Qt::CaseInsensitive) == 0)
        return std::numeric_limits<double>::infinity();
    if (text.compare(u"-Inf", Qt::CaseInsensitive) == 0)
        return -std::numeric_limits<double>::infinity();
    return std::nullopt;
}

// Checks the decimal grammar [+-](digits[.digits]|.digits)[e[+-]digits] and tells whether the
// number is below one in magnitude, which decides overflow from underflow when it does not fit.
bool isDecimalText(QStringView t, bool *tiny)
{
    qsizetype i = 0;
    const qsizetype n = t.size();
    if (i < n && (t[i] == u'+' || t[i] == u'-'))
        ++i;
    qsizetype digits = 0;
    qint64 magnitude = -1; // decimal exponent of the leading non-zero digit, before the exponent part
    bool seenNonZero = false;
    qint64 leadingFractionZeros = 0;
    while (i < n && isDigit(t[i])) {
        if (t[i] != u'0' || seenNonZero) {
            seenNonZero = true;
            ++magnitude;
        }
        ++i;
        ++digits;
    }
    if (i < n && t[i] == u'.') {
        ++i;
        while (i < n && isDigit(t[i])) {
            if (!seenNonZero) {
                if (t[i] == u'0')
                    ++leadingFractionZeros;
                else {
                    seenNonZero = true;
                    magnitude = -1 - leadingFractionZeros;
                }
            }
            ++i;
            ++digits;
        }
    }
    if (digits == 0)
        return false;
    qint64 exponent = 0;
    if (i < n && (t[i] == u'e' || t[i] == u'E')) {
        ++i;
        bool negative = false;
        if (i < n && (t[i] == u'+' || t[i] == u'-'))
            negative = t[i++] == u'-';
        if (i == n || !isDigit(t[i]))
            return false;
        while (i < n && isDigit(t[i])) {
            if (exponent < 1'000'000'000)
                exponent = exponent * 10 + (t[i].unicode() - u'0');
            ++i;
        }
        if (negative)
            exponent = -exponent;
    }
    *tiny = magnitude + exponent < 0;
    return i == n;
}

template <typename F>
RealRead readReal(QStringView text, F *out)
{
    const QStringView t = text.trimmed();
    if (const auto s = special(t)) {
        *out = static_cast<F>(*s);
        return RealRead::Ok;
    }
    bool tiny = false;
    if (!isDecimalText(t, &tiny))
        return RealRead::NotNumber;
    QByteArray ascii = t.toLatin1();
    const bool negative = ascii.startsWith('-');
    if (ascii.startsWith('+'))
        ascii.remove(0, 1);
    const char *begin = ascii.constData();
    const auto [end, ec] = std::from_chars(begin, begin + ascii.size(), *out);
    if (ec == std::errc::result_out_of_range) {
        if (!tiny)
            return RealRead::Overflow;
        *out = negative ? -F(0) : F(0);
        return RealRead::Ok;
    }
    return ec == std::errc() && end == begin + ascii.size() ? RealRead::Ok : RealRead::NotNumber;
}

template <typename F>
F readRealOrThrow(const QString &text, quint16 type)
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
QString writeRealAs(F value)
{
    if (std::isnan(value))
        return QStringLiteral("NaN");
    if (std::isinf(value))
        return value < 0 ? QStringLiteral("-Inf") : QStringLiteral("Inf");
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return QString::fromLatin1(buffer, result.ptr - buffer);
}

} // namespace

qint64 readInteger(const QString &text, quint16 type, qint64 min, qint64 max)
{
    const QString t = text.trimmed();
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

double readR8(const QString &text)
{
    return readRealOrThrow<double>(text, VT_R8);
}

float readR4(const QString &text)
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

MivCurrency readCurrency(const QString &text)
{
    const QString t = text.trimmed();
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
            if (fractionDigits < 4) {
                addDigit(t[i]);
                ++fractionDigits;
            } else if (t[i] != u'0') {
                throw mismatch(text, VT_CY, QStringLiteral("at most 4 decimal places"));
            }
        }
    }
    if (digits == 0 || i != t.size())
        throw mismatch(text, VT_CY);
    for (; fractionDigits < 4; ++fractionDigits) {
        if (scaled > Limit / 10)
            tooLarge = true;
        else
            scaled *= 10;
    }
    if (tooLarge || scaled > (negative ? Limit : Limit - 1))
        throw overflow(t, VT_CY);
    return MivCurrency{negative ? qint64(0 - scaled) : qint64(scaled)};
}

bool readBool(const QString &text)
{
    const QString t = text.trimmed();
    if (t.compare(u"True", Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(u"False", Qt::CaseInsensitive) == 0)
        return false;
    const std::optional<double> number = numberOfText(t);
    if (!number || std::isnan(*number))
        throw mismatch(text, VT_BOOL);
    return *number != 0;
}

QString writeReal(double value)
{
    return writeRealAs(value);
}

QString writeReal(float value)
{
    return writeRealAs(value);
}

QString writeCurrency(MivCurrency value)
{
    const bool negative = value.scaled < 0;
    const quint64 magnitude = negative ? 0 - quint64(value.scaled) : quint64(value.scaled);
    QString text = QString::number(magnitude / 10000);
    if (negative)
        text.prepend(u'-');
    quint64 fraction = magnitude % 10000;
    if (fraction != 0) {
        int width = 4;
        while (fraction % 10 == 0) {
            fraction /= 10;
            --width;
        }
        text += u'.' + QStringLiteral("%1").arg(fraction, width, 10, QChar(u'0'));
    }
    return text;
}

QString writeBool(bool value)
{
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

} // namespace ValueText
