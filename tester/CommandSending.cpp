#include "frmKELTester.h"

#include "AnswerText.h"
#include "Captions.h"
#include "MessageBox.h"
#include "MivController.h"
#include "MivConverter.h"
#include "MivError.h"
#include "ProcessEngine.h"
#include "frmConn.h"
#include "modMain.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPointer>

void frmKELTester::cmdSend_Click()
{
    bool executed = false;
    // The controller can go while the failure box runs its own event loop; the command goes with it.
    QPointer<MivController> owner;
    qint32 commandIndex = 0;
    bool commandHeld = false;
    try {
        QStringList parameters{cmbTopCmd->currentText()};
        for (QLineEdit *field : txtKELCmd)
            parameters << field->text();
        const QString commandText = parameters.join(u':');

        AddLog(LogCaption::Send, commandText);
        SetStatus(StatusText::Sending);

        MivController &controller = connectedController();
        if (frmConn::instance()->syncChecked()) {
            MivCommand *command = controller.AddCommand(QStringLiteral("KELCmd"), QString());
            owner = &controller;
            commandIndex = command->Index();
            commandHeld = true;
            command->setParameters(parameters);
            command->Execute(0);
            executed = true;

            AddLog(LogCaption::Result,
                   ResultText(g_mivConverter->ValueToText(command->Result(), 0)));

            controller.Commands().Remove(commandIndex);
            commandHeld = false;
            SetStatus(StatusText::Ready);
        } else {
            controller.Execute(QStringLiteral("Send"), commandText);
            SetStatus(StatusText::Wait);
        }
    } catch (const MivError &error) {
        AddLog(executed ? LogCaption::Receive : LogCaption::Send,
               LogOutcome::Failed);
        noteFailure(error.description());
        ShowMessageBox(this, error.description());
        if (commandHeld && owner) {
            try {
                owner->Commands().Remove(commandIndex);
            } catch (const MivError &) {
                // Already gone: nothing is left to clean up.
            }
        }
        SetStatus(StatusText::Ready);
    }
}

void frmKELTester::cmdClear_Click()
{
    try {
        connectedController().Execute(QStringLiteral("Clear"));
        AddLog(LogCaption::Clear, LogOutcome::Succeeded);
    } catch (const MivError &error) {
        AddLog(LogCaption::Clear, LogOutcome::Failed);
        noteFailure(error.description());
    }
}
