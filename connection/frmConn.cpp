#include "frmConn.h"

#include "FocusLeaveGuard.h"
#include "NumberField.h"
#include "OptionBox.h"
#include "modMain.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

namespace {

QPointer<frmConn> g_frmConn;

void destroyInstance()
{
    delete g_frmConn.data();
}

int CheckValueOf(const QCheckBox *box)
{
    switch (box->checkState()) {
    case Qt::Checked:
        return CheckOn;
    case Qt::PartiallyChecked:
        return CheckGrey;
    default:
        return CheckOff;
    }
}

Qt::CheckState QtCheckState(int value)
{
    return value == CheckOn ? Qt::Checked : value == CheckGrey ? Qt::PartiallyChecked : Qt::Unchecked;
}

} // namespace

frmConn *frmConn::instance()
{
    if (!g_frmConn) {
        static bool cleanupRegistered = false;
        if (!cleanupRegistered) {
            // Runs while the application object still exists, so the widgets go down cleanly.
            qAddPostRoutine(destroyInstance);
            cleanupRegistered = true;
        }
        g_frmConn = new frmConn;
    }
    return g_frmConn;
}

frmConn::frmConn(QWidget *parent)
    : QDialog(parent)
{
    BuildControls();
    BuildLayout();
    SetTabOrder();

    chkUnicode->setEnabled(false);
    SetCtlEnabled(txtConnMax, false);
    SetCtlEnabled(txtConnTimeout, false);

    ConnectHandlers();

    m_guard = std::make_unique<FocusLeaveGuard>(this);
    for (QLineEdit *field : {txtComPort, txtConnMax, txtConnTimeout, txtEscape, txtPortNumber, txtTimeout})
        m_guard->addField(field, [this, field] { return CheckNumberField(field); });

    InitDefaults();
}

frmConn::~frmConn() = default;

void frmConn::ConnectHandlers()
{
    connect(cmbConnType, &QComboBox::currentIndexChanged, this, &frmConn::cmbConnType_Click);
    for (QComboBox *list : {cmbBaudRate, cmbParity, cmbDataBits, cmbStopBits, cmbHeader, cmbTerm})
        connect(list, &QComboBox::currentIndexChanged, this, &frmConn::OptionChanged);
    for (QCheckBox *box : {chkXonXoff, chkHWCtrl, chkUnicode, chkSync})
        connect(box, &QCheckBox::stateChanged, this, &frmConn::OptionChanged);
    connect(chkISO, &QCheckBox::stateChanged, this, &frmConn::chkISO_Click);
    connect(chkEIA, &QCheckBox::stateChanged, this, &frmConn::chkEIA_Click);
    connect(cmdOK, &QPushButton::clicked, this, &frmConn::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmConn::cmdCancel_Click);
}

void frmConn::InitDefaults()
{
    m_bOK = false;
    m_strConnectOption.clear();
    m_strIPAddress = QStringLiteral("127.0.0.1");
    m_lConnMax = 10;
    m_iConnType = ComClient;
    m_iComPort = 1;
    m_iBaudRate = 3;
    m_iParity = 0;
    m_iDataBits = 1;
    m_iStopBits = 0;
    m_iXonXoff = CheckOff;
    m_iHWCtrl = CheckOff;
    m_lPortNumber = 5006;
    m_lConnTimeout = 900;
    m_iISO = CheckOff;
    m_iEIA = CheckOff;
    m_iUnicode = CheckOn;
    m_iHeader = 0;
    m_iTerm = 0;
    m_lEscape = 0;
    m_lTimeout = 500;
    m_iSync = CheckOn;

    RestoreControls();
    picCom->show();
    picEther->hide();
}

// Qt signals only a change; the handler must still run when the stored value is the current one.
void frmConn::SetListIndex(QComboBox *list, int index, void (frmConn::*handler)())
{
    if (index < -1 || index >= list->count())
        return;
    if (list->currentIndex() == index)
        (this->*handler)();
    else
        list->setCurrentIndex(index);
}

