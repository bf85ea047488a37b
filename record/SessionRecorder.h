#pragma once

#include "RecordEntries.h"

#include <QByteArray>
#include <QFile>
#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <optional>

// Writes a session record: one JSON object per line (session, then log, frame, event, perf and
// plan records as they are added, then end). Lives on the user-interface thread.
//
// Records are in time order: a record's wall-clock and steady times never go back from the
// last record's, nor before the start (a clock stepped back, or a time from before the
// recording, is written as the latest time written).
//
// Records are written whole: they collect in a buffer that goes to the file when it holds
// kFlushBytes, kFlushDelayMs after the first record it holds, and at stop(), so a crash loses at
// most that last moment. A write that fails (a full disk, /dev/full) stops the recording, cuts
// the file back to its last whole record and emits failed(); nothing is thrown to the caller.
// Adding a record while none runs does nothing, so callers may add unconditionally.
class SessionRecorder : public QObject
{
    Q_OBJECT
public:
    static constexpr int kFlushDelayMs = 50;
    static constexpr qsizetype kFlushBytes = 64 * 1024;
    static constexpr int kVersion = 1;

    explicit SessionRecorder(QObject *parent = nullptr);
    // Ends a running recording (with its end record) without emitting anything.
    ~SessionRecorder() override;

    // Creates or truncates the file and writes the session record to it at once. False, with
    // errorString() saying why, when the file cannot be opened or written, or a recording runs.
    // A non-empty `via` names what recorded (a monitor's record says "monitor").
    bool start(const QString &path, const QString &via = {});
    // Writes the end record and closes the file.
    void stop();

    bool isRecording() const { return m_file.isOpen(); }
    QString path() const { return m_file.fileName(); }
    QString errorString() const { return m_error; }
    // When the running or last recording started.
    std::chrono::steady_clock::time_point startedSteady() const { return m_started; }
    std::chrono::system_clock::time_point startedWall() const { return m_startedWall; }

    // The log line exactly as the list holds it.
    void addLog(const QString &line);
    void addFrame(const RecordedFrame &frame);
    void addEvent(const RecordedEvent &event);
    void addPerf(const RecordedPerf &perf);
    void addPlan(const RecordedPlan &plan);

    // "<name> <version>" of the program, as the build sets them.
    static QString program();

signals:
    void recordingChanged(bool recording);
    // The recording stopped because its file could not be written. May come from within an
    // add...() call: a receiver that opens a message box should be connected queued.
    void failed(const QString &description);

private:
    template<typename Fill>
    void append(const char *type, std::chrono::system_clock::time_point wall,
                std::optional<std::chrono::steady_clock::time_point> steady, Fill &&fill);
    void writeOut();
    bool flush();
    void finish();
    void fail();

    QFile m_file;
    QByteArray m_buffer;
    QTimer m_flushTimer;
    std::chrono::steady_clock::time_point m_started;
    std::chrono::system_clock::time_point m_startedWall;
    qint64 m_lastMs = 0; // of the latest record
    qint64 m_lastUs = 0;
    qint64 m_written = 0; // bytes of whole records in the file
    QString m_error;
};
