#pragma once

#include "ConnectOption.h"
#include "MessageBoxRecorder.h"
#include "PeerProcess.h"

#include <QDir>
#include <QString>
#include <QStringList>

#include <memory>

class frmKELTester;
class QTextStream;
class QWidget;

// The guided tour: the main window, the connection dialog and the performance check window,
// driven against kelpeer as an operator would use them, with a picture of each stage.
class Tour
{
public:
    Tour(const QDir &pictureFolder, QTextStream &progress);
    ~Tour();
    Tour(const Tour &) = delete;
    Tour &operator=(const Tour &) = delete;

    // False at the first stage that does not do what it should; failure() then says why.
    bool run();
    QString failure() const { return m_failure; }
    QStringList pictures() const { return m_pictures; }

private:
    bool startDevice();
    bool connectTo(ConnType type, quint16 port, bool sync, const QString &picture = {});
    bool sendSynchronously();
    bool sendAsynchronously();
    bool answerHost();
    bool runPerformanceCheck();
    bool startRecording(); // TourTraffic.cpp
    bool watchTraffic();
    bool stopRecording();
    bool runTestPlan(); // TourPlan.cpp
    bool watchMonitor(); // TourMonitor.cpp
    bool saveProfile(); // TourProfile.cpp

    bool sendRequest(const QStringList &fields); // top command, then the four fields
    // The first log line from fromRow on that starts with caption; null when there is none.
    QString logLine(const QString &caption, int fromRow) const;
    bool snapshot(QWidget *window, const QString &name);
    bool check(bool ok, const QString &what);
    void say(const QString &text);
    void sayLogTail(); // for a failed stage

    QDir m_folder;
    QTextStream &m_progress;
    std::unique_ptr<frmKELTester> m_window;
    PeerProcess m_device;
    MessageBoxRecorder m_boxes; // any box means a stage went wrong
    QStringList m_pictures;
    QString m_failure;
};
