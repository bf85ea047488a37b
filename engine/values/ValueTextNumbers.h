#pragma once

#include "MivVariant.h"

#include <QString>
#include <QStringView>

#include <optional>

// Number, currency and Boolean texts of the converter. Readers take the value part of a value
// text, accept blanks around it and throw MivError; writers give the canonical text.
namespace ValueText {

// A signed decimal integer within min..max for the given type; beyond it is an overflow.
qint64 readInteger(const QString &text, quint16 type, qint64 min, qint64 max);

double readR8(const QString &text);
float readR4(const QString &text);
MivCurrency readCurrency(const QString &text);
bool readBool(const QString &text);

// The number a text stands for (decimal or exponent form, NaN, Inf), or nothing when it is no
// number; never throws. Too large a magnitude gives an infinity, too small a zero.
std::optional<double> numberOfText(QStringView text);

// Shortest texts that read back to the same number; NaN, Inf and -Inf for the specials.
QString writeReal(double value);
QString writeReal(float value);
QString writeCurrency(MivCurrency value);
QString writeBool(bool value);

} // namespace ValueText
