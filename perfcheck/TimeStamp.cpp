#include "TimeStamp.h"

QString TimeStampText(const modAPI::SYSTEMTIME &time)
{
    return QString::asprintf("%02u/%02u %02u:%02u:%02u.%03u", unsigned(time.wMonth),
                             unsigned(time.wDay), unsigned(time.wHour), unsigned(time.wMinute),
                             unsigned(time.wSecond), unsigned(time.wMilliseconds));
}
