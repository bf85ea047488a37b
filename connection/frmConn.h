#pragma once

#include "ConnectOption.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QString>
#include <QtGlobal>

#include <memory>

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

    // Results for the main window.
    bool m_bOK = false;
    QString m_strConnectOption;
    QString m_strIPAddress;
    qint32 m_lConnMax;

    // Stored settings: what the last OK accepted and what Cancel puts back, given their
    // defaults by InitDefaults. List indexes and check values (0 unchecked, 1 checked, 2 grey)
    // are 16-bit like the port; the other numbers 32-bit.
    qint16 m_iConnType;
    qint16 m_iComPort;
    qint16 m_iBaudRate;
    qint16 m_iParity;
    qint16 m_iDataBits;
    qint16 m_iStopBits;
    qint16 m_iXonXoff;
    qint16 m_iHWCtrl;
    qint32 m_lPortNumber;
    qint32 m_lConnTimeout;
    qint16 m_iISO;
    qint16 m_iEIA;
    qint16 m_iUnicode;
    qint16 m_iHeader;
    qint16 m_iTerm;
    qint32 m_lEscape;
    qint32 m_lTimeout;
    qint16 m_iSync;

    // Handlers.
    void cmbConnType_Click();
    void chkISO_Click();
    void chkEIA_Click();
    void OptionChanged(); // the lists and boxes whose change only rebuilds
    void cmdOK_Click();
    void cmdCancel_Click();

    // The current control values as the builder takes them.
    ConnOptionInput CurrentInput() const;

    // What the main window reads of the controls for its caption and modes; after OK they
    // match the accepted settings, after Cancel the restored ones.
    int connType() const { return cmbConnType->currentIndex(); } // a ConnType
    QString comPortText() const { return txtComPort->text(); }
    bool syncChecked() const { return chkSync->isChecked(); }
    bool syncEnabled() const { return chkSync->isEnabled(); }

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

    std::unique_ptr<FocusLeaveGuard> m_guard;
};
