#pragma once

#include <QString>

// The local time of day as "HH:mm:ss". The local time is worked out again only when the second
// changes: each conversion checks the system's time zone file, which costs more than a log line.
class TimeOfDayText
{
public:
    const QString &now();

private:
    qint64 m_second = -1;
    QString m_text;
};
