#include "NumberField.h"

#include "modMain.h"

#include <cmath>

QString TrimBlanks(const QString &text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first) == u' ')
        ++first;
    while (last > first && text.at(last - 1) == u' ')
        --last;
    return text.mid(first, last - first);
}

// Qt's 'g' with precision 15 switches to the exponent form at the same exponent (exponent >=
// precision), drops trailing zeros and writes at least two exponent digits with a sign, which
// for the reachable exponents (15..308) is the same text as "E+15" once the letter is upper case.
QString DoubleText(double value)
{
    constexpr int kSignificantDigits = 15;
    return QString::number(value, 'g', kSignificantDigits).replace(u'e', u'E');
}

std::optional<QString> NumberFieldText(const QString &text)
{
    if (!IsAllDigits(text))
        return std::nullopt;
    bool ok = false;
    const double value = text.toDouble(&ok);
    // Digits beyond the range of a double have no printed value; refuse them like any bad text.
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return DoubleText(value);
}
