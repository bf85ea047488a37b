#include "frmKELTester.h"

#include "Captions.h"
#include "MivError.h"
#include "RoleRules.h"
#include "TesterSession.h"
#include "TrafficMonitor.h"
#include "frmConn.h"
#include "frmPerfChk.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

#include <memory>

// The window's handlers of the connection, the request and the performance check: each shows
// what it does and leaves the work to the session.

void frmKELTester::mnuFileConn_Click()
{
    frmConn *dialog = frmConn::instance();
    dialog->exec();
    if (dialog->isAccepted())
        Connect(dialog->settings());
}

void frmKELTester::Connect(const ConnSettings &settings)
{
    try {
        SetStatus(StatusText::Connecting);
        mnuFileDisconn_Click();
        ShowConnected(m_session->Open(settings));
    } catch (const MivError &error) {
        reportFailure(LogCaption::Connect, error.description());
    }
}

void frmKELTester::ShowConnected(const RolePanels &panels)
{
    ShowRole(panels);
    AddLog(LogCaption::Connect, LogOutcome::Succeeded);
    if (txtHRESULT->isEnabled())
        cmdSet_Click();
    mnuFileDisconn->setEnabled(true);
    SetStatus(StatusText::Ready);
}

void frmKELTester::ShowRole(const RolePanels &panels)
{
    setWindowTitle(panels.title);
    EnableRequest(panels.request);
    EnableReply(panels.reply);
    EnablePerformance(panels.performance);
    chkInterp->setEnabled(panels.interpret);
}

void frmKELTester::mnuFileDisconn_Click()
{
    try {
        setWindowTitle(WindowTitle::NotConnected);
        mnuFileDisconn->setEnabled(false);
        EnableRequest(false);
        EnableReply(false);
        EnablePerformance(false);
        chkInterp->setEnabled(true);
        RemoveController();
    } catch (const MivError &error) {
        AddLog(LogCaption::Disconnect, LogOutcome::Failed);
        NoteFailure(error.description());
        ShowFailure(error.description());
    }
}

void frmKELTester::RemoveController()
{
    m_session->RemoveController();
}

void frmKELTester::cmdSend_Click()
{
    QStringList parameters{cmbTopCmd->currentText()};
    for (QLineEdit *field : txtKELCmd)
        parameters << field->text();
    m_session->Send(parameters);
}

void frmKELTester::cmdClear_Click()
{
    m_session->Clear();
}

void frmKELTester::m_mivCtrl_OnMessage(MivMessage *pIMivMess)
{
    m_session->m_mivCtrl_OnMessage(pIMivMess);
}

void frmKELTester::cmdPerfchk_Click()
{
    try {
        const SessionVariable variable = m_session->AddVariable(PerfVariableName());
        RunPerformanceWindow(TesterSession::Variable(variable));
        m_session->RemoveVariable(variable);
    } catch (const MivError &error) {
        reportFailure(LogCaption::Performance, error.description());
    }
}

QString frmKELTester::PerfVariableName() const
{
    return txtVarName[0]->text() + u':' + txtVarName[1]->text() + u':' + txtVarName[2]->text();
}

void frmKELTester::RunPerformanceWindow(MivVariable *variable)
{
    auto window = std::make_unique<frmPerfChk>(this);
    window->m_mivVar = variable;
    if (m_perfStart)
        window->setSettings(*m_perfStart);
    // Each run goes into a session recording, when one runs; each failed step also shows in the
    // Traffic pane.
    connect(window.get(), &frmPerfChk::runFinished, m_traffic, &TrafficMonitor::addPerf);
    connect(window.get(), &frmPerfChk::stepFailed, m_traffic, &TrafficMonitor::addFailure);
    // With reconnect on, a run with Ignore Error goes on across an outage and marks it.
    window->setLineAway([this] { return m_session->lineAway(); });
    connect(m_session, &TesterSession::lineLost, window.get(), &frmPerfChk::lineLost);
    connect(m_session, &TesterSession::lineReopened, window.get(), &frmPerfChk::lineBack);
    window->exec();
    m_perfLast = window->settings();
}
