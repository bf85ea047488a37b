#include "frmKELTester.h"

#include "Controls.h"
#include "LogDelegate.h"
#include "LogModel.h"
#include "LogView.h"
#include "StatusLine.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QVBoxLayout>

namespace {

const QString kSeparator = QStringLiteral(":");
constexpr int kFirstVariableLabel = 6; // the variable name fields are split by lblReq(6), lblReq(7)
constexpr int kInitialWidth = 760;
constexpr int kInitialHeight = 520;

} // namespace

void frmKELTester::buildControls()
{
    auto *central = new QWidget(this);
    setCentralWidget(central);
    auto *column = new QVBoxLayout(central);
    column->addWidget(buildRequestPanel(central));
    column->addWidget(buildReplyPanel(central));
    column->addWidget(buildPerformancePanel(central));

    auto *switches = new QHBoxLayout;
    chkLog = MakeCheckBox(central, "chkLog", QStringLiteral("Log"));
    chkInterp = MakeCheckBox(central, "chkInterp", QStringLiteral("Interpret"));
    chkLog->setChecked(true);
    chkInterp->setChecked(true);
    switches->addWidget(chkLog);
    switches->addWidget(chkInterp);
    switches->addStretch(1);
    column->addLayout(switches);

    m_logModel = new LogModel(this);
    lstLog = Named(new LogView(central), "lstLog");
    lstLog->setAccessibleName(QStringLiteral("Log list")); // no caption, hint or label of its own
    lstLog->setModel(m_logModel);
    lstLog->setItemDelegate(new LogDelegate(lstLog));
    lstLog->setSelectionMode(QAbstractItemView::SingleSelection);
    lstLog->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstLog->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    lstLog->installEventFilter(this);
    lstLog->viewport()->installEventFilter(this);
    column->addWidget(lstLog, 1);

    stbMain = Named(new QStatusBar(this), "stbMain");
    stbMain->setSizeGripEnabled(true);
    stbMainText = Named(new StatusLine(stbMain), "stbMainText");
    stbMainClock = Named(new QLabel(stbMain), "stbMainClock");
    stbMain->addWidget(stbMainText, 1);
    stbMain->addPermanentWidget(stbMainClock);
    setStatusBar(stbMain);

    connect(cmdSend, &QPushButton::clicked, this, &frmKELTester::cmdSend_Click);
    connect(cmdClear, &QPushButton::clicked, this, &frmKELTester::cmdClear_Click);
    connect(cmdSet, &QPushButton::clicked, this, &frmKELTester::cmdSetButton_Click);
    connect(cmdPerfchk, &QPushButton::clicked, this, &frmKELTester::cmdPerfchk_Click);
    connect(cmbVTType, &QComboBox::currentIndexChanged, this, &frmKELTester::cmbVTType_Click);

    resize(kInitialWidth, kInitialHeight);
}

QGroupBox *frmKELTester::buildRequestPanel(QWidget *parent)
{
    fraKelReq = MakeFrame(parent, "fraKelReq", QStringLiteral("Request"));
    auto *row = new QHBoxLayout(fraKelReq);
    cmbTopCmd = MakeList(fraKelReq, "cmbTopCmd",
                         {QStringLiteral("START"), QStringLiteral("STOP"), QStringLiteral("PUT"),
                          QStringLiteral("GET")},
                         QStringLiteral("TopCommand"));
    row->addWidget(cmbTopCmd);
    const QString hints[std::size(txtKELCmd)] = {QStringLiteral("PartName"), QStringLiteral("PartNumber"),
                                                  QStringLiteral("SubCommand"), QStringLiteral("Parameter")};
    for (int i = 0; i < int(std::size(txtKELCmd)); ++i) {
        lblReq[i] = MakeLabel(fraKelReq, Indexed("lblReq", i), kSeparator);
        txtKELCmd[i] = MakeTextBox(fraKelReq, Indexed("txtKELCmd", i), hints[i]);
        row->addWidget(lblReq[i]);
        row->addWidget(txtKELCmd[i], 1);
    }
    cmdSend = MakeButton(fraKelReq, "cmdSend", QStringLiteral("Send"));
    cmdClear = MakeButton(fraKelReq, "cmdClear", QStringLiteral("Clear"));
    row->addWidget(cmdSend);
    row->addWidget(cmdClear);
    return fraKelReq;
}

