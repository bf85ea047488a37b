#include "MonitorRecording.h"

#include "KelMonitor.h"
#include "SessionRecorder.h"

namespace {

// Readers take a monitor's record as a client's: its host side's frames are the requests.
constexpr LinkRole kMonitorRole = LinkRole::Client;

LinkEventKind RecordKind(MivTapEventKind kind)
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

} // namespace

MonitorRecording::MonitorRecording(KelMonitor &monitor, SessionRecorder &recorder, QObject *parent)
    : QObject(parent), m_recorder(recorder)
{
    connect(&monitor, &KelMonitor::frame, this, &MonitorRecording::addFrame);
    connect(&monitor, &KelMonitor::event, this, &MonitorRecording::addEvent);
}

void MonitorRecording::addFrame(const MonitorFrame &frame)
{
    const QString side = QLatin1StringView(MonitorSideName(frame.side));
    // A receive error is an event of its side; its bytes went through all the same.
    if (frame.role == MonitorFrame::Error) {
        m_recorder.addEvent(
            RecordedEvent{LinkEventKind::Error, frame.peer, frame.text, frame.at.steady, frame.at.wall, kMonitorRole, {}, side});
        return;
    }
    const FrameDirection direction = frame.side == MonitorSide::Host ? FrameDirection::Out : FrameDirection::In;
    m_recorder.addFrame(
        RecordedFrame{direction, frame.peer, frame.text, frame.wire, frame.at.steady, frame.at.wall, side});
}

void MonitorRecording::addEvent(const MonitorEvent &event)
{
    m_recorder.addEvent(RecordedEvent{RecordKind(event.kind), event.peer, event.text, event.at.steady, event.at.wall,
                                      kMonitorRole, {}, QLatin1StringView(MonitorSideName(event.side)), event.attempt});
}
