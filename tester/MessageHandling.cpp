#include "frmKELTester.h"

#include "Captions.h"
#include "AnswerText.h"
#include "MessageBox.h"
#include "MivController.h"
#include "MivConverter.h"
#include "MivError.h"
#include "MivMessage.h"
#include "ReplyText.h"
#include "VariantTypes.h"
#include "frmConn.h"
#include "modAPI.h"
#include "modMain.h"

#include <QCheckBox>

void frmKELTester::m_mivCtrl_OnMessage(MivMessage *pIMivMess)
{
    bool replying = false;
    QString failure;
    try {
        SetStatus(StatusText::Receiving);
        const qint32 kind = pIMivMess->Kind();
        if (kind == MivMessageKind::Connected || kind == MivMessageKind::Disconnected)
            return;
        if (kind != MivMessageKind::Error) {
            if (m_lClient == 1) {
                if ((chkInterp->checkState() & chkLog->checkState()) != 0)
                    AddLog(LogCaption::Receive, InterpretedAnswer(ScalarText(pIMivMess->Value())));
                else
                    AddLog(LogCaption::Receive, pIMivMess->Value());
            } else {
                replying = true;
                AddLog(LogCaption::Receive, pIMivMess->Value());

                if (const quint32 delay = ReplyDelayMs(m_strReplyDelay))
                    modAPI::Sleep(delay);

                const MivVariant reply(m_strAutoReply);
                if (frmConn::instance()->connType() == ComServer)
                    connectedController().Execute(QStringLiteral("Send"), reply);
                else
                    pIMivMess->Reply(reply);
                AddLog(LogCaption::Reply, m_strAutoReply);
            }
            SetStatus(StatusText::Ready);
            return;
        }
    } catch (const MivError &error) {
        failure = error.description();
    }
    AddLog(replying ? LogCaption::Reply : LogCaption::Receive,
           LogOutcome::Failed);
    if (!failure.isEmpty()) // an error message's own description reached the pane from the engine
        noteFailure(failure);
    ShowMessageBox(this, failure);
    SetStatus(StatusText::Ready);
}