void frmConn::SetCheckValue(QCheckBox *box, int value, void (frmConn::*handler)())
{
    if (value < CheckOff || value > CheckGrey)
        return;
    if (CheckValueOf(box) == value)
        (this->*handler)();
    else
        box->setCheckState(QtCheckState(value));
}

void frmConn::RestoreControls()
{
    SetListIndex(cmbConnType, m_iConnType, &frmConn::cmbConnType_Click);
    txtComPort->setText(QString::number(m_iComPort));
    SetListIndex(cmbBaudRate, m_iBaudRate, &frmConn::OptionChanged);
    SetListIndex(cmbParity, m_iParity, &frmConn::OptionChanged);
    SetListIndex(cmbDataBits, m_iDataBits, &frmConn::OptionChanged);
    SetListIndex(cmbStopBits, m_iStopBits, &frmConn::OptionChanged);
    SetCheckValue(chkXonXoff, m_iXonXoff, &frmConn::OptionChanged);
    SetCheckValue(chkHWCtrl, m_iHWCtrl, &frmConn::OptionChanged);
    txtIPAddress->setText(m_strIPAddress);
    txtPortNumber->setText(QString::number(m_lPortNumber));
    txtConnMax->setText(QString::number(m_lConnMax));
    txtConnTimeout->setText(QString::number(m_lConnTimeout));
    SetCheckValue(chkISO, m_iISO, &frmConn::chkISO_Click);
    SetCheckValue(chkEIA, m_iEIA, &frmConn::chkEIA_Click);
    SetCheckValue(chkUnicode, m_iUnicode, &frmConn::OptionChanged);
    SetListIndex(cmbHeader, m_iHeader, &frmConn::OptionChanged);
    SetListIndex(cmbTerm, m_iTerm, &frmConn::OptionChanged);
    txtEscape->setText(QString::number(m_lEscape));
    txtTimeout->setText(QString::number(m_lTimeout));
    SetCheckValue(chkSync, m_iSync, &frmConn::OptionChanged);
    OptionChanged();
}

void frmConn::SaveSettings()
{
    m_iConnType = static_cast<qint16>(cmbConnType->currentIndex());
    ConvertInto(txtComPort->text(), m_iComPort);
    m_iBaudRate = static_cast<qint16>(cmbBaudRate->currentIndex());
    m_iParity = static_cast<qint16>(cmbParity->currentIndex());
    m_iDataBits = static_cast<qint16>(cmbDataBits->currentIndex());
    m_iStopBits = static_cast<qint16>(cmbStopBits->currentIndex());
    m_iXonXoff = static_cast<qint16>(CheckValueOf(chkXonXoff));
    m_iHWCtrl = static_cast<qint16>(CheckValueOf(chkHWCtrl));
    m_strIPAddress = txtIPAddress->text();
    ConvertInto(txtPortNumber->text(), m_lPortNumber);
    ConvertInto(txtConnMax->text(), m_lConnMax);
    ConvertInto(txtConnTimeout->text(), m_lConnTimeout);
    m_iISO = static_cast<qint16>(CheckValueOf(chkISO));
    m_iEIA = static_cast<qint16>(CheckValueOf(chkEIA));
    m_iUnicode = static_cast<qint16>(CheckValueOf(chkUnicode));
    m_iHeader = static_cast<qint16>(cmbHeader->currentIndex());
    m_iTerm = static_cast<qint16>(cmbTerm->currentIndex());
    ConvertInto(txtEscape->text(), m_lEscape);
    ConvertInto(txtTimeout->text(), m_lTimeout);
    m_iSync = static_cast<qint16>(CheckValueOf(chkSync));
    RebuildOption();
    m_strConnectOption = txtCmdOpt->option();
}

