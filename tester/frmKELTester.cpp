#include "frmKELTester.h"

#include "AccessibleName.h"
#include "FocusLeaveGuard.h"
#include "LogDelegate.h"
#include "LogModel.h"
#include "MessageBox.h"
#include "MivController.h"
#include "TypeLists.h"
#include "modMain.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTime>
#include <QTimer>
#include <QVBoxLayout>
#include <QVersionNumber>

namespace {

QString indexed(const char *name, int index)
{
    return QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(index);
}

QLabel *makeLabel(const QString &name, const QString &caption, QWidget *parent)
{
    auto *label = new QLabel(caption, parent);
    label->setObjectName(name);
    NameByCaption(label);
    return label;
}

QLineEdit *makeText(const QString &name, const QString &hint, QWidget *parent)
{
    auto *text = new QLineEdit(parent);
    text->setObjectName(name);
    SetHint(text, hint);
    return text;
}

QPushButton *makeButton(const char *name, const QString &caption, QWidget *parent)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setAutoDefault(false);
    NameByCaption(button);
    return button;
}

QGroupBox *makeFrame(const char *name, const QString &caption, QWidget *parent)
{
    auto *frame = new QGroupBox(caption, parent);
    frame->setObjectName(QLatin1String(name));
    NameByCaption(frame);
    return frame;
}

QCheckBox *makeCheck(const char *name, const QString &caption, QWidget *parent)
{
    auto *box = new QCheckBox(caption, parent);
    box->setObjectName(QLatin1String(name));
    NameByCaption(box);
    return box;
}

QComboBox *makeList(const char *name, const QString &hint, QWidget *parent)
{
    auto *list = new QComboBox(parent);
    list->setObjectName(QLatin1String(name));
    SetHint(list, hint);
    return list;
}

QMenu *makeMenu(const char *name, QMenu *menu)
{
    menu->setObjectName(QLatin1String(name));
    NameByCaption(menu);
    return menu;
}

QAction *makeAction(QMenu *menu, const char *name, const QString &caption)
{
    QAction *action = menu->addAction(caption);
    action->setObjectName(QLatin1String(name));
    return action;
}

QAction *makeSeparator(QMenu *menu, const char *name)
{
    QAction *action = menu->addSeparator();
    action->setObjectName(QLatin1String(name));
    return action;
}

} // namespace

frmKELTester::frmKELTester(QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("frmKELTester"));
    setWindowTitle(QStringLiteral("KELTester"));
    buildControls();
    buildMenus();
    setTabOrder();

    m_guard = new FocusLeaveGuard(this);
    m_guard->addField(txtDelay, [this] { return txtDelay_Validate(); });
    m_guard->addField(txtHRESULT, [this] { return txtHRESULT_Validate(); });

    m_clock = new QTimer(this);
    m_clock->setInterval(1000);
    connect(m_clock, &QTimer::timeout, this, &frmKELTester::updateClock);
    updateClock();
    m_clock->start();

    InitWindow();
}

frmKELTester::~frmKELTester()
{
    setMivCtrl(nullptr);
}

