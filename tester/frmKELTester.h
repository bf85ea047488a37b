#pragma once

#include "ConnSettings.h"
#include "MivTap.h"
#include "Profile.h"
#include "TesterOutput.h"
#include "TimeOfDayText.h"

#include <QMainWindow>
#include <QString>

#include <optional>

class FocusLeaveGuard;
class LogModel;
class LogView;
class MivController;
class MivMessage;
class MivVariable;
class MivVariant;
class PlanPane;
class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QStatusBar;
class StatusLine;
class QTimer;
class TesterSession;
struct RolePanels;
class TrafficMonitor;

// The main tester window: connection, command sending, log list and auto-reply settings. What
// happens on the connection is its session's; the window shows it and forwards to it.
class frmKELTester : public QMainWindow, public TesterOutput
{
    Q_OBJECT
public:
    explicit frmKELTester(QWidget *parent = nullptr);
    ~frmKELTester() override;

    // The connection: controller, settings, role, automatic reply and message handling.
    TesterSession &session() const { return *m_session; }
    MivController *mivCtrl() const; // the session's

    // Throws MivError for a Null or array value, before anything is appended.
    void AddLog(const QString &caption, const MivVariant &value) override;
    void AddLog(const QString &caption, const QString &value) override;
    void SetStatus(const QString &text) override;
    QString statusText() const;
    void RemoveController();
    void InitWindow();
    // The connect flow after the dialog's OK: the old controller goes, the new one comes, and
    // the window shows its role; a failure is logged and shown.
    void Connect(const ConnSettings &settings);
    // Tools > Reconnect Automatically (frmKELTesterReconnect.cpp).
    bool reconnectAutomatically() const;
    void setReconnectAutomatically(bool on);
    void EnableRequest(bool on);
    void EnableReply(bool on);
    void EnablePerformance(bool on);

    // Profiles (frmKELTesterProfile.cpp). What the windows hold, as a profile.
    Profile currentProfile() const;
    // Sets the windows from the profile, then connects when it was saved connected, as
    // File > Connect's OK does.
    void applyProfile(const Profile &profile);

    // handlers
    void mnuFileConn_Click();
    void mnuFileDisconn_Click();
    void mnuFileExit_Click();
    void mnuHelpVersion_Click();
    void mnuToolsReconnect_Click();
    void cmdPerfchk_Click();
    void cmdSend_Click();
    void cmdClear_Click();
    void cmdSet_Click();
    void cmbVTType_Click();
    bool txtDelay_Validate();
    bool txtHRESULT_Validate();
    void mnuRightCopy_Click();
    void mnuRightCopyAll_Click();
    void mnuRightClear_Click();
    void mnuToolsOpenProfile_Click();
    void mnuToolsSaveProfile_Click();
    void m_mivCtrl_OnMessage(MivMessage *pIMivMess);

    LogModel *logModel() const { return m_logModel; }
    // The Traffic pane and session recording of the View menu.
    TrafficMonitor *traffic() const { return m_traffic; }
    // The Test Plan pane of the View menu.
    PlanPane *planPane() const { return m_planPane; }
    // The selected log line ("" when none).
    QString selectedLogLine() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls(); // frmKELTesterLayout.cpp
    QGroupBox *buildRequestPanel(QWidget *parent);
    QGroupBox *buildReplyPanel(QWidget *parent);
    QGroupBox *buildPerformancePanel(QWidget *parent);
    void buildMenus();
    void setTabOrder();
    void cmdSetButton_Click(); // Set from the button: failures reported like Connect's
    void lstLog_MouseUp(Qt::MouseButton button, const QPoint &pos);
    void updateClock();
    void ShowRole(const RolePanels &panels); // caption, panels and chkInterp of a connection
    void ShowConnected(const RolePanels &panels); // the Connect steps from the role on; throws
    void buildToolsMenu(); // frmKELTesterReconnect.cpp
    void LineLost();       // the disconnect flow for a line that went, before it is reopened
    void LineReopened();   // the Connect lines for it once it is back
    void RecordOutage(const QString &peer, const MivTapTime &since, qint64 lengthMs);
    void buildProfileMenu(); // frmKELTesterProfile.cpp
    QString PerfVariableName() const;
    void RunPerformanceWindow(MivVariable *variable);
    void ShowFailure(const QString &description) override;
    void NoteFailure(const QString &description) override;
    bool InterpretAnswers() const override;
    // Logs caption "Failed", shows the description and sets "Ready.".
    void reportFailure(const QString &caption, const QString &description);

    // Controls; tests and the tour find them by their objectNames, which are these names.
    QGroupBox *fraKelReq = nullptr, *fraKelRep = nullptr, *Frame1 = nullptr;
    QComboBox *cmbTopCmd = nullptr;
    QLineEdit *txtKELCmd[4] = {};
    QLabel *lblReq[8] = {}; // 0..3 and 6, 7 exist
    QPushButton *cmdSend = nullptr, *cmdClear = nullptr;
    QLineEdit *txtHRESULT = nullptr, *txtValue = nullptr, *txtDelay = nullptr;
    QComboBox *cmbVTType = nullptr;
    QLabel *lblRep[4] = {};
    QPushButton *cmdSet = nullptr;
    QLineEdit *txtVarName[3] = {};
    QPushButton *cmdPerfchk = nullptr;
    QCheckBox *chkLog = nullptr, *chkInterp = nullptr;
    LogView *lstLog = nullptr;
    QStatusBar *stbMain = nullptr;
    StatusLine *stbMainText = nullptr;
    QLabel *stbMainClock = nullptr;

    QMenu *mnuFile = nullptr, *mnuHelp = nullptr, *mnuRight = nullptr;
    QAction *mnuFileConn = nullptr, *mnuFileDisconn = nullptr, *mnuFileSP1 = nullptr,
            *mnuFileExit = nullptr, *mnuHelpVersion = nullptr;
    QAction *mnuToolsReconnect = nullptr;
    QAction *mnuToolsSP1 = nullptr, *mnuToolsOpenProfile = nullptr, *mnuToolsSaveProfile = nullptr;
    QAction *mnuRightCopy = nullptr, *mnuRightCopyAll = nullptr, *mnuRightSP1 = nullptr,
            *mnuRightClear = nullptr;

    TesterSession *m_session = nullptr;
    LogModel *m_logModel = nullptr;
    TrafficMonitor *m_traffic = nullptr;
    PlanPane *m_planPane = nullptr;
    FocusLeaveGuard *m_guard = nullptr;
    QTimer *m_clock = nullptr;
    TimeOfDayText m_timeOfDay;
    // What each opening of the performance window starts from once a profile has set it, and
    // what the window had when it last closed.
    std::optional<PerfSettings> m_perfStart;
    PerfSettings m_perfLast;
};
