#include "frmKELTester.h"

#include "Captions.h"
#include "MessageBox.h"
#include "MivController.h"
#include "MivEngine.h"
#include "MivError.h"
#include "ProcessEngine.h"
#include "TrafficMonitor.h"
#include "frmConn.h"
#include "frmPerfChk.h"
#include "modMain.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>

#include <memory>

namespace {

MivWorkspace &workspace()
{
    return *g_mivEngine->Workspaces().Item(0);
}

} // namespace

QString frmKELTester::SyncModeText() const
{
    return frmConn::instance()->syncChecked() ? WindowTitle::Sync : WindowTitle::ASync;
}

QString frmKELTester::ConnectedTitle(const frmConn &dialog) const
{
    switch (dialog.connType()) {
    case ComClient:
        return WindowTitle::ComClient.arg(dialog.comPortText(), SyncModeText());
    case ComServer:
        return WindowTitle::ComServer.arg(dialog.comPortText());
    case EtherClient:
        return WindowTitle::EtherClient.arg(dialog.m_strIPAddress, SyncModeText());
    case EtherServer:
        return WindowTitle::EtherServer.arg(dialog.m_lConnMax);
    default:
        throw MivError(MivCode::InvalidArg, QStringLiteral("Unknown connection type"));
    }
}

void frmKELTester::mnuFileConn_Click()
{
    frmConn *dialog = frmConn::instance();
    dialog->exec();
    if (!dialog->m_bOK)
        return;
    try {
        SetStatus(StatusText::Connecting);
        mnuFileDisconn_Click();
        const QString option = dialog->m_strConnectOption;
        setMivCtrl(workspace().AddController(QString(), QStringLiteral("MivProv.KEL"),
                                             QStringLiteral("localhost"), option));

        const bool sync = dialog->syncChecked();
        setWindowTitle(ConnectedTitle(*dialog));
        const int type = dialog->connType();
        const bool client = type == ComClient || type == EtherClient;
        EnableRequest(type != ComServer);
        EnableReply(!client);
        EnablePerformance(client && sync);
        m_lClient = client ? 1 : 0;
        chkInterp->setEnabled(dialog->syncEnabled() && !sync);
        AddLog(LogCaption::Connect, LogOutcome::Succeeded);
        if (txtHRESULT->isEnabled())
            cmdSet_Click();
        mnuFileDisconn->setEnabled(true);
        SetStatus(StatusText::Ready);
    } catch (const MivError &error) {
        reportFailure(LogCaption::Connect, error.description());
    }
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
        noteFailure(error.description());
        ShowMessageBox(this, error.description());
    }
}

void frmKELTester::RemoveController()
{
    if (!m_mivCtrl)
        return;
    try {
        const qint32 index = m_mivCtrl->Index();
        workspace().Controllers().Remove(index);
        setMivCtrl(nullptr);
        AddLog(LogCaption::Disconnect, LogOutcome::Succeeded);
    } catch (const MivError &) {
        AddLog(LogCaption::Disconnect, LogOutcome::Failed);
        throw;
    }
}

void frmKELTester::cmdPerfchk_Click()
{
    try {
        QPointer<MivController> owner = &connectedController();
        const QString name = txtVarName[0]->text() + u':' + txtVarName[1]->text() + u':'
                             + txtVarName[2]->text();
        const qint32 index = owner->AddVariable(name, QString())->Index();
        {
            auto window = std::make_unique<frmPerfChk>(this);
            window->m_mivVar = owner->Variables().Item(index);
            // Each run goes into a session recording, when one runs; each failed step also shows in the
            // Traffic pane.
            connect(window.get(), &frmPerfChk::runFinished, m_traffic, &TrafficMonitor::addPerf);
            connect(window.get(), &frmPerfChk::stepFailed, m_traffic, &TrafficMonitor::addFailure);
            window->exec();
        }
        // The controller may have gone while the window was open; its variables went with it.
        if (owner)
            owner->Variables().Remove(index);
    } catch (const MivError &error) {
        reportFailure(LogCaption::Performance, error.description());
    }
}
