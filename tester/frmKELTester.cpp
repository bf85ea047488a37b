#include "frmKELTester.h"

#include "Captions.h"
#include "FocusLeaveGuard.h"
#include "LogModel.h"
#include "MessageBox.h"
#include "MonitorPane.h"
#include "PlanPane.h"
#include "StatusLine.h"
#include "TesterSession.h"
#include "TrafficMonitor.h"
#include "TypeLists.h"
#include "frmConn.h"
#include "modMain.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QVersionNumber>

namespace {
constexpr int kClockTickMs = 1000;

// A serial server only answers; a network server sends requests to its clients.
PlanLinkRole PlanRoleOf(int connType)
{
    switch (connType) {
    case ComClient:
    case EtherClient: return PlanLinkRole::Client;
    case EtherServer: return PlanLinkRole::Server;
    default: return PlanLinkRole::AnswerOnly;
    }
}
} // namespace

frmKELTester::frmKELTester(QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("frmKELTester"));
    setWindowTitle(WindowTitle::Design);
    buildControls();
    buildMenus();
    setTabOrder();
    m_traffic = new TrafficMonitor(this, mnuHelp->menuAction());
    m_traffic->watchLog(m_logModel);
    m_planPane = new PlanPane(this);
    connect(m_planPane, &PlanPane::planFinished, m_traffic, &TrafficMonitor::addPlan);
    AddMonitorPane(this, m_traffic->viewMenu(), m_traffic->recorder());
    m_session = new TesterSession(*this, this);
    connect(m_session, &TesterSession::linkChanged, m_traffic, &TrafficMonitor::setController);
    connect(m_session, &TesterSession::controllerChanged, m_planPane,
            [this](MivController *controller) { m_planPane->setConnection(controller, PlanRoleOf(m_session->role())); });

    buildToolsMenu();
    buildProfileMenu();

    m_guard = new FocusLeaveGuard(this);
    m_guard->addField(txtDelay, [this] { return txtDelay_Validate(); });
    m_guard->addField(txtHRESULT, [this] { return txtHRESULT_Validate(); });

    m_clock = new QTimer(this);
    m_clock->setInterval(kClockTickMs);
    connect(m_clock, &QTimer::timeout, this, &frmKELTester::updateClock);
    updateClock();
    m_clock->start();

    InitWindow();
}

frmKELTester::~frmKELTester()
{
    m_session->setMivCtrl(nullptr);
}

void frmKELTester::InitWindow()
{
    FillVTTypeList(cmbVTType);
    cmbVTType->setCurrentIndex(0);
    cmbVTType_Click(); // same index: Qt emits nothing, the rule must still run
    mnuFileConn->setEnabled(true);
    mnuFileDisconn->setEnabled(false);
    setWindowTitle(WindowTitle::NotConnected);
    cmbTopCmd->setCurrentIndex(0);
    for (QLineEdit *field : txtKELCmd)
        field->clear();
    txtHRESULT->setText(QStringLiteral("0"));
    txtValue->clear();
    m_session->m_strAutoReply.clear();
    RemoveController();
    EnableRequest(false);
    EnableReply(false);
    EnablePerformance(false);
    SetStatus(StatusText::Ready);
}

MivController *frmKELTester::mivCtrl() const
{
    return m_session->mivCtrl();
}

void frmKELTester::EnableRequest(bool on)
{
    SetCtlEnabled(cmbTopCmd, on);
    for (QLineEdit *field : txtKELCmd)
        SetCtlEnabled(field, on);
    SetCtlEnabled(cmdSend, on);
    SetCtlEnabled(cmdClear, on);
}

void frmKELTester::EnableReply(bool on)
{
    SetCtlEnabled(txtHRESULT, on);
    SetCtlEnabled(cmbVTType, on);
    SetCtlEnabled(txtValue, on);
    SetCtlEnabled(txtDelay, on);
    SetCtlEnabled(cmdSet, on);
    if (on)
        cmbVTType_Click();
}

void frmKELTester::EnablePerformance(bool on)
{
    for (QLineEdit *field : txtVarName)
        SetCtlEnabled(field, on);
    SetCtlEnabled(cmdPerfchk, on);
}

void frmKELTester::SetStatus(const QString &text)
{
    if (!chkLog->isChecked())
        return;
    stbMainText->setText(text);
}

QString frmKELTester::statusText() const
{
    return stbMainText->text();
}

void frmKELTester::updateClock()
{
    stbMainClock->setText(m_timeOfDay.now());
}

void frmKELTester::mnuFileExit_Click()
{
    close();
}

void frmKELTester::mnuHelpVersion_Click()
{
    const QString base = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    const QVersionNumber version = QVersionNumber::fromString(QCoreApplication::applicationVersion());
    const QString text = QStringLiteral("%1 version %2.%3.%4")
                             .arg(base)
                             .arg(version.majorVersion())
                             .arg(version.minorVersion())
                             .arg(version.microVersion());
    ShowMessageBox(this, text);
}

void frmKELTester::NoteFailure(const QString &description)
{
    m_traffic->addFailure(description);
}

void frmKELTester::ShowFailure(const QString &description)
{
    ShowMessageBox(this, description);
}

bool frmKELTester::InterpretAnswers() const
{
    return (chkInterp->checkState() & chkLog->checkState()) != 0;
}

void frmKELTester::reportFailure(const QString &caption, const QString &description)
{
    AddLog(caption, LogOutcome::Failed);
    NoteFailure(description);
    ShowFailure(description);
    SetStatus(StatusText::Ready);
}
