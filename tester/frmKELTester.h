#pragma once

#include "TimeOfDayText.h"

#include <QMainWindow>
#include <QPointer>
#include <QString>

class FocusLeaveGuard;
class frmConn;
class LogModel;
class LogView;
class MivController;
class MivMessage;
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
class TrafficMonitor;

// The main tester window: connection, command sending, log list and auto-reply settings.
class frmKELTester : public QMainWindow
{
    Q_OBJECT
public:
    explicit frmKELTester(QWidget *parent = nullptr);
    ~frmKELTester() override;

    // Assigning subscribes to the controller's OnMessage, clearing unsubscribes.
    MivController *mivCtrl() const;
    void setMivCtrl(MivController *controller);

    qint32 m_lClient = 0;
    QString m_strAutoReply, m_strReplyDelay;

    // Throws MivError for a Null or array value, before anything is appended.
    void AddLog(const QString &caption, const MivVariant &value);
    void AddLog(const QString &caption, const QString &value);
    void SetStatus(const QString &text);
    QString statusText() const;
    QString SyncModeText() const;
    void RemoveController();
    void InitWindow();
    void EnableRequest(bool on);
    void EnableReply(bool on);
    void EnablePerformance(bool on);

    // handlers
    void mnuFileConn_Click();
    void mnuFileDisconn_Click();
    void mnuFileExit_Click();
    void mnuHelpVersion_Click();
    void cmdPerfchk_Click();
    void cmdSend_Click();  // CommandSending.cpp
    void cmdClear_Click(); // CommandSending.cpp
    void cmdSet_Click();
    void cmbVTType_Click();
    bool txtDelay_Validate();
    bool txtHRESULT_Validate();
    void mnuRightCopy_Click();
    void mnuRightCopyAll_Click();
    void mnuRightClear_Click();
    void m_mivCtrl_OnMessage(MivMessage *pIMivMess); // MessageHandling.cpp

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
    // The connected controller; MivError "No controller is connected" without one.
    MivController &connectedController() const;
    QString ConnectedTitle(const frmConn &dialog) const; // throws for an unknown type
    // Hands the reason behind a "Failed" log line to the Traffic pane and the recording.
    void noteFailure(const QString &description);
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
    QAction *mnuRightCopy = nullptr, *mnuRightCopyAll = nullptr, *mnuRightSP1 = nullptr,
            *mnuRightClear = nullptr;

    QPointer<MivController> m_mivCtrl;
    LogModel *m_logModel = nullptr;
    TrafficMonitor *m_traffic = nullptr;
    PlanPane *m_planPane = nullptr;
    FocusLeaveGuard *m_guard = nullptr;
    QTimer *m_clock = nullptr;
    TimeOfDayText m_timeOfDay;
};
