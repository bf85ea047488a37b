#pragma once

#include "KelPeerConfig.h"

#include <QObject>
#include <QTimer>

#include <memory>

class KelMonitor;
class SessionRecorder;
struct MonitorEvent;
struct MonitorFrame;

// kelpeer's monitor role (--monitor): the option string is the host side, --monitor's the
// device side. Prints a line per frame and per connection, and the summary of counts and
// answer times per command when it stops. With --reconnect a serial host line that goes (with
// its pair) is opened again, both sides, with the engine's back-off; on a TCP host side each
// host connection opens its device side anew in any case.
class KelMonitorRun : public QObject
{
    Q_OBJECT
public:
    explicit KelMonitorRun(KelPeerConfig config, QObject *parent = nullptr);
    ~KelMonitorRun() override;

    // Opens the host side (and the record) and emits the "ready" line. Throws MivError.
    void start();
    // Closes both sides and the record, and emits the summary. Once.
    void stop();

signals:
    void output(const QString &line);  // one stdout line, without the newline
    void failure(const QString &line); // one stderr line
    void finished(int exitCode);       // the serial host line went

private:
    void showFrame(const MonitorFrame &frame);
    void showEvent(const MonitorEvent &event);
    void hostGone();
    void reopen(); // --reconnect: both sides, as start() opens them


    KelPeerConfig m_config;
    std::unique_ptr<KelMonitor> m_monitor;
    std::unique_ptr<SessionRecorder> m_recorder;
    bool m_started = false;
    QTimer m_reopenTimer;
    int m_reopenTries = 0;
    QString m_reopenReason;
    QString m_hostAddress; // as it opened first
};
