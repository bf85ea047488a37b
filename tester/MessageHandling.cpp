#include "frmKELTester.h"

#include "AnswerText.h"
#include "MessageBox.h"
#include "MivController.h"
#include "MivConverter.h"
#include "MivError.h"
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
        SetStatus(QStringLiteral("Receiving..."));
        const qint32 kind = pIMivMess->Kind();
        if (kind == 3 || kind == 4)
            return;
        if (kind != 2) {
            if (m_lClient == 1) {
                if ((chkInterp->checkState() & chkLog->checkState()) != 0)
                    AddLog(QStringLiteral("[ Receive ]\t"), InterpretedAnswer(ScalarText(pIMivMess->Value())));
                else
                    AddLog(QStringLiteral("[ Receive ]\t"), pIMivMess->Value());
            } else {
                replying = true;
                AddLog(QStringLiteral("[ Receive ]\t"), pIMivMess->Value());

                if (const quint32 delay = ReplyDelayMs(m_strReplyDelay))
                    modAPI::Sleep(delay);

                const MivVariant reply(m_strAutoReply);
                if (frmConn::instance()->connType() == ComServer) {
                    MivController *controller = mivCtrl();
                    if (!controller)
                        throw MivError(MivCode::NotConnected, QStringLiteral("No controller is connected"));
                    controller->Execute(QStringLiteral("Send"), reply);
                } else {
                    pIMivMess->Reply(reply);
                }
                AddLog(QStringLiteral("[ Reply ]\t\t"), m_strAutoReply);
            }
            SetStatus(QStringLiteral("Ready."));
            return;
        }
    } catch (const MivError &error) {
        failure = error.description();
    }
    AddLog(replying ? QStringLiteral("[ Reply ]\t\t") : QStringLiteral("[ Receive ]\t"),
           QStringLiteral("Failed"));
    ShowMessageBox(this, failure);
    SetStatus(QStringLiteral("Ready."));
}
