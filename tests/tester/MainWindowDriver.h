#pragma once

#include <QString>

#include <functional>

class frmConn;
class frmKELTester;
class QWidget;

// Drives the main window's modal dialogs through their windows while exec() runs.
namespace MainWindowDriver {

// Opens File > Connect, lets fill() set the dialog's controls, then clicks OK (or Cancel)
// through the dialog's window. False when the dialog never opened or did not close on the click
// (it is then cancelled, so nothing hangs).
bool ConnectWith(frmKELTester &window, const std::function<void(frmConn *)> &fill, bool pressOk = true);

} // namespace MainWindowDriver
