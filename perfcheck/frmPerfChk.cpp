#include "frmPerfChk.h"

#include "DigitsOnlyFilter.h"
#include "FieldRange.h"
#include "FocusLeaveGuard.h"
#include "LeadingNumber.h"
#include "MessageBox.h"
#include "MivError.h"
#include "MivVariable.h"
#include "PerfRun.h"
#include "PerfStatistics.h"
#include "PerfStatsPanel.h"
#include "TimeStamp.h"
#include "TypeLists.h"
#include "VariantTypes.h"
#include "modAPI.h"
#include "modMain.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEventLoop>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimer>
#include <QTreeWidget>

#include <cmath>

namespace {

// Restores the pointer however the Start handler is left.
struct BusyPointer
{
    BusyPointer() { QApplication::setOverrideCursor(Qt::BusyCursor); }
    ~BusyPointer() { QApplication::restoreOverrideCursor(); }
    BusyPointer(const BusyPointer &) = delete;
    BusyPointer &operator=(const BusyPointer &) = delete;
};

constexpr double kMsPerHour = 3600000.0;
constexpr double kMsPerMinute = 60000.0;
constexpr int kTypeEmpty = 0;
constexpr int kTypeNull = 1;
constexpr int kOutagePauseMs = 50; // between the failed cycles while the line is away

} // namespace

frmPerfChk::frmPerfChk(QWidget *parent) : QDialog(parent)
{
    buildControls();
    connectHandlers();

    modAPI::SetPriorityClass(modAPI::GetCurrentProcess(), modAPI::HIGH_PRIORITY_CLASS);

    auto *digits = new DigitsOnlyFilter(this);
    digits->watch(txtHour);
    digits->watch(txtMinute);
    digits->watch(txtPatternCount);

    FillShortTypeList(cmbValueType);
    optReadWrite_Click(ModeRead);
    optPattern_Click(PatternCount);
    m_nPattern = PatternCount;
    m_nReadWrite = ModeRead;

    m_statistics = std::make_unique<PerfStatistics>();
    PerfTarget &target = *this;
    PerfObserver &observer = *this;
    m_run = std::make_unique<PerfRun>(target, observer, m_statistics.get());
}

void frmPerfChk::write(const MivVariant &value)
{
    variable().setValue(value);
}

MivVariant frmPerfChk::read()
{
    return variable().Value();
}

void frmPerfChk::runStarted(const modAPI::SYSTEMTIME &start)
{
    m_outages.begin(PerfOutages::Clock::now());
    m_current.startStamp = IsoTimeStampText(start);
    AddStartRow(TimeStampText(start));
    m_endRow = AddEndRow();
}

void frmPerfChk::runEnded(qint32 result, const modAPI::SYSTEMTIME &end, quint32 elapsedMs)
{
    m_outages.end(PerfOutages::Clock::now());
    FinishRun(result, end, elapsedMs);
}

bool frmPerfChk::stopRequested()
{
    return m_bStop;
}

void frmPerfChk::yield()
{
    // While the line is away every request fails at once: a cycle then waits for the events
    // that bring it back instead of spinning through failures at high priority.
    if (!m_outages.isAway()) {
        QCoreApplication::processEvents();
        return;
    }
    QEventLoop pause;
    QTimer::singleShot(kOutagePauseMs, &pause, &QEventLoop::quit);
    pause.exec();
}

void frmPerfChk::debugText(const QString &text)
{
    WriteDebugLine(text);
}

void frmPerfChk::progress()
{
    ShowProgress();
}

void frmPerfChk::failed(const QString &reason)
{
    // Every request fails while the line is away: the first says why, the outage the rest.
    if (m_outages.tellFailure())
        emit stepFailed(reason);
}

bool frmPerfChk::lineAway()
{
    if (!m_lineAway || !m_lineAway())
        return false;
    lineLost(); // maybe before the loss reaches the window: the failure is its first sign
    return true;
}

void frmPerfChk::lineLost()
{
    m_outages.lost(PerfOutages::Clock::now());
}

void frmPerfChk::lineBack()
{
    m_outages.back(PerfOutages::Clock::now());
}

frmPerfChk::~frmPerfChk()
{
    Form_Unload();
}

