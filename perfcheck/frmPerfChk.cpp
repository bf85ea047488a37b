#include "frmPerfChk.h"

#include "AccessibleName.h"
#include "ArrowUpDown.h"
#include "DigitsOnlyFilter.h"
#include "FocusLeaveGuard.h"
#include "LeadingNumber.h"
#include "MessageBox.h"
#include "TypeLists.h"
#include "VariantTypes.h"
#include "modAPI.h"
#include "modMain.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>

namespace {


template<typename W>
W *named(W *widget, const QString &name)
{
    widget->setObjectName(name);
    NameByCaption(widget);
    return widget;
}

// An option button that stays a Tab stop when another one of its group takes the focus (Qt
// would leave only the focused option of a group in the tab order): every option of this window
// is reached by Tab, and the arrow keys still move within a group.
class TabStopOption : public QRadioButton
{
public:
    using QRadioButton::QRadioButton;

protected:
    void focusInEvent(QFocusEvent *event) override
    {
        QRadioButton::focusInEvent(event);
        const auto options = parentWidget()->findChildren<QRadioButton *>(Qt::FindDirectChildrenOnly);
        for (QRadioButton *option : options)
            option->setFocusPolicy(Qt::StrongFocus);
    }
};

QString indexed(const char *name, int index)
{
    return QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(index);
}

QPushButton *button(QWidget *parent, const char *name, const QString &caption)
{
    auto *b = named(new QPushButton(caption, parent), QLatin1String(name));
    // No default button: Return in a text box starts nothing.
    b->setAutoDefault(false);
    return b;
}

QLineEdit *numberBox(QWidget *parent, const char *name, const QString &text)
{
    auto *box = named(new QLineEdit(text, parent), QLatin1String(name));
    box->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return box;
}

} // namespace

frmPerfChk::frmPerfChk(QWidget *parent) : QDialog(parent)
{
    buildControls();

    modAPI::SetPriorityClass(modAPI::GetCurrentProcess(), modAPI::HIGH_PRIORITY_CLASS);

    auto *digits = new DigitsOnlyFilter(this);
    digits->watch(txtHour);
    digits->watch(txtMinute);
    digits->watch(txtPatternCount);

    FillShortTypeList(cmbValueType);
    optReadWrite_Click(0);
    optPattern_Click(1);
    m_nPattern = 1;
    m_nReadWrite = 0;
}

frmPerfChk::~frmPerfChk()
{
    Form_Unload();
}

