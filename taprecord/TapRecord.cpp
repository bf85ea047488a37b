#include "TapRecord.h"

#include <QDateTime>

LinkEventKind RecordedKind(MivTapEventKind kind)
{
    switch (kind) {
    case MivTapEventKind::Opened: return LinkEventKind::Opened;
    case MivTapEventKind::Connected: return LinkEventKind::Connected;
    case MivTapEventKind::Disconnected: return LinkEventKind::Disconnected;
    case MivTapEventKind::Closed: return LinkEventKind::Closed;
    case MivTapEventKind::Reconnecting: return LinkEventKind::Reconnecting;
    case MivTapEventKind::Error: break;
    }
    return LinkEventKind::Error;
}

QString OpenSinceText(std::chrono::system_clock::time_point since)
{
    const qint64 ms = std::chrono::duration_cast<std::chrono::milliseconds>(since.time_since_epoch()).count();
    return QStringLiteral("open since ") + QDateTime::fromMSecsSinceEpoch(ms).time().toString(QStringLiteral("HH:mm:ss.zzz"));
}
