#include "frmKELTester.h"

#include "MessageBox.h"
#include "MivController.h"
#include "MivEngine.h"
#include "MivError.h"
#include "frmConn.h"
#include "frmPerfChk.h"
#include "EngineObjects.h"
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
    return frmConn::instance()->syncChecked() ? QStringLiteral("Sync") : QStringLiteral("ASync");
}

void frmKELTester::mnuFileConn_Click()
{
    frmConn *dialog = frmConn::instance();
    dialog->exec();
    if (!dialog->m_bOK)
        return;
    try {
        SetStatus(QStringLiteral("Connecting..."));
        mnuFileDisconn_Click();
        const QString option = dialog->m_strConnectOption;
        setMivCtrl(workspace().AddController(QString(), QStringLiteral("MivProv.KEL"),
                                             QStringLiteral("localhost"), option));

        const bool sync = dialog->syncChecked();
        switch (dialog->connType()) {
        case ComClient:
            setWindowTitle(QStringLiteral("KELTester - (COM[Client], %1, %2)")
                               .arg(dialog->comPortText(), SyncModeText()));
            EnableRequest(true);
            EnableReply(false);
            EnablePerformance(sync);
            m_lClient = 1;
            break;
        case ComServer:
            setWindowTitle(QStringLiteral("KELTester - (COM[Server], %1)").arg(dialog->comPortText()));
            EnableRequest(false);
            EnableReply(true);
            EnablePerformance(false);
            m_lClient = 0;
            break;
        case EtherClient:
            setWindowTitle(QStringLiteral("KELTester - (Ether[Client], %1, %2)")
                               .arg(dialog->m_strIPAddress, SyncModeText()));
            EnableRequest(true);
            EnableReply(false);
            EnablePerformance(sync);
            m_lClient = 1;
            break;
        case EtherServer:
            setWindowTitle(QStringLiteral("KELTester - (Ether[Server], %1)").arg(dialog->m_lConnMax));
            EnableRequest(true);
            EnableReply(true);
            EnablePerformance(false);
            m_lClient = 0;
            break;
        default:
            throw MivError(MivCode::InvalidArg, QStringLiteral("Unknown connection type"));
        }
        chkInterp->setEnabled(dialog->syncEnabled() && !sync);
        AddLog(QStringLiteral("Connect\t\t"), QStringLiteral("Succeeded"));
        if (txtHRESULT->isEnabled())
            cmdSet_Click();
        mnuFileDisconn->setEnabled(true);
        SetStatus(QStringLiteral("Ready."));
    } catch (const MivError &error) {
        reportFailure(QStringLiteral("Connect\t\t"), error.description());
    }
}

void frmKELTester::mnuFileDisconn_Click()
{
    try {
        setWindowTitle(QStringLiteral("KELTester - (No Connection)"));
        mnuFileDisconn->setEnabled(false);
        EnableRequest(false);
        EnableReply(false);
        EnablePerformance(false);
        chkInterp->setEnabled(true);
        RemoveController();
    } catch (const MivError &error) {
        AddLog(QStringLiteral("Disconnect\t"), QStringLiteral("Failed"));
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
        AddLog(QStringLiteral("Disconnect\t"), QStringLiteral("Succeeded"));
    } catch (const MivError &) {
        AddLog(QStringLiteral("Disconnect\t"), QStringLiteral("Failed"));
        throw;
    }
}

void frmKELTester::cmdPerfchk_Click()
{
    try {
        if (!m_mivCtrl)
            throw MivError(MivCode::NotConnected, QStringLiteral("No controller is connected"));
        const QString name = txtVarName[0]->text() + u':' + txtVarName[1]->text() + u':'
                             + txtVarName[2]->text();
        QPointer<MivController> owner = m_mivCtrl;
        const qint32 index = owner->AddVariable(name, QString())->Index();
        {
            auto window = std::make_unique<frmPerfChk>(this);
            window->m_mivVar = owner->Variables().Item(index);
            window->exec();
        }
        // The controller may have gone while the window was open; its variables went with it.
        if (owner)
            owner->Variables().Remove(index);
    } catch (const MivError &error) {
        reportFailure(QStringLiteral("Performance\t"), error.description());
    }
}
