#pragma once

#include "TrafficMonitor.h"
#include "WindowControls.h"
#include "frmKELTester.h"

#include <QDir>
#include <QString>

// What the window's View menu has on during a benchmark run: nothing (the baseline), the
// Traffic pane, a session recording, or both.
struct TrafficSetting
{
    const char *name;
    bool pane;
    bool record;
};

inline constexpr TrafficSetting kTrafficSettings[] = {
    {"neither", false, false},
    {"Traffic pane open", true, false},
    {"recording", false, true},
    {"pane open and recording", true, true},
};

// Switches the window to the setting; a recording goes to a file in folder named after it.
inline void ApplyTrafficSetting(frmKELTester &window, const TrafficSetting &setting, const QDir &folder)
{
    QAction *pane = Command(&window, "mnuViewTraffic");
    if (pane->isChecked() != setting.pane)
        pane->trigger();
    TrafficMonitor *traffic = window.traffic();
    if (traffic->isRecording())
        traffic->stopRecording();
    if (setting.record)
        traffic->startRecording(folder.filePath(QString::fromLatin1(setting.name).replace(u' ', u'-') + ".jsonl"));
}
