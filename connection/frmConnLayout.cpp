#include "frmConn.h"

#include "AccessibleName.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const char *const kLabelCaptions[20] = {
    "Connect Type  :", "IP Address  : ", "Port Number  : ", "Max  : ",     "Timeout  : ",
    "MyIP : ",         "COM Port  :",    "Baud Rate  :",    "Parity  :",   "Data Bits  :",
    "Stop Bits  :",    "Flow  :",        "Convert  :",      "Header  :",   "Term  :",
    "Escape  :",       "Timeout : ",     "Sync  : ",        "AddController Option : ",
    "MyIP Port : ",
};

template <typename T> T *named(T *control, const char *name)
{
    control->setObjectName(QString::fromLatin1(name));
    NameByCaption(control);
    return control;
}

QLineEdit *textBox(QWidget *parent, const char *name)
{
    return named(new QLineEdit(parent), name);
}

QComboBox *dropDown(QWidget *parent, const char *name, const QStringList &items)
{
    QComboBox *list = named(new QComboBox(parent), name);
    list->addItems(items);
    return list;
}

QCheckBox *checkBox(QWidget *parent, const char *name, const char *caption)
{
    return named(new QCheckBox(QString::fromLatin1(caption), parent), name);
}

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

    cmbConnType = dropDown(this, "cmbConnType",
                           {QStringLiteral("COM(Client)"), QStringLiteral("COM(Server)"),
                            QStringLiteral("Ether(Client)"), QStringLiteral("Ether(Server)")});

    fraConn = named(new QGroupBox(QStringLiteral("Conn Option"), this), "fraConn");
    picEther = named(new QWidget(fraConn), "picEther");
    txtIPAddress = textBox(picEther, "txtIPAddress");
    txtPortNumber = textBox(picEther, "txtPortNumber");
    txtConnMax = textBox(picEther, "txtConnMax");
    txtConnTimeout = textBox(picEther, "txtConnTimeout");
    txtMyIP = textBox(picEther, "txtMyIP");
    txtPort = textBox(picEther, "txtPort");

    picCom = named(new QWidget(fraConn), "picCom");
    txtComPort = textBox(picCom, "txtComPort");
    cmbBaudRate = dropDown(picCom, "cmbBaudRate",
                           {QStringLiteral("4800"), QStringLiteral("9600"), QStringLiteral("19200"),
                            QStringLiteral("38400"), QStringLiteral("57600"),
                            QStringLiteral("115200")});
    cmbParity = dropDown(picCom, "cmbParity",
                         {QStringLiteral("NONE"), QStringLiteral("EVEN"), QStringLiteral("ODD")});
    cmbDataBits = dropDown(picCom, "cmbDataBits", {QStringLiteral("7bit"), QStringLiteral("8bit")});
    cmbStopBits = dropDown(picCom, "cmbStopBits", {QStringLiteral("1bit"), QStringLiteral("2bit")});
    chkXonXoff = checkBox(picCom, "chkXonXoff", "XOn/XOff");
    chkHWCtrl = checkBox(picCom, "chkHWCtrl", "Hardware Control");

    fraPacket = named(new QGroupBox(QStringLiteral("Packet Option"), this), "fraPacket");
    chkISO = checkBox(fraPacket, "chkISO", "ISO");
    chkEIA = checkBox(fraPacket, "chkEIA", "EIA");
    chkUnicode = checkBox(fraPacket, "chkUnicode", "Unicode");
    cmbHeader = dropDown(fraPacket, "cmbHeader", {QStringLiteral("Nothing"), QStringLiteral("ENQ(0x05)")});
    cmbTerm = dropDown(fraPacket, "cmbTerm",
                       {QStringLiteral("CR"), QStringLiteral("LF"), QStringLiteral("CR+LF")});
    txtEscape = textBox(fraPacket, "txtEscape");

    txtTimeout = textBox(this, "txtTimeout");
    chkSync = named(new QCheckBox(this), "chkSync");
    txtCmdOpt = named(new QPlainTextEdit(this), "txtCmdOpt");
    txtCmdOpt->setReadOnly(true);
    txtCmdOpt->setTabChangesFocus(true);
    txtCmdOpt->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    txtCmdOpt->setWordWrapMode(QTextOption::WrapAnywhere);
    const QFontMetrics metrics(txtCmdOpt->font());
    txtCmdOpt->setFixedHeight(2 * metrics.lineSpacing() + 2 * txtCmdOpt->frameWidth()
                              + 2 * static_cast<int>(txtCmdOpt->document()->documentMargin()));

    cmdOK = named(new QPushButton(QStringLiteral("OK"), this), "cmdOK");
    cmdCancel = named(new QPushButton(QStringLiteral("Cancel"), this), "cmdCancel");
    // No default button: Return in a field must not accept the dialog.
    cmdOK->setAutoDefault(false);
    cmdCancel->setAutoDefault(false);

    QWidget *const labelParents[20] = {this,     picEther, picEther,  picEther,  picEther,
                                       picEther, picCom,   picCom,    picCom,    picCom,
                                       picCom,   picCom,   fraPacket, fraPacket, fraPacket,
                                       fraPacket, this,    this,      this,      picEther};
    for (int i = 0; i < 20; ++i) {
        lblConn[i] = new QLabel(QString::fromLatin1(kLabelCaptions[i]), labelParents[i]);
        lblConn[i]->setObjectName(QStringLiteral("lblConn(%1)").arg(i));
        NameByCaption(lblConn[i]);
    }
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
    QWidget *const order[] = {cmbConnType, txtIPAddress, txtPortNumber, txtConnMax, txtConnTimeout,
                              txtMyIP,     txtPort,      txtComPort,    cmbBaudRate, cmbParity,
                              cmbDataBits, cmbStopBits,  chkXonXoff,    chkHWCtrl,  chkISO,
                              chkEIA,      chkUnicode,   cmbHeader,     cmbTerm,    txtEscape,
                              txtTimeout,  chkSync,      txtCmdOpt,     cmdOK,      cmdCancel};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
}
