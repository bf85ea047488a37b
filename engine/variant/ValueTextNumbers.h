#pragma once

#include "MivVariant.h"

#include <QStringView>

#include <optional>

// Number, currency and Boolean texts of the converter. Readers take the value part of a value
// text, accept blanks around it and throw MivError; writers put the canonical text into a
// caller's buffer of at least kMaxNumberText chars and return the end of what they wrote.
namespace ValueText {

// Room for the longest text of an integer, a real, a currency value or a date.
constexpr qsizetype kMaxNumberText = 48;

// text.trimmed(), without the call when there is nothing to trim, as in nearly every value text.
inline QStringView withoutBlanks(QStringView text)
{
    if (!text.isEmpty() && !text.front().isSpace() && !text.back().isSpace())
        return text;
    return text.trimmed();
}

// A signed decimal integer within min..max for the given type; beyond it is an overflow.
qint64 readInteger(QStringView text, quint16 type, qint64 min, qint64 max);

double readR8(QStringView text);
float readR4(QStringView text);
MivCurrency readCurrency(QStringView text);
bool readBool(QStringView text);

// The number a text stands for (decimal or exponent form, NaN, Inf), or nothing when it is no
// number; never throws. Too large a magnitude gives an infinity, too small a zero.
std::optional<double> numberOfText(QStringView text);

char *writeInteger(char *to, qint64 value);
// Shortest texts that read back to the same number; NaN, Inf and -Inf for the specials.
char *writeReal(char *to, double value);
char *writeReal(char *to, float value);
char *writeCurrency(char *to, MivCurrency value);
char *writeBool(char *to, bool value);

} // namespace ValueText
