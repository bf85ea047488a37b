#include "TesterSession.h"

#include "AnswerText.h"
#include "Captions.h"
#include "ConnectOption.h"
#include "ProcessEngine.h"
#include "MivController.h"
#include "MivConverter.h"
#include "MivEngine.h"
#include "MivError.h"
#include "ReplyText.h"
#include "TesterOutput.h"

namespace {

MivWorkspace &workspace()
{
    return *g_mivEngine->Workspaces().Item(0);
}

} // namespace

TesterSession::TesterSession(TesterOutput &output, QObject *parent)
    : QObject(parent), m_output(output)
{
    m_reconnector.setEnabled(false);
    connect(&m_reconnector, &MivReconnector::opened, this, &TesterSession::Reopened);
    connect(&m_reconnector, &MivReconnector::gaveUp, this, &TesterSession::DropLost);
}

TesterSession::~TesterSession() = default;

MivController *TesterSession::mivCtrl() const
{
    return m_mivCtrl.data();
}

void TesterSession::setMivCtrl(MivController *controller)
{
    if (m_mivCtrl != controller) {
        if (m_mivCtrl)
            disconnect(m_mivCtrl.data(), &MivController::OnMessage, this,
                       &TesterSession::m_mivCtrl_OnMessage);
        m_mivCtrl = controller;
        if (controller)
            connect(controller, &MivController::OnMessage, this, &TesterSession::m_mivCtrl_OnMessage);
        emit controllerChanged(controller);
    }
    updateLink(); // also when the controller has gone already: removed from the engine
}

MivController &TesterSession::connectedController() const
{
    if (!m_mivCtrl)
        throw MivError(MivCode::NotConnected, QStringLiteral("No controller is connected"));
    return *m_mivCtrl;
}

RolePanels TesterSession::Open(const ConnSettings &settings)
{
    m_settings = settings;
    setMivCtrl(workspace().AddController(QString(), QStringLiteral("MivProv.KEL"),
                                         QStringLiteral("localhost"), BuildConnectOption(settings)));
    const RolePanels panels = PanelsFor(settings);
    m_lClient = panels.client;
    return panels;
}

void TesterSession::RemoveController()
{
    if (!m_mivCtrl) {
        DropLost();
        return;
    }
    try {
        if (m_mivCtrl != m_lost) {
            const qint32 index = m_mivCtrl->Index();
            workspace().Controllers().Remove(index);
        }
        setMivCtrl(nullptr);
        m_output.AddLog(LogCaption::Disconnect, LogOutcome::Succeeded);
    } catch (const MivError &) {
        m_output.AddLog(LogCaption::Disconnect, LogOutcome::Failed);
        throw;
    }
}

void TesterSession::Send(const QStringList &parameters)
{
    bool executed = false;
    // The controller can go while the failure box runs its own event loop; the command goes with it.
    QPointer<MivController> owner;
    qint32 commandIndex = 0;
    bool commandHeld = false;
    try {
        const QString commandText = parameters.join(u':');
        m_output.AddLog(LogCaption::Send, commandText);
        m_output.SetStatus(StatusText::Sending);

        MivController &controller = connectedController();
        if (m_settings.sync == CheckOn) {
            MivCommand *command = controller.AddCommand(QStringLiteral("KELCmd"), QString());
            owner = &controller;
            commandIndex = command->Index();
            commandHeld = true;
            command->setParameters(parameters);
            command->Execute(0);
            executed = true;

            m_output.AddLog(LogCaption::Result,
                            ResultText(g_mivConverter->ValueToText(command->Result(), 0)));

            controller.Commands().Remove(commandIndex);
            commandHeld = false;
            m_output.SetStatus(StatusText::Ready);
        } else {
            controller.Execute(QStringLiteral("Send"), commandText);
            m_output.SetStatus(StatusText::Wait);
        }
    } catch (const MivError &error) {
        m_output.AddLog(executed ? LogCaption::Receive : LogCaption::Send, LogOutcome::Failed);
        m_output.NoteFailure(error.description());
        m_output.ShowFailure(error.description());
        if (commandHeld && owner) {
            try {
                owner->Commands().Remove(commandIndex);
            } catch (const MivError &) {
                // Already gone: nothing is left to clean up.
            }
        }
        m_output.SetStatus(StatusText::Ready);
    }
}

void TesterSession::Clear()
{
    try {
        connectedController().Execute(QStringLiteral("Clear"));
        m_output.AddLog(LogCaption::Clear, LogOutcome::Succeeded);
    } catch (const MivError &error) {
        m_output.AddLog(LogCaption::Clear, LogOutcome::Failed);
        m_output.NoteFailure(error.description());
    }
}

void TesterSession::SetReply(const QString &autoReply, const QString &replyDelay)
{
    m_strAutoReply = autoReply;
    m_strReplyDelay = replyDelay;
    m_output.AddLog(LogCaption::Set, AutoReplyLogText(m_strAutoReply, m_strReplyDelay));
}

SessionVariable TesterSession::AddVariable(const QString &name)
{
    MivController &controller = connectedController();
    return {&controller, controller.AddVariable(name, QString())->Index()};
}

MivVariable *TesterSession::Variable(const SessionVariable &variable)
{
    if (!variable.owner)
        throw MivError(MivCode::NotConnected, QStringLiteral("No controller is connected"));
    return variable.owner->Variables().Item(variable.index);
}

void TesterSession::RemoveVariable(const SessionVariable &variable)
{
    if (variable.owner)
        variable.owner->Variables().Remove(variable.index);
}