void frmPerfChk::buildControls()
{
    setWindowTitle(QStringLiteral("[ Performance Check ]"));
    setFixedSize(500, 332); // 7500 x 4980 twips

    fraPattern = named(new QGroupBox(QStringLiteral("Check Pattern"), this), QStringLiteral("fraPattern"));
    fraPattern->setGeometry(8, 4, 182, 104);
    optPattern[0] = named(new TabStopOption(QStringLiteral("Time(H:M) :"), fraPattern), indexed("optPattern", 0));
    optPattern[0]->setGeometry(8, 22, 96, 20);
    txtHour = numberBox(fraPattern, "txtHour", QStringLiteral("0"));
    txtHour->setGeometry(104, 22, 31, 20);
    lblTimeDelimiter = named(new QLabel(QStringLiteral(":"), fraPattern), QStringLiteral("lblTimeDelimiter"));
    lblTimeDelimiter->setAlignment(Qt::AlignCenter);
    lblTimeDelimiter->setGeometry(135, 22, 8, 20);
    txtMinute = numberBox(fraPattern, "txtMinute", QStringLiteral("1"));
    txtMinute->setGeometry(143, 22, 31, 20);
    optPattern[1] = named(new TabStopOption(QStringLiteral("No. Times :"), fraPattern), indexed("optPattern", 1));
    optPattern[1]->setGeometry(8, 48, 96, 20);
    optPattern[1]->setChecked(true);
    txtPatternCount = numberBox(fraPattern, "txtPatternCount", QStringLiteral("1"));
    txtPatternCount->setGeometry(104, 48, 53, 20);
    udPatternCount = named(new ArrowUpDown(fraPattern), QStringLiteral("udPatternCount"));
    udPatternCount->setRange(1, 65535);
    udPatternCount->setGeometry(157, 48, 17, 20);
    optPattern[2] = named(new TabStopOption(QStringLiteral("Infinite"), fraPattern), indexed("optPattern", 2));
    optPattern[2]->setGeometry(8, 74, 96, 20);

    fraReadWrite = named(new QGroupBox(QStringLiteral("Read / Write"), this), QStringLiteral("fraReadWrite"));
    fraReadWrite->setGeometry(8, 114, 182, 156);
    for (int i = 0; i < 3; ++i) {
        static const char *const captions[] = {"Read", "Write", "Write && Read"};
        optReadWrite[i] = named(new TabStopOption(QLatin1String(captions[i]), fraReadWrite), indexed("optReadWrite", i));
        optReadWrite[i]->setGeometry(8, 20 + 22 * i, 166, 20);
    }
    optReadWrite[0]->setChecked(true);
    chkDataCheck = named(new QCheckBox(QStringLiteral("Check Data"), fraReadWrite), QStringLiteral("chkDataCheck"));
    chkDataCheck->setGeometry(26, 86, 148, 20);
    lblValue = named(new QLabel(QStringLiteral("Value : "), fraReadWrite), QStringLiteral("lblValue"));
    lblValue->setGeometry(8, 108, 46, 22);
    cmbValueType = named(new QComboBox(fraReadWrite), QStringLiteral("cmbValueType"));
    cmbValueType->setGeometry(54, 108, 120, 22);
    txtValue = named(new QLineEdit(fraReadWrite), QStringLiteral("txtValue"));
    txtValue->setGeometry(8, 132, 166, 20);

    cmdStart = button(this, "cmdStart", QStringLiteral("St&art"));
    cmdStart->setGeometry(198, 8, 94, 26);
    cmdStop = button(this, "cmdStop", QStringLiteral("St&op"));
    cmdStop->setGeometry(298, 8, 94, 26);
    cmdStop->setEnabled(false);
    cmdClear = button(this, "cmdClear", QStringLiteral("&Clear"));
    cmdClear->setGeometry(398, 8, 94, 26);
    lblResult = named(new QLabel(QStringLiteral("Result :"), this), QStringLiteral("lblResult"));
    lblResult->setGeometry(198, 40, 100, 18);

    lvResult = named(new QTreeWidget(this), QStringLiteral("lvResult"));
    lvResult->setGeometry(198, 60, 294, 210);
    lvResult->setRootIsDecorated(false);
    lvResult->setUniformRowHeights(true);
    lvResult->setColumnCount(3);
    lvResult->setHeaderLabels({QStringLiteral("Action"), QStringLiteral("Time"),
                               QStringLiteral("Time Required (ms)")});
    lvResult->headerItem()->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
    lvResult->header()->setStretchLastSection(false);
    lvResult->setColumnWidth(0, 60);  // 900 twips
    lvResult->setColumnWidth(1, 120); // 1800 twips
    lvResult->setColumnWidth(2, 113); // 1700 twips

    chkIgnore = named(new QCheckBox(QStringLiteral("Ignore Error"), this), QStringLiteral("chkIgnore"));
    chkIgnore->setGeometry(8, 292, 110, 20);
    chkOutput = named(new QCheckBox(QStringLiteral("OutputDebugString value"), this), QStringLiteral("chkOutput"));
    chkOutput->setGeometry(124, 292, 200, 20);
    cmdExit = button(this, "cmdExit", QStringLiteral("E&xit"));
    cmdExit->setGeometry(398, 290, 94, 26);

    // The number fields follow an option button, not a label, and the value text box stands
    // under the type list that the label names: they are named by what stands before them.
    txtHour->setAccessibleName(QStringLiteral("Hour"));
    txtMinute->setAccessibleName(QStringLiteral("Minute"));
    txtPatternCount->setAccessibleName(QStringLiteral("No. Times"));
    udPatternCount->setAccessibleName(QStringLiteral("No. Times"));
    txtValue->setAccessibleName(QStringLiteral("Value text"));
    NameByLabel(cmbValueType, lblValue);
    NameByLabel(lvResult, lblResult);

    // The design state before Load's rules run.
    for (QWidget *w : std::initializer_list<QWidget *>{txtHour, lblTimeDelimiter, txtMinute, chkDataCheck,
                                                       lblValue, cmbValueType, txtValue})
        w->setEnabled(false);

    const QList<QWidget *> tabOrder = {
        fraPattern, optPattern[0], txtHour, lblTimeDelimiter, txtMinute, optPattern[1],
        txtPatternCount, udPatternCount, optPattern[2], fraReadWrite, optReadWrite[0],
        optReadWrite[1], optReadWrite[2], chkDataCheck, lblValue, cmbValueType, txtValue,
        chkIgnore, chkOutput, cmdStart, cmdStop, cmdClear, lblResult, lvResult, cmdExit};
    for (qsizetype i = 1; i < tabOrder.size(); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);

    for (int i = 0; i < 3; ++i) {
        connect(optPattern[i], &QRadioButton::toggled, this, [this, i](bool on) {
            if (on)
                optPattern_Click(i);
        });
        connect(optReadWrite[i], &QRadioButton::toggled, this, [this, i](bool on) {
            if (on)
                optReadWrite_Click(i);
        });
    }
    connect(cmbValueType, &QComboBox::currentIndexChanged, this, &frmPerfChk::cmbValueType_Click);
    connect(udPatternCount, &QSpinBox::valueChanged, this, &frmPerfChk::udPatternCount_Change);
    connect(cmdStart, &QPushButton::clicked, this, &frmPerfChk::cmdStart_Click);
    connect(cmdStop, &QPushButton::clicked, this, &frmPerfChk::cmdStop_Click);
    connect(cmdClear, &QPushButton::clicked, this, &frmPerfChk::cmdClear_Click);
    connect(cmdExit, &QPushButton::clicked, this, &frmPerfChk::cmdExit_Click);

    m_guard = new FocusLeaveGuard(this);
    m_guard->addField(txtHour, [this] { return txtHour_Validate(); });
    m_guard->addField(txtMinute, [this] { return txtMinute_Validate(); });
    m_guard->addField(txtPatternCount, [this] { return txtPatternCount_Validate(); });
}

