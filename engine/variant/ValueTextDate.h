#pragma once

#include "MivVariant.h"

#include <QStringView>

// Date texts of the converter: "YYYY-MM-DD HH:MM:SS[.mmm]", the date alone at midnight, the
// time alone on the epoch day 1899-12-30. Years 0100 to 9999, proleptic Gregorian calendar.
namespace ValueText {

MivDate readDate(QStringView text);

// Writes into a buffer of at least kMaxNumberText chars and returns the end of the text.
// Throws an overflow error for a value outside 0100-01-01 .. 9999-12-31 23:59:59.999.
char *writeDate(char *to, MivDate value);

} // namespace ValueText
