#pragma once

#include "MonitorRows.h"

#include <QObject>

#include <map>
#include <optional>
#include <utility>

class KelMonitor;
class SessionRecorder;

// Writes what a monitor shows into a session record, as a client's record: a frame from the
// host is an "out" frame (a request to the device), one from the device an "in" frame, both
// with the pair's host connection as peer so that requests and answers pair up; every frame
// and event carries its side. The recording itself is started and stopped by its owner,
// with "monitor" as what recorded.
//
// A recording that begins while the monitor runs is told what is open then (the host side and
// each pair's connections), stamped with its beginning and saying since when each is open.
class MonitorRecording : public QObject
{
    Q_OBJECT
public:
    static constexpr const char *kVia = "monitor";

    MonitorRecording(KelMonitor &monitor, SessionRecorder &recorder, QObject *parent = nullptr);

private:
    void addFrame(const MonitorFrame &frame);
    void addEvent(const MonitorEvent &event);
    void keepOpen(const MonitorEvent &event);
    void announceOpen();
    void record(const MonitorEvent &event);

    SessionRecorder &m_recorder;
    std::optional<MonitorEvent> m_hostOpened;
    std::map<std::pair<quint64, MonitorSide>, MonitorEvent> m_connected; // by pair and side
};
