// The tour's stages for the View menu: the session recorded from start to end, and the
// Traffic pane open while requests go out.
#include "Tour.h"

#include "ConnectDialog.h"
#include "TrafficMonitor.h"
#include "TrafficModel.h"
#include "UserActions.h"
#include "WindowControls.h"
#include "frmKELTester.h"

#include <QCheckBox>
#include <QDockWidget>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

using namespace UserActions;

namespace {

constexpr int kWaitMs = 10000;
const QString kRecordName = QStringLiteral("tour-session.jsonl");
// Room for the pane below the described panels in the picture.
constexpr int kTrafficWidth = 980;
constexpr int kTrafficHeight = 720;
constexpr int kPerThousand = 1000;

bool IsRequest(const QString &text)
{
    for (const char *top : {"START", "STOP", "PUT:", "GET:"}) {
        if (text.startsWith(QLatin1String(top)))
            return true;
    }
    return false;
}

} // namespace

bool Tour::startRecording()
{
    const QString path = m_folder.filePath(kRecordName);
    // As View > Record Session... does once its dialog has the file.
    m_window->traffic()->startRecording(path);
    if (!check(m_window->traffic()->isRecording(), QStringLiteral("record the session to ") + path))
        return false;
    say(QStringLiteral("recording the session to ") + path);
    return true;
}

bool Tour::watchTraffic()
{
    if (!connectTo(EtherClient, m_device.port(), true))
        return false;
    frmKELTester *window = m_window.get();
    const QSize size = window->size();
    window->resize(kTrafficWidth, kTrafficHeight);
    Command(window, "mnuViewTraffic")->trigger();
    if (!check(Control<QDockWidget>(window, "dckTraffic")->isVisible(), QStringLiteral("open View > Traffic")))
        return false;
    Tick(Control<QCheckBox>(window, "chkTrafficHex"), true);
    if (!sendRequest({QStringLiteral("PUT"), QStringLiteral("B"), QStringLiteral("1"), QStringLiteral("T"),
                      QStringLiteral("8,two words")})
        || !sendRequest({QStringLiteral("GET"), QStringLiteral("B"), QStringLiteral("1"), QStringLiteral("T")}))
        return false;
    // opened, connected, and two frames each way
    constexpr int kRows = 6;
    const TrafficModel *rows = window->traffic()->model();
    if (!check(WaitFor([rows] { return rows->rowCount() >= kRows; }, kWaitMs), QStringLiteral("show the frames in the pane")))
        return false;
    say(QStringLiteral("View > Traffic: each frame with its time, peer, text and bytes"));
    const bool pictured = snapshot(window, QStringLiteral("main-traffic.png"));
    Command(window, "mnuViewTraffic")->trigger();
    window->resize(size);
    return pictured;
}

bool Tour::stopRecording()
{
    Command(m_window.get(), "mnuViewStopRecord")->trigger();
    QFile record(m_folder.filePath(kRecordName));
    if (!check(!m_window->traffic()->isRecording() && record.open(QIODevice::ReadOnly),
               QStringLiteral("stop the recording and read it back")))
        return false;
    int requests = 0;
    int lines = 0;
    while (!record.atEnd()) {
        const QJsonObject line = QJsonDocument::fromJson(record.readLine()).object();
        if (!check(!line.isEmpty(), QStringLiteral("read line %1 of the record as JSON").arg(lines + 1)))
            return false;
        ++lines;
        if (line.value(QStringLiteral("t")).toString() == QLatin1String("frame") && IsRequest(line.value(QStringLiteral("text")).toString()))
            ++requests;
    }
    say(QStringLiteral("the session record: %1 lines, %2 bytes for %3 requests, %4 bytes per 1,000 requests")
            .arg(lines)
            .arg(record.size())
            .arg(requests)
            .arg(requests ? record.size() * kPerThousand / requests : 0));
    return true;
}