void frmKELTester::buildControls()
{
    auto *central = new QWidget(this);
    setCentralWidget(central);
    auto *column = new QVBoxLayout(central);

    fraKelReq = makeFrame("fraKelReq", QStringLiteral("Request"), central);
    auto *request = new QHBoxLayout(fraKelReq);
    cmbTopCmd = makeList("cmbTopCmd", QStringLiteral("TopCommand"), fraKelReq);
    cmbTopCmd->addItems({QStringLiteral("START"), QStringLiteral("STOP"), QStringLiteral("PUT"),
                         QStringLiteral("GET")});
    request->addWidget(cmbTopCmd);
    const QString requestHints[4] = {QStringLiteral("PartName"), QStringLiteral("PartNumber"),
                                     QStringLiteral("SubCommand"), QStringLiteral("Parameter")};
    for (int i = 0; i < 4; ++i) {
        lblReq[i] = makeLabel(indexed("lblReq", i), QStringLiteral(":"), fraKelReq);
        txtKELCmd[i] = makeText(indexed("txtKELCmd", i), requestHints[i], fraKelReq);
        request->addWidget(lblReq[i]);
        request->addWidget(txtKELCmd[i], 1);
    }
    cmdSend = makeButton("cmdSend", QStringLiteral("Send"), fraKelReq);
    cmdClear = makeButton("cmdClear", QStringLiteral("Clear"), fraKelReq);
    request->addWidget(cmdSend);
    request->addWidget(cmdClear);
    column->addWidget(fraKelReq);

    fraKelRep = makeFrame("fraKelRep", QStringLiteral("Reply"), central);
    auto *reply = new QHBoxLayout(fraKelRep);
    txtHRESULT = makeText(QStringLiteral("txtHRESULT"), QStringLiteral("HRESULT"), fraKelRep);
    txtHRESULT->setText(QStringLiteral("0"));
    lblRep[0] = makeLabel(indexed("lblRep", 0), QStringLiteral(":"), fraKelRep);
    cmbVTType = makeList("cmbVTType", QStringLiteral("VTType"), fraKelRep);
    lblRep[1] = makeLabel(indexed("lblRep", 1), QStringLiteral(":"), fraKelRep);
    txtValue = makeText(QStringLiteral("txtValue"), QStringLiteral("Value"), fraKelRep);
    lblRep[2] = makeLabel(indexed("lblRep", 2), QStringLiteral("Delay : "), fraKelRep);
    txtDelay = new QLineEdit(QStringLiteral("0"), fraKelRep);
    txtDelay->setObjectName(QStringLiteral("txtDelay"));
    NameByLabel(txtDelay, lblRep[2]);
    cmdSet = makeButton("cmdSet", QStringLiteral("Set"), fraKelRep);
    reply->addWidget(txtHRESULT, 1);
    reply->addWidget(lblRep[0]);
    reply->addWidget(cmbVTType);
    reply->addWidget(lblRep[1]);
    reply->addWidget(txtValue, 2);
    reply->addWidget(lblRep[2]);
    reply->addWidget(txtDelay, 1);
    reply->addWidget(cmdSet);
    column->addWidget(fraKelRep);

    Frame1 = makeFrame("Frame1", QStringLiteral("Performance"), central);
    auto *performance = new QHBoxLayout(Frame1);
    lblRep[3] = makeLabel(indexed("lblRep", 3), QStringLiteral("Target : "), Frame1);
    performance->addWidget(lblRep[3]);
    const QString variableHints[3] = {QStringLiteral("PartName"), QStringLiteral("PartNumber"),
                                      QStringLiteral("SubCommand")};
    for (int i = 0; i < 3; ++i) {
        if (i > 0) {
            const int label = 5 + i; // lblReq(6), lblReq(7)
            lblReq[label] = makeLabel(indexed("lblReq", label), QStringLiteral(":"), Frame1);
            performance->addWidget(lblReq[label]);
        }
        txtVarName[i] = makeText(indexed("txtVarName", i), variableHints[i], Frame1);
        performance->addWidget(txtVarName[i], 1);
    }
    cmdPerfchk = makeButton("cmdPerfchk", QStringLiteral("Performance"), Frame1);
    performance->addWidget(cmdPerfchk);
    column->addWidget(Frame1);

    auto *switches = new QHBoxLayout;
    chkLog = makeCheck("chkLog", QStringLiteral("Log"), central);
    chkInterp = makeCheck("chkInterp", QStringLiteral("Interpret"), central);
    chkLog->setChecked(true);
    chkInterp->setChecked(true);
    switches->addWidget(chkLog);
    switches->addWidget(chkInterp);
    switches->addStretch(1);
    column->addLayout(switches);

    m_logModel = new LogModel(this);
    lstLog = new QListView(central);
    lstLog->setObjectName(QStringLiteral("lstLog"));
    lstLog->setAccessibleName(QStringLiteral("Log list")); // no caption, hint or label of its own
    lstLog->setModel(m_logModel);
    lstLog->setItemDelegate(new LogDelegate(lstLog));
    lstLog->setUniformItemSizes(true);
    lstLog->setSelectionMode(QAbstractItemView::SingleSelection);
    lstLog->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstLog->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    lstLog->installEventFilter(this);
    lstLog->viewport()->installEventFilter(this);
    column->addWidget(lstLog, 1);

    stbMain = new QStatusBar(this);
    stbMain->setObjectName(QStringLiteral("stbMain"));
    stbMain->setSizeGripEnabled(true);
    stbMainText = new QLabel(stbMain);
    stbMainText->setObjectName(QStringLiteral("stbMainText"));
    stbMainClock = new QLabel(stbMain);
    stbMainClock->setObjectName(QStringLiteral("stbMainClock"));
    stbMain->addWidget(stbMainText, 1);
    stbMain->addPermanentWidget(stbMainClock);
    setStatusBar(stbMain);

    connect(cmdSend, &QPushButton::clicked, this, &frmKELTester::cmdSend_Click);
    connect(cmdClear, &QPushButton::clicked, this, &frmKELTester::cmdClear_Click);
    connect(cmdSet, &QPushButton::clicked, this, &frmKELTester::cmdSetButton_Click);
    connect(cmdPerfchk, &QPushButton::clicked, this, &frmKELTester::cmdPerfchk_Click);
    connect(cmbVTType, &QComboBox::currentIndexChanged, this, &frmKELTester::cmbVTType_Click);

    resize(760, 520);
}