void frmPerfChk::connectHandlers()
{
    for (int i = 0; i < int(std::size(optPattern)); ++i) {
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
    connect(cmdExport, &QPushButton::clicked, this, &frmPerfChk::cmdExport_Click);

    m_guard = new FocusLeaveGuard(this);
    m_guard->addField(txtHour, [this] { return txtHour_Validate(); });
    m_guard->addField(txtMinute, [this] { return txtMinute_Validate(); });
    m_guard->addField(txtPatternCount, [this] { return txtPatternCount_Validate(); });
}

void frmPerfChk::optPattern_Click(int index)
{
    m_nPattern = qint16(index);
    const bool time = optPattern[PatternTime]->isChecked();
    txtHour->setEnabled(time);
    txtMinute->setEnabled(time);
    lblTimeDelimiter->setEnabled(time);
    const bool count = optPattern[PatternCount]->isChecked();
    txtPatternCount->setEnabled(count);
    udPatternCount->setEnabled(count);
}

void frmPerfChk::optReadWrite_Click(int index)
{
    m_nReadWrite = qint16(index);
    const bool writes = index != ModeRead;
    lblValue->setEnabled(writes);
    cmbValueType->setEnabled(writes);
    txtValue->setEnabled(writes);
    cmdStart->setEnabled(!writes || cmbValueType->currentIndex() != kShortUnknownIndex);
    chkDataCheck->setEnabled(index == ModeWriteRead);
}

void frmPerfChk::cmbValueType_Click()
{
    const int k = cmbValueType->currentIndex();
    SetCtlEditable(txtValue, k != kTypeEmpty && k != kTypeNull && k != kShortUnknownIndex);
    SetCtlEditable(cmdStart, k != kShortUnknownIndex);
}

void frmPerfChk::EnableSettings(bool enable)
{
    fraPattern->setEnabled(enable);
    for (QRadioButton *opt : optPattern)
        opt->setEnabled(enable);
    const bool time = enable && m_nPattern == PatternTime;
    txtHour->setEnabled(time);
    txtMinute->setEnabled(time);
    lblTimeDelimiter->setEnabled(time);
    const bool count = enable && m_nPattern == PatternCount;
    txtPatternCount->setEnabled(count);
    udPatternCount->setEnabled(count);
    fraReadWrite->setEnabled(enable);
    for (QRadioButton *opt : optReadWrite)
        opt->setEnabled(enable);
    const bool writes = enable && m_nReadWrite != ModeRead;
    lblValue->setEnabled(writes);
    cmbValueType->setEnabled(writes);
    txtValue->setEnabled(writes);
    chkDataCheck->setEnabled(enable && m_nReadWrite == ModeWriteRead);
    chkIgnore->setEnabled(enable);
    chkOutput->setEnabled(enable);
    cmdClear->setEnabled(enable);
    cmdExit->setEnabled(enable);
    cmdStart->setEnabled(enable);
    cmdStop->setEnabled(!enable);
    cmdExport->setEnabled(enable);
}

bool frmPerfChk::ValidateRange(QLineEdit *field, const FieldRange &range)
{
    QString text = field->text();
    const bool number = IsNumberText(text); // rewrites the text as a whole number
    const qint32 value = number ? LeadingInt32(text) : 0;
    if (!number || value < range.low || value > range.high) {
        ShowMessageBox(this, QString::fromLatin1(range.message));
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
    return ValidateRange(txtHour, kHourRange);
}

bool frmPerfChk::txtMinute_Validate()
{
    return ValidateRange(txtMinute, kMinuteRange);
}

bool frmPerfChk::txtPatternCount_Validate()
{
    return ValidateRange(txtPatternCount, kCountRange);
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

PerfPlan frmPerfChk::ReadPlan() const
{
    PerfPlan plan;
    plan.pattern = PerfPattern(m_nPattern);
    plan.mode = PerfMode(m_nReadWrite);
    plan.limitMs = std::nearbyint(LeadingNumber(txtHour->text()) * kMsPerHour
                                  + LeadingNumber(txtMinute->text()) * kMsPerMinute);
    if (m_nPattern == PatternCount)
        plan.count = LeadingInt32(txtPatternCount->text());
    plan.dataCheck = chkDataCheck->isChecked();
    plan.ignoreError = chkIgnore->isChecked();
    plan.outputDebug = chkOutput->isChecked();
    return plan;
}

MivVariable &frmPerfChk::variable() const
{
    // A variable forgotten by closing the window fails its step like an engine error would.
    if (!m_mivVar)
        throw MivError(MivCode::Fail, QStringLiteral("The variable has been released."));
    return *m_mivVar;
}

void frmPerfChk::cmdStart_Click()
{
    if (m_bRunning)
        return;
    m_bRunning = true;
    {
        BusyPointer busy;
        try {
            EnableSettings(false);
            MivVariant value;
            if (m_nReadWrite != ModeRead)
                value = MakeValue(txtValue->text(), cmbValueType->currentIndex());
            m_bStop = false;
            const PerfPlan plan = ReadPlan();
            m_current = PerfRunReport();
            m_current.target = m_mivVar ? m_mivVar->Name() : QString();
            m_current.pattern = plan.pattern;
            m_current.mode = plan.mode;
            m_statsPanel->setTarget(m_current.target);
            m_run->RunCheck(value, plan);
        } catch (const MivError &error) {
            ShowMessageBox(this, error.description());
        }
        EnableSettings(true);
    }
    m_bRunning = false;
}

void frmPerfChk::cmdStop_Click()
{
    m_bStop = true;
}

void frmPerfChk::cmdClear_Click()
{
    lvResult->clear();
    m_reports.clear(); // the panel and the plot keep the last run
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
