#include "frmConn.h"

#include "Controls.h"
#include "OptionBox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int kLabelCount = 20;
constexpr int kOptionBoxLines = 2;
const char *const kLabelCaptions[kLabelCount] = {
    "Connect Type  :", "IP Address  : ", "Port Number  : ", "Max  : ",     "Timeout  : ",
    "MyIP : ",         "COM Port  :",    "Baud Rate  :",    "Parity  :",   "Data Bits  :",
    "Stop Bits  :",    "Flow  :",        "Convert  :",      "Header  :",   "Term  :",
    "Escape  :",       "Timeout : ",     "Sync  : ",        "AddController Option : ",
    "MyIP Port : ",
};

// A check box only as wide as its caption, so that a click beside the text is no click on it.
void addControl(QGridLayout *grid, QWidget *control, int row, int column)
{
    if (qobject_cast<QCheckBox *>(control))
        grid->addWidget(control, row, column, Qt::AlignLeft);
    else
        grid->addWidget(control, row, column);
}

// A label followed by its control(s) on one grid row. A first control without a caption of its
// own is named after the label.
void addRow(QGridLayout *grid, QLabel *label, std::initializer_list<QWidget *> controls)
{
    const auto *button = qobject_cast<QAbstractButton *>(*controls.begin());
    if (!button || button->text().isEmpty())
        NameByLabel(*controls.begin(), label);
    const int row = grid->rowCount();
    grid->addWidget(label, row, 0);
    int column = 1;
    for (QWidget *control : controls)
        addControl(grid, control, row, column++);
}

} // namespace

void frmConn::BuildControls()
{
    setWindowTitle(QStringLiteral("Connect"));

    cmbConnType = MakeList(this, "cmbConnType",
                           {QStringLiteral("COM(Client)"), QStringLiteral("COM(Server)"),
                            QStringLiteral("Ether(Client)"), QStringLiteral("Ether(Server)")});

    fraConn = MakeFrame(this, "fraConn", QStringLiteral("Conn Option"));
    picEther = Named(new QWidget(fraConn), "picEther");
    txtIPAddress = MakeTextBox(picEther, "txtIPAddress");
    txtPortNumber = MakeTextBox(picEther, "txtPortNumber");
    txtConnMax = MakeTextBox(picEther, "txtConnMax");
    txtConnTimeout = MakeTextBox(picEther, "txtConnTimeout");
    txtMyIP = MakeTextBox(picEther, "txtMyIP");
    txtPort = MakeTextBox(picEther, "txtPort");

    picCom = Named(new QWidget(fraConn), "picCom");
    txtComPort = MakeTextBox(picCom, "txtComPort");
    cmbBaudRate = MakeList(picCom, "cmbBaudRate",
                           {QStringLiteral("4800"), QStringLiteral("9600"), QStringLiteral("19200"),
                            QStringLiteral("38400"), QStringLiteral("57600"),
                            QStringLiteral("115200")});
    cmbParity = MakeList(picCom, "cmbParity",
                         {QStringLiteral("NONE"), QStringLiteral("EVEN"), QStringLiteral("ODD")});
    cmbDataBits = MakeList(picCom, "cmbDataBits", {QStringLiteral("7bit"), QStringLiteral("8bit")});
    cmbStopBits = MakeList(picCom, "cmbStopBits", {QStringLiteral("1bit"), QStringLiteral("2bit")});
    chkXonXoff = MakeCheckBox(picCom, "chkXonXoff", QStringLiteral("XOn/XOff"));
    chkHWCtrl = MakeCheckBox(picCom, "chkHWCtrl", QStringLiteral("Hardware Control"));

    fraPacket = MakeFrame(this, "fraPacket", QStringLiteral("Packet Option"));
    chkISO = MakeCheckBox(fraPacket, "chkISO", QStringLiteral("ISO"));
    chkEIA = MakeCheckBox(fraPacket, "chkEIA", QStringLiteral("EIA"));
    chkUnicode = MakeCheckBox(fraPacket, "chkUnicode", QStringLiteral("Unicode"));
    cmbHeader = MakeList(fraPacket, "cmbHeader", {QStringLiteral("Nothing"), QStringLiteral("ENQ(0x05)")});
    cmbTerm = MakeList(fraPacket, "cmbTerm",
                       {QStringLiteral("CR"), QStringLiteral("LF"), QStringLiteral("CR+LF")});
    txtEscape = MakeTextBox(fraPacket, "txtEscape");

    txtTimeout = MakeTextBox(this, "txtTimeout");
    chkSync = MakeCheckBox(this, "chkSync");
    txtCmdOpt = Named(new OptionBox(this), "txtCmdOpt");
    txtCmdOpt->setTabChangesFocus(true);
    const QFontMetrics metrics(txtCmdOpt->font());
    const int margins = txtCmdOpt->frameWidth() + static_cast<int>(txtCmdOpt->document()->documentMargin());
    txtCmdOpt->setFixedHeight(kOptionBoxLines * metrics.lineSpacing() + 2 * margins);

    cmdOK = MakeButton(this, "cmdOK", QStringLiteral("OK"));
    cmdCancel = MakeButton(this, "cmdCancel", QStringLiteral("Cancel"));

    QWidget *const labelParents[kLabelCount] = {
        this,   picEther, picEther,  picEther,  picEther,  picEther, picCom, picCom, picCom, picCom,
        picCom, picCom,   fraPacket, fraPacket, fraPacket, fraPacket, this,  this,   this,   picEther};
    for (int i = 0; i < kLabelCount; ++i)
        lblConn[i] = MakeLabel(labelParents[i], Indexed("lblConn", i), QString::fromLatin1(kLabelCaptions[i]));
}

