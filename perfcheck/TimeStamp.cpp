#include "TimeStamp.h"

#include <QDateTime>

QString TimeStampText(const modAPI::SYSTEMTIME &time)
{
    return QString::asprintf("%02u/%02u %02u:%02u:%02u.%03u", unsigned(time.wMonth),
                             unsigned(time.wDay), unsigned(time.wHour), unsigned(time.wMinute),
                             unsigned(time.wSecond), unsigned(time.wMilliseconds));
}

QString IsoTimeStampText(const modAPI::SYSTEMTIME &time)
{
    const QDateTime local(QDate(time.wYear, time.wMonth, time.wDay),
                          QTime(time.wHour, time.wMinute, time.wSecond, time.wMilliseconds));
    QString text = local.toOffsetFromUtc(local.offsetFromUtc()).toString(Qt::ISODateWithMs);
    if (text.endsWith(u'Z'))
        text.replace(text.size() - 1, 1, QStringLiteral("+00:00"));
    return text;
}