ConnOptionInput frmConn::CurrentInput() const
{
    ConnOptionInput in;
    in.connType = cmbConnType->currentIndex();
    in.comPort = txtComPort->text();
    in.baudRate = cmbBaudRate->currentText();
    in.parity = cmbParity->currentIndex();
    in.dataBits = cmbDataBits->currentIndex();
    in.stopBits = cmbStopBits->currentIndex();
    in.xonXoff = CheckValueOf(chkXonXoff);
    in.hwCtrl = CheckValueOf(chkHWCtrl);
    in.ipAddress = txtIPAddress->text();
    in.portNumber = txtPortNumber->text();
    in.connMax = txtConnMax->text();
    in.connTimeout = txtConnTimeout->text();
    in.myIP = txtMyIP->text();
    in.myIPPort = txtPort->text();
    in.iso = CheckValueOf(chkISO);
    in.eia = CheckValueOf(chkEIA);
    in.unicode = CheckValueOf(chkUnicode);
    in.header = cmbHeader->currentIndex();
    in.term = cmbTerm->currentIndex();
    in.escape = txtEscape->text();
    in.timeout = txtTimeout->text();
    in.sync = CheckValueOf(chkSync);
    return in;
}

void frmConn::RebuildOption()
{
    txtCmdOpt->setOption(BuildConnectOption(CurrentInput()));
}

void frmConn::cmbConnType_Click()
{
    const int type = cmbConnType->currentIndex();
    if (type >= ComClient && type <= EtherServer) {
        const bool ether = type == EtherClient || type == EtherServer;
        picCom->setVisible(!ether);
        picEther->setVisible(ether);
        if (ether) {
            const bool server = type == EtherServer;
            SetCtlEnabled(txtIPAddress, !server);
            SetCtlEnabled(txtPortNumber, true);
            SetCtlEnabled(txtConnMax, server);
            SetCtlEnabled(txtConnTimeout, server);
            SetCtlEnabled(txtPort, !server);
        }
        chkSync->setCheckState(type == ComServer ? Qt::Unchecked : QtCheckState(m_iSync));
        chkSync->setEnabled(type == ComClient || type == EtherClient);
    }
    RebuildOption();
}

void frmConn::chkISO_Click()
{
    chkEIA->setEnabled(CheckValueOf(chkISO) != CheckOn);
    RebuildOption();
}

void frmConn::chkEIA_Click()
{
    chkISO->setEnabled(CheckValueOf(chkEIA) != CheckOn);
    RebuildOption();
}

void frmConn::OptionChanged()
{
    RebuildOption();
}

bool frmConn::ValidateNumberField(QLineEdit *field)
{
    const std::optional<QString> number = NumberFieldText(field->text());
    if (number)
        field->setText(*number);
    return number.has_value();
}

bool frmConn::CheckNumberField(QLineEdit *field)
{
    field->setText(TrimBlanks(field->text()));
    if (!ValidateNumberField(field)) {
        SelectAllText(field);
        return false;
    }
    RebuildOption();
    return true;
}

void frmConn::cmdOK_Click()
{
    m_bOK = true;
    SaveSettings();
    HideDialog(Accepted);
}

void frmConn::cmdCancel_Click()
{
    RestoreControls();
    HideDialog(Rejected);
}

void frmConn::reject()
{
    cmdCancel_Click();
}

// Every later opening starts on the connection type.
void frmConn::HideDialog(int result)
{
    cmbConnType->setFocus();
    done(result);
}

// Only the application going down may close the dialog; any other request (the close box)
// is refused and cancels. The cancel hides the dialog once the refused event is over: hiding
// it from inside the event would leave the window system believing it still active, so that
// the next opening would start without the focus and without the field checks.
void frmConn::closeEvent(QCloseEvent *event)
{
    if (QCoreApplication::closingDown()) {
        QWidget::closeEvent(event);
        return;
    }
    event->ignore();
    QMetaObject::invokeMethod(this, &frmConn::cmdCancel_Click, Qt::QueuedConnection);
}

void frmConn::showEvent(QShowEvent *event)
{
    Form_Activate();
    QDialog::showEvent(event);
}

void frmConn::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ActivationChange && isVisible() && isActiveWindow())
        Form_Activate();
    QDialog::changeEvent(event);
}

void frmConn::Form_Activate()
{
    m_bOK = false;
}
