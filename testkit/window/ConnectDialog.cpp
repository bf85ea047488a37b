#include "ConnectDialog.h"

#include "UserActions.h"
#include "WindowControls.h"
#include "frmConn.h"
#include "frmKELTester.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

#include <memory>

using namespace UserActions;

namespace {

constexpr int kDialogTimeoutMs = 10000;

void TypeIfUsable(frmConn *dialog, const char *field, const QString &text)
{
    auto *box = Control<QLineEdit>(dialog, field);
    if (box->isVisible() && box->isEnabled())
        Type(box, text);
}

} // namespace

void FillDialog(frmConn *dialog, const ConnChoice &settings)
{
    auto *type = Control<QComboBox>(dialog, "cmbConnType");
    Choose(type, type->itemText(settings.type));
    TypeIfUsable(dialog, "txtComPort", QString::number(settings.comPort));
    TypeIfUsable(dialog, "txtIPAddress", settings.ip);
    TypeIfUsable(dialog, "txtPortNumber", QString::number(settings.port));
    TypeIfUsable(dialog, "txtConnMax", QString::number(settings.connMax));
    TypeIfUsable(dialog, "txtTimeout", QString::number(settings.timeoutMs));
    auto *sync = Control<QCheckBox>(dialog, "chkSync");
    if (sync->isEnabled())
        Tick(sync, settings.sync);
}

bool ConnectThroughDialog(frmKELTester &window, const ConnChoice &settings, bool pressOk,
                          const std::function<void(frmConn *)> &whileOpen)
{
    struct Outcome
    {
        bool seen = false;
        bool closed = false;
        bool missing = false;
    };
    auto outcome = std::make_shared<Outcome>();
    WhenModal<frmConn>(
        [outcome, settings, pressOk, whileOpen](frmConn *dialog) {
            outcome->seen = true;
            FillDialog(dialog, settings);
            if (whileOpen)
                whileOpen(dialog);
            Click(Control(dialog, pressOk ? "cmdOK" : "cmdCancel"));
            outcome->closed = !dialog->isVisible();
            if (dialog->isVisible())
                dialog->reject();
        },
        [outcome] { outcome->missing = true; }, kDialogTimeoutMs);
    Command(&window, "mnuFileConn")->trigger();
    // The poll must be over before this frame goes, also when the dialog never opened.
    WaitFor([outcome] { return outcome->seen || outcome->missing; }, kDialogTimeoutMs);
    return outcome->seen && outcome->closed;
}
