#include "ReplyText.h"

#include "LeadingNumber.h"

#include <QLocale>

#include <cmath>

namespace {

constexpr double kPlainDigitsBelow = 1e15;

QString DecimalText(double value)
{
    if (std::trunc(value) == value && std::abs(value) < kPlainDigitsBelow)
        return QString::number(qint64(value));
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

} // namespace

QString ReplyText(const QString &hresult, std::optional<qint32> typeCode, const QString &value)
{
    if (!typeCode)
        return hresult;
    return hresult + u',' + QString::number(*typeCode) + u',' + value;
}

QString ReplyDelayText(const QString &delayField)
{
    return DecimalText(LeadingNumber(delayField));
}

quint32 ReplyDelayMs(const QString &storedDelay)
{
    const double delay = LeadingNumber(storedDelay);
    if (delay == 0)
        return 0;
    const qint32 milliseconds = RoundToInt32(delay);
    return milliseconds > 0 ? quint32(milliseconds) : 0;
}

QString AutoReplyLogText(const QString &reply, const QString &storedDelay)
{
    return QStringLiteral("AutoReply\"") + reply + QStringLiteral("\", Delay=") + storedDelay;
}