QGroupBox *frmKELTester::buildReplyPanel(QWidget *parent)
{
    fraKelRep = MakeFrame(parent, "fraKelRep", QStringLiteral("Reply"));
    txtHRESULT = MakeTextBox(fraKelRep, "txtHRESULT", QStringLiteral("HRESULT"));
    txtHRESULT->setText(QStringLiteral("0"));
    lblRep[0] = MakeLabel(fraKelRep, Indexed("lblRep", 0), kSeparator);
    cmbVTType = MakeList(fraKelRep, "cmbVTType", {}, QStringLiteral("VTType"));
    lblRep[1] = MakeLabel(fraKelRep, Indexed("lblRep", 1), kSeparator);
    txtValue = MakeTextBox(fraKelRep, "txtValue", QStringLiteral("Value"));
    lblRep[2] = MakeLabel(fraKelRep, Indexed("lblRep", 2), QStringLiteral("Delay : "));
    txtDelay = MakeTextBox(fraKelRep, "txtDelay");
    txtDelay->setText(QStringLiteral("0"));
    NameByLabel(txtDelay, lblRep[2]);
    cmdSet = MakeButton(fraKelRep, "cmdSet", QStringLiteral("Set"));

    auto *row = new QHBoxLayout(fraKelRep);
    row->addWidget(txtHRESULT, 1);
    row->addWidget(lblRep[0]);
    row->addWidget(cmbVTType);
    row->addWidget(lblRep[1]);
    row->addWidget(txtValue, 2);
    row->addWidget(lblRep[2]);
    row->addWidget(txtDelay, 1);
    row->addWidget(cmdSet);
    return fraKelRep;
}

QGroupBox *frmKELTester::buildPerformancePanel(QWidget *parent)
{
    Frame1 = MakeFrame(parent, "Frame1", QStringLiteral("Performance"));
    auto *row = new QHBoxLayout(Frame1);
    lblRep[3] = MakeLabel(Frame1, Indexed("lblRep", 3), QStringLiteral("Target : "));
    row->addWidget(lblRep[3]);
    const QString hints[std::size(txtVarName)] = {QStringLiteral("PartName"), QStringLiteral("PartNumber"),
                                                   QStringLiteral("SubCommand")};
    for (int i = 0; i < int(std::size(txtVarName)); ++i) {
        if (i > 0) {
            const int label = kFirstVariableLabel + i - 1;
            lblReq[label] = MakeLabel(Frame1, Indexed("lblReq", label), kSeparator);
            row->addWidget(lblReq[label]);
        }
        txtVarName[i] = MakeTextBox(Frame1, Indexed("txtVarName", i), hints[i]);
        row->addWidget(txtVarName[i], 1);
    }
    cmdPerfchk = MakeButton(Frame1, "cmdPerfchk", QStringLiteral("Performance"));
    row->addWidget(cmdPerfchk);
    return Frame1;
}

void frmKELTester::buildMenus()
{
    mnuFile = NameMenu(menuBar()->addMenu(QStringLiteral("&File")), "mnuFile");
    mnuFileConn = MakeAction(mnuFile, "mnuFileConn", QStringLiteral("&Connect"));
    mnuFileDisconn = MakeAction(mnuFile, "mnuFileDisconn", QStringLiteral("&Disconnect"));
    mnuFileSP1 = MakeSeparator(mnuFile, "mnuFileSP1");
    mnuFileExit = MakeAction(mnuFile, "mnuFileExit", QStringLiteral("E&xit"));

    mnuHelp = NameMenu(menuBar()->addMenu(QStringLiteral("&Help")), "mnuHelp");
    mnuHelpVersion = MakeAction(mnuHelp, "mnuHelpVersion", QStringLiteral("&Version"));

    mnuRight = NameMenu(new QMenu(QStringLiteral("RightClick"), this), "mnuRight");
    mnuRightCopy = MakeAction(mnuRight, "mnuRightCopy", QStringLiteral("&Copy"));
    mnuRightCopyAll = MakeAction(mnuRight, "mnuRightCopyAll", QStringLiteral("Copy&All"));
    mnuRightSP1 = MakeSeparator(mnuRight, "mnuRightSP1");
    mnuRightClear = MakeAction(mnuRight, "mnuRightClear", QStringLiteral("Clear &Log"));

    connect(mnuFileConn, &QAction::triggered, this, &frmKELTester::mnuFileConn_Click);
    connect(mnuFileDisconn, &QAction::triggered, this, &frmKELTester::mnuFileDisconn_Click);
    connect(mnuFileExit, &QAction::triggered, this, &frmKELTester::mnuFileExit_Click);
    connect(mnuHelpVersion, &QAction::triggered, this, &frmKELTester::mnuHelpVersion_Click);
    connect(mnuRightCopy, &QAction::triggered, this, &frmKELTester::mnuRightCopy_Click);
    connect(mnuRightCopyAll, &QAction::triggered, this, &frmKELTester::mnuRightCopyAll_Click);
    connect(mnuRightClear, &QAction::triggered, this, &frmKELTester::mnuRightClear_Click);
}

void frmKELTester::setTabOrder()
{
    QList<QWidget *> order{cmbTopCmd};
    for (QLineEdit *field : txtKELCmd)
        order << field;
    order << cmdSend << cmdClear << txtHRESULT << cmbVTType << txtValue << txtDelay << cmdSet
          << chkLog << chkInterp << lstLog << cmdPerfchk;
    for (QLineEdit *field : txtVarName)
        order << field;
    SetTabOrder(order);
}
