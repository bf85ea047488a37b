#include "MonitorRecording.h"

#include "KelMonitor.h"
#include "SessionRecorder.h"
#include "TapRecord.h"

namespace {

// Readers take a monitor's record as a client's: its host side's frames are the requests.
constexpr LinkRole kMonitorRole = LinkRole::Client;

} // namespace

MonitorRecording::MonitorRecording(KelMonitor &monitor, SessionRecorder &recorder, QObject *parent)
    : QObject(parent), m_recorder(recorder)
{
    connect(&monitor, &KelMonitor::frame, this, &MonitorRecording::addFrame);
    connect(&monitor, &KelMonitor::event, this, &MonitorRecording::addEvent);
    connect(&recorder, &SessionRecorder::recordingChanged, this, [this](bool recording) {
        if (recording)
            announceOpen();
    });
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
    keepOpen(event);
    record(event);
}

void MonitorRecording::keepOpen(const MonitorEvent &event)
{
    switch (event.kind) {
    case MivTapEventKind::Opened:
        m_hostOpened = event;
        break;
    case MivTapEventKind::Closed:
        m_hostOpened.reset();
        m_connected.clear();
        break;
    case MivTapEventKind::Connected:
        m_connected[{event.pair, event.side}] = event;
        break;
    case MivTapEventKind::Disconnected:
        m_connected.erase({event.pair, event.side});
        break;
    case MivTapEventKind::Error:
    case MivTapEventKind::Reconnecting:
        break;
    }
}

void MonitorRecording::announceOpen()
{
    QList<MonitorEvent> open;
    if (m_hostOpened)
        open.append(*m_hostOpened);
    for (const auto &[key, event] : m_connected)
        open.append(event);
    for (MonitorEvent &event : open) {
        event.text = OpenSinceText(event.at.wall);
        event.at = MivTapTime{m_recorder.startedSteady(), m_recorder.startedWall()};
        record(event);
    }
}

void MonitorRecording::record(const MonitorEvent &event)
{
    m_recorder.addEvent(RecordedEvent{RecordedKind(event.kind), event.peer, event.text, event.at.steady, event.at.wall,
                                      kMonitorRole, {}, QLatin1StringView(MonitorSideName(event.side)), event.attempt});
}
