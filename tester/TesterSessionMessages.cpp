#include "TesterSession.h"

#include "AnswerText.h"
#include "Captions.h"
#include "MivController.h"
#include "MivError.h"
#include "MivMessage.h"
#include "ReplyText.h"
#include "TesterOutput.h"
#include "VariantTypes.h"
#include "modAPI.h"

// Each message from the peer: a client logs it, a server answers it with the stored reply.
// An error message takes the failure path without a description of its own.
void TesterSession::m_mivCtrl_OnMessage(MivMessage *pIMivMess)
{
    bool replying = false;
    QString failure;
    try {
        m_output.SetStatus(StatusText::Receiving);
        const qint32 kind = pIMivMess->Kind();
        if (kind == MivMessageKind::Disconnected)
            LineWent(pIMivMess->Value().type() == VT_BSTR ? pIMivMess->Value().bstr() : QString());
        if (kind == MivMessageKind::Connected || kind == MivMessageKind::Disconnected)
            return; // the status stays "Receiving..."
        if (kind != MivMessageKind::Error) {
            if (m_lClient == 1) {
                LogAnswer(*pIMivMess);
            } else {
                replying = true;
                ReplyTo(*pIMivMess);
            }
            m_output.SetStatus(StatusText::Ready);
            return;
        }
    } catch (const MivError &error) {
        failure = error.description();
    }
    m_output.AddLog(replying ? LogCaption::Reply : LogCaption::Receive, LogOutcome::Failed);
    if (!failure.isEmpty()) // an error message's own description reached the pane from the engine
        m_output.NoteFailure(failure);
    m_output.ShowFailure(failure);
    m_output.SetStatus(StatusText::Ready);
}

void TesterSession::LogAnswer(MivMessage &message)
{
    if (m_output.InterpretAnswers())
        m_output.AddLog(LogCaption::Receive, InterpretedAnswer(ScalarText(message.Value())));
    else
        m_output.AddLog(LogCaption::Receive, message.Value());
}

// The wait blocks the thread, as the reply delay is meant to.
void TesterSession::ReplyTo(MivMessage &message)
{
    m_output.AddLog(LogCaption::Receive, message.Value());
    if (const quint32 delay = ReplyDelayMs(m_strReplyDelay))
        modAPI::Sleep(delay);
    const MivVariant reply(m_strAutoReply);
    if (m_settings.connType == ComServer)
        connectedController().Execute(QStringLiteral("Send"), reply);
    else
        message.Reply(reply);
    m_output.AddLog(LogCaption::Reply, m_strAutoReply);
}
