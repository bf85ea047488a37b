#include "MainWindowDriver.h"

#include "UserActions.h"
#include "frmConn.h"
#include "frmKELTester.h"

#include <QAction>
#include <QPushButton>
#include <QTimer>

#include <memory>

namespace MainWindowDriver {

bool ConnectWith(frmKELTester &window, const std::function<void(frmConn *)> &fill, bool pressOk)
{
    frmConn *dialog = frmConn::instance();
    auto closed = std::make_shared<bool>(false);
    QTimer::singleShot(0, dialog, [dialog, fill, pressOk, closed] {
        if (!dialog->isVisible())
            return;
        fill(dialog);
        UserActions::Click(pressOk ? dialog->cmdOK : dialog->cmdCancel);
        *closed = !dialog->isVisible();
        if (dialog->isVisible())
            dialog->reject();
    });
    window.mnuFileConn->trigger();
    return *closed;
}

} // namespace MainWindowDriver
