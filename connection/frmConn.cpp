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

// A stored number takes the field's text only as ConvertInto would take it into its variable.
template<typename Integer>
void StoreNumber(const QString &text, QString &stored)
{
    constexpr Integer kUnset = -1; // no field text converts to a negative number
    Integer value = kUnset;
    ConvertInto(text, value);
    if (value != kUnset)
        stored = QString::number(value);
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
    m_accepted = ConnSettings();
    m_stored = ConnSettings();
    RestoreControls();
    picCom->show();
    picEther->hide();
}

std::optional<ConnSettings> frmConn::Edit(QWidget *parent, const ConnSettings &start)
{
    frmConn dialog(parent);
    dialog.setSettings(start);
    dialog.exec();
    if (!dialog.isAccepted())
        return std::nullopt;
    return dialog.settings();
}

void frmConn::setSettings(const ConnSettings &settings)
{
    txtMyIP->setText(settings.myIP);
    txtPort->setText(settings.myIPPort);
    m_stored = settings;
    RestoreControls();
}

void frmConn::acceptSettings(const ConnSettings &settings)
{
    setSettings(settings);
    SaveSettings();
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
    const ConnSettings &s = m_stored;
    SetListIndex(cmbConnType, s.connType, &frmConn::cmbConnType_Click);
    txtComPort->setText(s.comPort);
    SetListIndex(cmbBaudRate, cmbBaudRate->findText(s.baudRate), &frmConn::OptionChanged);
    SetListIndex(cmbParity, s.parity, &frmConn::OptionChanged);
    SetListIndex(cmbDataBits, s.dataBits, &frmConn::OptionChanged);
    SetListIndex(cmbStopBits, s.stopBits, &frmConn::OptionChanged);
    SetCheckValue(chkXonXoff, s.xonXoff, &frmConn::OptionChanged);
    SetCheckValue(chkHWCtrl, s.hwCtrl, &frmConn::OptionChanged);
    txtIPAddress->setText(s.ipAddress);
    txtPortNumber->setText(s.portNumber);
    txtConnMax->setText(s.connMax);
    txtConnTimeout->setText(s.connTimeout);
    SetCheckValue(chkISO, s.iso, &frmConn::chkISO_Click);
    SetCheckValue(chkEIA, s.eia, &frmConn::chkEIA_Click);
    SetCheckValue(chkUnicode, s.unicode, &frmConn::OptionChanged);
    SetListIndex(cmbHeader, s.header, &frmConn::OptionChanged);
    SetListIndex(cmbTerm, s.term, &frmConn::OptionChanged);
    txtEscape->setText(s.escape);
    txtTimeout->setText(s.timeout);
    SetCheckValue(chkSync, s.sync, &frmConn::OptionChanged);
    OptionChanged();
}

void frmConn::SaveSettings()
{
    m_accepted = CurrentSettings();
    const ConnSettings &c = m_accepted;
    ConnSettings &s = m_stored;
    s.connType = c.connType;
    StoreNumber<qint16>(c.comPort, s.comPort);
    s.baudRate = c.baudRate;
    s.parity = c.parity;
    s.dataBits = c.dataBits;
    s.stopBits = c.stopBits;
    s.xonXoff = c.xonXoff;
    s.hwCtrl = c.hwCtrl;
    s.ipAddress = c.ipAddress;
    StoreNumber<qint32>(c.portNumber, s.portNumber);
    StoreNumber<qint32>(c.connMax, s.connMax);
    StoreNumber<qint32>(c.connTimeout, s.connTimeout);
    s.iso = c.iso;
    s.eia = c.eia;
    s.unicode = c.unicode;
    s.header = c.header;
    s.term = c.term;
    StoreNumber<qint32>(c.escape, s.escape);
    StoreNumber<qint32>(c.timeout, s.timeout);
    s.sync = c.sync;
    RebuildOption();
    m_strConnectOption = txtCmdOpt->option();
}

ConnSettings frmConn::CurrentSettings() const
{
    ConnSettings in;
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
    txtCmdOpt->setOption(BuildConnectOption(CurrentSettings()));
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
        chkSync->setCheckState(type == ComServer ? Qt::Unchecked : QtCheckState(m_stored.sync));
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
