#pragma once

#include <QObject>

class KelMonitor;
class SessionRecorder;
struct MonitorEvent;
struct MonitorFrame;

// Writes what a monitor shows into a session record, as a client's record: a frame from the
// host is an "out" frame (a request to the device), one from the device an "in" frame, both
// with the pair's host connection as peer so that requests and answers pair up; every frame
// and event carries its side. The recording itself is started and stopped by its owner,
// with "monitor" as what recorded.
class MonitorRecording : public QObject
{
    Q_OBJECT
public:
    static constexpr const char *kVia = "monitor";

    MonitorRecording(KelMonitor &monitor, SessionRecorder &recorder, QObject *parent = nullptr);

private:
    void addFrame(const MonitorFrame &frame);
    void addEvent(const MonitorEvent &event);

    SessionRecorder &m_recorder;
};
