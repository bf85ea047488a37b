#include "TimeOfDayText.h"

#include <QDateTime>
#include <QTime>

namespace {
constexpr qint64 kMsPerSecond = 1000;
} // namespace

const QString &TimeOfDayText::now()
{
    const qint64 second = QDateTime::currentMSecsSinceEpoch() / kMsPerSecond;
    if (second != m_second) {
        m_second = second;
        m_text = QTime::currentTime().toString(QStringLiteral("HH:mm:ss"));
    }
    return m_text;
}