void frmConn::BuildLayout()
{
    auto *etherGrid = new QGridLayout(picEther);
    etherGrid->setContentsMargins(0, 0, 0, 0);
    addRow(etherGrid, lblConn[1], {txtIPAddress});
    addRow(etherGrid, lblConn[2], {txtPortNumber});
    addRow(etherGrid, lblConn[3], {txtConnMax});
    addRow(etherGrid, lblConn[4], {txtConnTimeout});
    addRow(etherGrid, lblConn[5], {txtMyIP});
    addRow(etherGrid, lblConn[19], {txtPort});
    etherGrid->setRowStretch(etherGrid->rowCount(), 1);

    auto *comGrid = new QGridLayout(picCom);
    comGrid->setContentsMargins(0, 0, 0, 0);
    addRow(comGrid, lblConn[6], {txtComPort});
    addRow(comGrid, lblConn[7], {cmbBaudRate});
    addRow(comGrid, lblConn[8], {cmbParity});
    addRow(comGrid, lblConn[9], {cmbDataBits});
    addRow(comGrid, lblConn[10], {cmbStopBits});
    addRow(comGrid, lblConn[11], {chkXonXoff});
    addControl(comGrid, chkHWCtrl, comGrid->rowCount(), 1);
    comGrid->setRowStretch(comGrid->rowCount(), 1);

    // Both panels share one cell; the type decides which one shows. The larger one fixes the
    // frame's size so that switching does not move the rest of the dialog.
    auto *connGrid = new QGridLayout(fraConn);
    connGrid->addWidget(picEther, 0, 0);
    connGrid->addWidget(picCom, 0, 0);
    const QSize panelSize = picEther->sizeHint().expandedTo(picCom->sizeHint());
    picEther->setMinimumSize(panelSize);
    picCom->setMinimumSize(panelSize);

    auto *packetGrid = new QGridLayout(fraPacket);
    addRow(packetGrid, lblConn[12], {chkISO});
    addControl(packetGrid, chkEIA, packetGrid->rowCount(), 1);
    addControl(packetGrid, chkUnicode, packetGrid->rowCount(), 1);
    addRow(packetGrid, lblConn[13], {cmbHeader});
    addRow(packetGrid, lblConn[14], {cmbTerm});
    addRow(packetGrid, lblConn[15], {txtEscape});
    packetGrid->setRowStretch(packetGrid->rowCount(), 1);

    auto *belowPacket = new QGridLayout;
    addRow(belowPacket, lblConn[16], {txtTimeout});
    addRow(belowPacket, lblConn[17], {chkSync});

    auto *right = new QVBoxLayout;
    right->addWidget(fraPacket);
    right->addLayout(belowPacket);
    right->addStretch();

    auto *frames = new QHBoxLayout;
    frames->addWidget(fraConn, 1);
    frames->addLayout(right, 1);

    NameByLabel(cmbConnType, lblConn[0]);
    NameByLabel(txtCmdOpt, lblConn[18]);
    auto *top = new QHBoxLayout;
    top->addWidget(lblConn[0]);
    top->addWidget(cmbConnType);
    top->addStretch();

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);

    auto *dialog = new QVBoxLayout(this);
    dialog->addLayout(top);
    dialog->addLayout(frames);
    dialog->addWidget(lblConn[18]);
    dialog->addWidget(txtCmdOpt);
    dialog->addLayout(buttons);
    // Fixed before the window exists: the size never changes, as both panels have one size.
    setFixedSize(sizeHint());
}

void frmConn::SetTabOrder()
{
    ::SetTabOrder({cmbConnType, txtIPAddress, txtPortNumber, txtConnMax, txtConnTimeout, txtMyIP,
                   txtPort,     txtComPort,   cmbBaudRate,   cmbParity,  cmbDataBits,    cmbStopBits,
                   chkXonXoff,  chkHWCtrl,    chkISO,        chkEIA,     chkUnicode,     cmbHeader,
                   cmbTerm,     txtEscape,    txtTimeout,    chkSync,    txtCmdOpt,      cmdOK,
                   cmdCancel});
}