void frmPerfChk::optPattern_Click(int index)
{
    m_nPattern = qint16(index);
    const bool time = optPattern[0]->isChecked();
    txtHour->setEnabled(time);
    txtMinute->setEnabled(time);
    lblTimeDelimiter->setEnabled(time);
    const bool count = optPattern[1]->isChecked();
    txtPatternCount->setEnabled(count);
    udPatternCount->setEnabled(count);
}

void frmPerfChk::optReadWrite_Click(int index)
{
    m_nReadWrite = qint16(index);
    const bool writes = index != 0;
    lblValue->setEnabled(writes);
    cmbValueType->setEnabled(writes);
    txtValue->setEnabled(writes);
    cmdStart->setEnabled(!writes || cmbValueType->currentIndex() != kShortUnknownIndex);
    chkDataCheck->setEnabled(index == 2);
}

void frmPerfChk::cmbValueType_Click()
{
    const int k = cmbValueType->currentIndex();
    SetCtlEditable(txtValue, k != 0 && k != 1 && k != kShortUnknownIndex);
    SetCtlEditable(cmdStart, k != kShortUnknownIndex);
}

void frmPerfChk::EnableSettings(bool enable)
{
    fraPattern->setEnabled(enable);
    for (QRadioButton *opt : optPattern)
        opt->setEnabled(enable);
    const bool time = enable && m_nPattern == 0;
    txtHour->setEnabled(time);
    txtMinute->setEnabled(time);
    lblTimeDelimiter->setEnabled(time);
    const bool count = enable && m_nPattern == 1;
    txtPatternCount->setEnabled(count);
    udPatternCount->setEnabled(count);
    fraReadWrite->setEnabled(enable);
    for (QRadioButton *opt : optReadWrite)
        opt->setEnabled(enable);
    const bool writes = enable && m_nReadWrite != 0;
    lblValue->setEnabled(writes);
    cmbValueType->setEnabled(writes);
    txtValue->setEnabled(writes);
    chkDataCheck->setEnabled(enable && m_nReadWrite == 2);
    chkIgnore->setEnabled(enable);
    chkOutput->setEnabled(enable);
    cmdClear->setEnabled(enable);
    cmdExit->setEnabled(enable);
    cmdStart->setEnabled(enable);
    cmdStop->setEnabled(!enable);
}

bool frmPerfChk::ValidateRange(QLineEdit *field, qint32 low, qint32 high, const QString &message)
{
    QString text = field->text();
    const bool number = IsNumberText(text); // rewrites the text as a whole number
    const qint32 value = number ? LeadingLong(text) : 0;
    if (!number || value < low || value > high) {
        ShowMessageBox(this, message);
        field->setFocus();
        SelectAllText(field);
        return false;
    }
    if (field == txtPatternCount)
        udPatternCount->setValue(value);
    field->setText(text);
    return true;
}

bool frmPerfChk::txtHour_Validate()
{
    return ValidateRange(txtHour, 0, 500, QStringLiteral("Input the integer of 0 to 500 into the hour."));
}

bool frmPerfChk::txtMinute_Validate()
{
    return ValidateRange(txtMinute, 0, 59, QStringLiteral("Input the integer of 0 to 59 into the minute."));
}

bool frmPerfChk::txtPatternCount_Validate()
{
    return ValidateRange(txtPatternCount, 1, 65535,
                         QStringLiteral("Input the integer of 1 to 65535 into the number of times."));
}

void frmPerfChk::udPatternCount_Change()
{
    const QString text = txtPatternCount->text();
    if (text.isEmpty()) {
        txtPatternCount->setText(QStringLiteral("1"));
        return;
    }
    const double number = LeadingNumber(text);
    if (number > udPatternCount->maximum())
        txtPatternCount->setText(QString::number(udPatternCount->maximum()));
    else if (number != udPatternCount->value())
        txtPatternCount->setText(QString::number(udPatternCount->value()));
}

void frmPerfChk::cmdStop_Click()
{
    m_bStop = true;
}

void frmPerfChk::cmdClear_Click()
{
    lvResult->clear();
}

void frmPerfChk::cmdExit_Click()
{
    close();
}

void frmPerfChk::done(int result)
{
    Form_Unload();
    QDialog::done(result);
}

void frmPerfChk::keyPressEvent(QKeyEvent *event)
{
    // The window has no cancel button: Escape closes nothing.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void frmPerfChk::Form_Unload()
{
    if (m_bUnloaded)
        return;
    m_bUnloaded = true;
    modAPI::SetPriorityClass(modAPI::GetCurrentProcess(), modAPI::NORMAL_PRIORITY_CLASS);
    m_bStop = true;
    m_mivVar = nullptr;
}
