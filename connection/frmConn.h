#pragma once

#include "ConnectOption.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QString>
#include <QtGlobal>

#include <memory>
#include <optional>

class FocusLeaveGuard;
class OptionBox;
class QGroupBox;
class QLabel;
class QPushButton;

// The "Connect" dialog: chooses medium, role, line and packet settings and shows the option
// string live. It is hidden, never destroyed, by OK, Cancel and the close box, so its settings
// live as long as the program.
class frmConn : public QDialog
{
    Q_OBJECT
public:
    // The program's single dialog, created on first use and destroyed with the application.
    static frmConn *instance();

    explicit frmConn(QWidget *parent = nullptr);
    ~frmConn() override;

    // Shows a dialog of its own, modally, on the given settings; the settings OK accepted, or
    // nothing when it was cancelled.
    static std::optional<ConnSettings> Edit(QWidget *parent, const ConnSettings &start);

    // Results, valid once the modal call has returned. True only when this opening was closed
    // by OK.
    bool isAccepted() const { return m_bOK; }
    // The fields as the last OK took them (the defaults before the first OK), and the option
    // string built from them (empty before the first OK).
    const ConnSettings &settings() const { return m_accepted; }
    const QString &connectOption() const { return m_strConnectOption; }
    // What Cancel puts back: the accepted settings, less any number too large for its setting.
    const ConnSettings &storedSettings() const { return m_stored; }
    // Shows these settings, from now on also after Cancel; the two own-address fields included.
    void setSettings(const ConnSettings &settings);
    // Shows these settings and takes them as OK does, without showing the dialog.
    void acceptSettings(const ConnSettings &settings);
    // The control values as they stand.
    ConnSettings CurrentSettings() const;

    // Handlers.
    void cmbConnType_Click();
    void chkISO_Click();
    void chkEIA_Click();
    void OptionChanged(); // the lists and boxes whose change only rebuilds
    void cmdOK_Click();
    void cmdCancel_Click();

public slots:
    void reject() override; // Escape: Cancel, even while a field fails its check

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    // Controls; tests and the tour find them by their objectNames, which are these names.
    QLabel *lblConn[20] = {};
    QComboBox *cmbConnType = nullptr;
    QGroupBox *fraConn = nullptr;
    QWidget *picEther = nullptr;
    QLineEdit *txtIPAddress = nullptr;
    QLineEdit *txtPortNumber = nullptr;
    QLineEdit *txtConnMax = nullptr;
    QLineEdit *txtConnTimeout = nullptr;
    QLineEdit *txtMyIP = nullptr;
    QLineEdit *txtPort = nullptr;
    QWidget *picCom = nullptr;
    QLineEdit *txtComPort = nullptr;
    QComboBox *cmbBaudRate = nullptr;
    QComboBox *cmbParity = nullptr;
    QComboBox *cmbDataBits = nullptr;
    QComboBox *cmbStopBits = nullptr;
    QCheckBox *chkXonXoff = nullptr;
    QCheckBox *chkHWCtrl = nullptr;
    QGroupBox *fraPacket = nullptr;
    QCheckBox *chkISO = nullptr;
    QCheckBox *chkEIA = nullptr;
    QCheckBox *chkUnicode = nullptr;
    QComboBox *cmbHeader = nullptr;
    QComboBox *cmbTerm = nullptr;
    QLineEdit *txtEscape = nullptr;
    QLineEdit *txtTimeout = nullptr;
    QCheckBox *chkSync = nullptr;
    OptionBox *txtCmdOpt = nullptr; // read-only, two lines, wraps at commas
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdCancel = nullptr;

    void BuildControls();
    void BuildLayout();
    void SetTabOrder();
    void ConnectHandlers();

    void InitDefaults();
    void RestoreControls();
    void SaveSettings();
    void RebuildOption();
    bool ValidateNumberField(QLineEdit *field);
    bool CheckNumberField(QLineEdit *field);
    void Form_Activate();
    void HideDialog(int result);

    void SetListIndex(QComboBox *list, int index, void (frmConn::*handler)());
    void SetCheckValue(QCheckBox *box, int value, void (frmConn::*handler)());

    bool m_bOK = false;
    QString m_strConnectOption;
    ConnSettings m_accepted;
    // The stored settings; their numbers always fit the dialog's 16-bit (port) and 32-bit
    // variables. The own-address fields are not stored: Cancel leaves them as typed.
    ConnSettings m_stored;
    std::unique_ptr<FocusLeaveGuard> m_guard;
};
