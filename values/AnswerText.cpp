#include "AnswerText.h"

#include "MivError.h"
#include "VariantTypes.h"

#include <QRegularExpression>
#include <QtNumeric>

namespace {

// The runtime's own codes for the two ways a received answer cannot be taken apart.
constexpr qint32 kSubscriptOutOfRange = 9;
constexpr qint32 kTypeMismatch = 13;

} // namespace

double StrictNumber(const QString &text)
{
    static const QRegularExpression decimal(
        QStringLiteral("^\\s*[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?\\s*$"));
    if (!decimal.match(text).hasMatch())
        throw MivError(kTypeMismatch, QStringLiteral("Type mismatch"));
    bool ok = false;
    const double number = text.trimmed().toDouble(&ok);
    if (!ok && qIsInf(number))
        throw MivError(MivCode::BasicOverflow, QStringLiteral("Overflow"));
    return number;
}

QString InterpretedAnswer(const QString &text)
{
    if (text.isEmpty())
        throw MivError(kSubscriptOutOfRange, QStringLiteral("Subscript out of range"));
    const qsizetype first = text.indexOf(u',');
    const QString hresult = QStringLiteral("HRESULT=") + text.left(first);
    if (first < 0)
        return hresult;
    const qsizetype second = text.indexOf(u',', first + 1);
    const QString type = text.mid(first + 1, second < 0 ? -1 : second - first - 1);
    if (StrictNumber(type) == 0)
        return hresult;
    if (second < 0)
        throw MivError(kSubscriptOutOfRange, QStringLiteral("Subscript out of range"));
    return hresult + QStringLiteral(", Type=") + VTName(type) + QStringLiteral(", Value=")
        + text.mid(second + 1);
}

QString ResultText(const QString &valueText)
{
    const qsizetype comma = valueText.indexOf(u',');
    const QString type = QStringLiteral("Type=") + VTName(comma < 0 ? valueText : valueText.left(comma));
    if (comma < 0)
        return type;
    return type + QStringLiteral(", Value=") + valueText.mid(comma + 1);
}
