#pragma once

#include "modMain.h"

#include <QString>

#include <limits>
#include <optional>

// The text rules of the dialog's six numeric fields.

// The text without the blanks around it; other white space is left for the digit test.
QString TrimBlanks(const QString &text);

// How a double prints in a number field: up to 15 significant digits, plain below 1E+15 and
// in exponent form from there on ("1.23456789012346E+15", "1E+15").
QString DoubleText(double value);

// The text a numeric field shows once its check passes: plain digits, printed as a double
// ("007" becomes "7"). Nothing when the check fails: anything but ASCII digits, or digits
// beyond the range of a double.
std::optional<QString> NumberFieldText(const QString &text);

// A stored setting takes the text only when it is plain digits that fit; otherwise it keeps its
// value (an exponent form or an out-of-range number is not converted).
template<typename Integer>
void ConvertInto(const QString &text, Integer &variable)
{
    if (!IsAllDigits(text))
        return;
    bool ok = false;
    const qulonglong value = text.toULongLong(&ok);
    if (ok && value <= static_cast<qulonglong>(std::numeric_limits<Integer>::max()))
        variable = static_cast<Integer>(value);
}
