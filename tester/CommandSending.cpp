#include "frmKELTester.h"

#include "AnswerText.h"
#include "MessageBox.h"
#include "MivController.h"
#include "MivConverter.h"
#include "MivError.h"
#include "frmConn.h"
#include "EngineObjects.h"
#include "modMain.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPointer>

namespace {

MivController &connectedController(MivController *controller)
{
    if (!controller)
        throw MivError(MivCode::NotConnected, QStringLiteral("No controller is connected"));
    return *controller;
}

} // namespace

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

        AddLog(QStringLiteral("[ Send ]\t\t"), commandText);
        SetStatus(QStringLiteral("Sending..."));

        MivController &controller = connectedController(mivCtrl());
        if (frmConn::instance()->syncChecked()) {
            MivCommand *command = controller.AddCommand(QStringLiteral("KELCmd"), QString());
            owner = &controller;
            commandIndex = command->Index();
            commandHeld = true;
            command->setParameters(parameters);
            command->Execute(0);
            executed = true;

            AddLog(QStringLiteral("[ Result ]\t\t"),
                   ResultText(g_mivConverter->ValueToText(command->Result(), 0)));

            controller.Commands().Remove(commandIndex);
            commandHeld = false;
            SetStatus(QStringLiteral("Ready."));
        } else {
            controller.Execute(QStringLiteral("Send"), commandText);
            SetStatus(QStringLiteral("Wait."));
        }
    } catch (const MivError &error) {
        AddLog(executed ? QStringLiteral("[ Receive ]\t") : QStringLiteral("[ Send ]\t\t"),
               QStringLiteral("Failed"));
        ShowMessageBox(this, error.description());
        if (commandHeld && owner) {
            try {
                owner->Commands().Remove(commandIndex);
            } catch (const MivError &) {
                // Already gone: nothing is left to clean up.
            }
        }
        SetStatus(QStringLiteral("Ready."));
    }
}

void frmKELTester::cmdClear_Click()
{
    try {
        connectedController(mivCtrl()).Execute(QStringLiteral("Clear"));
        AddLog(QStringLiteral("Clear\t\t"), QStringLiteral("Succeeded"));
    } catch (const MivError &) {
        AddLog(QStringLiteral("Clear\t\t"), QStringLiteral("Failed"));
    }
}