void frmKELTester::buildMenus()
{
    mnuFile = makeMenu("mnuFile", menuBar()->addMenu(QStringLiteral("&File")));
    mnuFileConn = makeAction(mnuFile, "mnuFileConn", QStringLiteral("&Connect"));
    mnuFileDisconn = makeAction(mnuFile, "mnuFileDisconn", QStringLiteral("&Disconnect"));
    mnuFileSP1 = makeSeparator(mnuFile, "mnuFileSP1");
    mnuFileExit = makeAction(mnuFile, "mnuFileExit", QStringLiteral("E&xit"));

    mnuHelp = makeMenu("mnuHelp", menuBar()->addMenu(QStringLiteral("&Help")));
    mnuHelpVersion = makeAction(mnuHelp, "mnuHelpVersion", QStringLiteral("&Version"));

    mnuRight = makeMenu("mnuRight", new QMenu(QStringLiteral("RightClick"), this));
    mnuRightCopy = makeAction(mnuRight, "mnuRightCopy", QStringLiteral("&Copy"));
    mnuRightCopyAll = makeAction(mnuRight, "mnuRightCopyAll", QStringLiteral("Copy&All"));
    mnuRightSP1 = makeSeparator(mnuRight, "mnuRightSP1");
    mnuRightClear = makeAction(mnuRight, "mnuRightClear", QStringLiteral("Clear &Log"));

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
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

void frmKELTester::InitWindow()
{
    FillVTTypeList(cmbVTType);
    cmbVTType->setCurrentIndex(0);
    cmbVTType_Click(); // same index: Qt emits nothing, the rule must still run
    mnuFileConn->setEnabled(true);
    mnuFileDisconn->setEnabled(false);
    setWindowTitle(QStringLiteral("KELTester - (No Connection)"));
    cmbTopCmd->setCurrentIndex(0);
    for (QLineEdit *field : txtKELCmd)
        field->clear();
    txtHRESULT->setText(QStringLiteral("0"));
    txtValue->clear();
    m_strAutoReply.clear();
    RemoveController();
    EnableRequest(false);
    EnableReply(false);
    EnablePerformance(false);
    SetStatus(QStringLiteral("Ready."));
}

MivController *frmKELTester::mivCtrl() const
{
    return m_mivCtrl.data();
}

void frmKELTester::setMivCtrl(MivController *controller)
{
    if (m_mivCtrl == controller)
        return;
    if (m_mivCtrl)
        disconnect(m_mivCtrl.data(), &MivController::OnMessage, this,
                   &frmKELTester::m_mivCtrl_OnMessage);
    m_mivCtrl = controller;
    if (controller)
        connect(controller, &MivController::OnMessage, this, &frmKELTester::m_mivCtrl_OnMessage);
}

void frmKELTester::EnableRequest(bool on)
{
    SetCtlEnabled(cmbTopCmd, on);
    for (QLineEdit *field : txtKELCmd)
        SetCtlEnabled(field, on);
    SetCtlEnabled(cmdSend, on);
    SetCtlEnabled(cmdClear, on);
}

void frmKELTester::EnableReply(bool on)
{
    SetCtlEnabled(txtHRESULT, on);
    SetCtlEnabled(cmbVTType, on);
    SetCtlEnabled(txtValue, on);
    SetCtlEnabled(txtDelay, on);
    SetCtlEnabled(cmdSet, on);
    if (on)
        cmbVTType_Click();
}

void frmKELTester::EnablePerformance(bool on)
{
    for (QLineEdit *field : txtVarName)
        SetCtlEnabled(field, on);
    SetCtlEnabled(cmdPerfchk, on);
}

void frmKELTester::SetStatus(const QString &text)
{
    if (!chkLog->isChecked())
        return;
    stbMainText->setText(text);
}

QString frmKELTester::statusText() const
{
    return stbMainText->text();
}

void frmKELTester::updateClock()
{
    stbMainClock->setText(QTime::currentTime().toString(QStringLiteral("HH:mm:ss")));
}

void frmKELTester::mnuFileExit_Click()
{
    close();
}

void frmKELTester::mnuHelpVersion_Click()
{
    const QString base = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    const QVersionNumber version = QVersionNumber::fromString(QCoreApplication::applicationVersion());
    const QString text = QStringLiteral("%1 version %2.%3.%4")
                             .arg(base)
                             .arg(version.majorVersion())
                             .arg(version.minorVersion())
                             .arg(version.microVersion());
    ShowMessageBox(this, text);
}

void frmKELTester::reportFailure(const QString &caption, const QString &description)
{
    AddLog(caption, QStringLiteral("Failed"));
    ShowMessageBox(this, description);
    SetStatus(QStringLiteral("Ready."));
}
