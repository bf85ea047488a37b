#pragma once

#include "MivTap.h"
#include "RecordEntries.h"
#include "SessionRecorder.h"

#include <QObject>
#include <QPointer>

#include <optional>

class MivController;
class QAbstractItemModel;
class QAction;
class QLabel;
class QMainWindow;
class QMenu;
class TrafficModel;
class TrafficPane;

// What the main window gains beyond its described controls: a View menu (before the menu
// whose action is given) with the Traffic pane, hidden at start, and session recording to a
// JSON Lines file, shown in the status bar while it runs.
//
// It watches the window's controller only while the pane is open or a recording runs;
// otherwise the engine has no listener and spends nothing on it.
//
// What was open before a listener began (the recording, or the pane) is told to it once,
// stamped with that beginning and saying since when it is open. A pane shown again gets a
// row for the time it was hidden instead of what it has shown already.
class TrafficMonitor : public QObject, private MivTap
{
    Q_OBJECT
public:
    TrafficMonitor(QMainWindow *window, QAction *menuBefore);
    ~TrafficMonitor() override;

    // The controller whose traffic shows; nullptr when there is none.
    void setController(MivController *controller);
    // Records each line the log model gains.
    void watchLog(QAbstractItemModel *log);
    // The description behind a "Failed" log line, or of a failed step of a performance run;
    // about the link that requests go to, when there is one.
    void addFailure(const QString &description);
    void addPerf(const RecordedPerf &perf);
    void addPlan(const RecordedPlan &plan);

    // Record Session... without asking for the file: false, with a message box saying why,
    // when it cannot start.
    bool startRecording(const QString &path);
    void stopRecording();
    bool isRecording() const { return m_recorder.isRecording(); }
    TrafficModel *model() const { return m_model; }
    // For the other panes of the View menu: the menu, and the recording they add to.
    QMenu *viewMenu() const { return m_menu; }
    SessionRecorder &recorder() { return m_recorder; }

private:
    void tapFrame(const MivTapFrame &frame) override;
    void tapEvent(const MivTapEvent &event) override;
    void showEvent(const MivTapEvent &event);
    void recordEvent(const MivTapEvent &event);
    void askAndRecord();
    void recordingChanged(bool recording);
    void updateTap();
    void paneShown(bool shown);
    bool paneOpen() const;

    QMainWindow *m_window;
    TrafficModel *m_model;
    TrafficPane *m_pane;
    SessionRecorder m_recorder;
    QPointer<MivController> m_controller;
    bool m_tapped = false;
    // Whether the pane and the recording have heard what is open; while the tap tells it
    // again (m_announcing), only a listener that has not (m_tell...) is told.
    bool m_paneTold = false;
    bool m_recordTold = false;
    bool m_announcing = false;
    bool m_tellPane = false;
    bool m_tellRecord = false;
    bool m_paneShown = false;
    MivTapTime m_paneShownAt;
    // When the pane was last hidden (none before it was first shown), and up to when it had
    // heard the controller's events (none when it has not heard this controller).
    std::optional<MivTapTime> m_paneHiddenAt;
    std::optional<std::chrono::steady_clock::time_point> m_paneHeardUntil;
    QMenu *m_menu = nullptr;
    QAction *m_record = nullptr;
    QAction *m_stop = nullptr;
    QLabel *m_recordingLabel = nullptr;
};
