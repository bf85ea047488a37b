#include "KelAnswer.h"

#include "MivConverter.h"
#include "MivError.h"

#include <limits>

namespace {

struct NamedCode
{
    quint32 code;
    const char *name;
};

constexpr NamedCode kNames[] = {
    {0x80004001u, "E_NOTIMPL"},      {0x80004002u, "E_NOINTERFACE"},
    {0x80004003u, "E_POINTER"},      {0x80004004u, "E_ABORT"},
    {0x80004005u, "E_FAIL"},         {0x8000FFFFu, "E_UNEXPECTED"},
    {0x80070005u, "E_ACCESSDENIED"}, {0x8007000Eu, "E_OUTOFMEMORY"},
    {0x80070057u, "E_INVALIDARG"},   {0x80020005u, "DISP_E_TYPEMISMATCH"},
    {0x8002000Au, "DISP_E_OVERFLOW"}, {0x800705B4u, "ERROR_TIMEOUT"},
};

// A signed 32-bit code fits in this many digits.
constexpr qsizetype kMaxCodeDigits = 10;

// A code of plain digits, perhaps after a minus, read as toInt reads it but without its
// general number parsing (an answer per request comes here); nullopt for anything else (blanks,
// a plus, more digits than a code has, a value out of range), which toInt then reads.
std::optional<qint32> PlainCode(QStringView code)
{
    const bool negative = code.startsWith(u'-');
    const QStringView digits = code.sliced(negative ? 1 : 0);
    if (digits.isEmpty() || digits.size() > kMaxCodeDigits)
        return std::nullopt;
    qint64 value = 0;
    for (const QChar c : digits) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
    }
    value = negative ? -value : value;
    if (value < std::numeric_limits<qint32>::min() || value > std::numeric_limits<qint32>::max())
        return std::nullopt;
    return qint32(value);
}

} // namespace

KelAnswer ParseKelAnswer(QString text)
{
    const qsizetype comma = text.indexOf(u',');
    const QStringView code = comma < 0 ? QStringView(text) : QStringView(text).left(comma);
    bool ok = true;
    KelAnswer answer;
    if (const std::optional<qint32> plain = PlainCode(code))
        answer.hresult = *plain;
    else
        answer.hresult = code.trimmed().toInt(&ok, 10);
    if (!ok)
        throw MivError(MivCode::Fail,
                       QStringLiteral("Unreadable answer \"%1\": no result code").arg(text));
    if (comma >= 0) {
        answer.hasValue = true;
        // In place when the caller has handed the text over: no copy of the value.
        text.remove(0, comma + 1);
        answer.valueText = std::move(text);
    }
    return answer;
}

QString KelHresultName(qint32 hresult)
{
    for (const NamedCode &named : kNames) {
        if (named.code == quint32(hresult))
            return QLatin1String(named.name);
    }
    return {};
}

std::optional<qint32> KelHresultOfName(const QString &name)
{
    for (const NamedCode &named : kNames) {
        if (name == QLatin1String(named.name))
            return qint32(named.code);
    }
    return std::nullopt;
}

QString KelHresultText(qint32 hresult)
{
    const quint32 code = quint32(hresult);
    const QString hex = QStringLiteral("0x%1").arg(code, 8, 16, QLatin1Char('0')).toUpper().replace(
        QLatin1String("0X"), QLatin1String("0x"));
    const QString name = KelHresultName(hresult);
    return name.isEmpty() ? hex : QStringLiteral("%1 (%2)").arg(name, hex);
}

MivVariant KelAnswerValue(const KelAnswer &answer, const QString &request)
{
    if (answer.hresult < 0)
        throw MivError(answer.hresult, QStringLiteral("The peer refused \"%1\": %2")
                                           .arg(request, KelHresultText(answer.hresult)));
    if (!answer.hasValue)
        return {};
    return MivConverter().TextToValue(answer.valueText);
}
