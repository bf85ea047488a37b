#pragma once

#include <QString>
#include <QtGlobal>

// The number at the start of a text: blanks skipped; a decimal with sign, fraction and exponent,
// or &H hexadecimal / &O octal, read as far as it goes. No number reads as 0. Hexadecimal and
// octal of at most 32 bits are read as a signed 32-bit pattern (&H80004005 is -2147467259).
double LeadingNumber(const QString &text);

// The nearest whole number, halves to the even neighbour. Outside the signed 32-bit range:
// MivError with code 6 and description "Overflow".
qint32 RoundToInt32(double value);

// Both in one: RoundToInt32(LeadingNumber(text)).
qint32 LeadingInt32(const QString &text);
