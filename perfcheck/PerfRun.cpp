#include "frmPerfChk.h"

#include "LeadingNumber.h"
#include "MessageBox.h"
#include "MivError.h"
#include "MivVariable.h"
#include "TimeStamp.h"
#include "VariantTypes.h"
#include "modAPI.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

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

} // namespace

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
            if (m_nReadWrite != 0)
                value = MakeValue(txtValue->text(), cmbValueType->currentIndex());
            m_bStop = false;
            RunCheck(value, m_nPattern);
        } catch (const MivError &error) {
            ShowMessageBox(this, error.description());
        }
        EnableSettings(true);
    }
    m_bRunning = false;
}

void frmPerfChk::RunCheck(const MivVariant &value, qint16 pattern)
{
    const modAPI::SYSTEMTIME startTime = modAPI::GetLocalTime();
    const quint32 startTick = modAPI::GetTickCount();
    AddStartRow(TimeStampText(startTime));
    QTreeWidgetItem *endRow = AddEndRow();
    m_bIgnoreError = chkIgnore->isChecked();
    m_bOutputDebug = chkOutput->isChecked();

    qint32 resultCode = 0;
    switch (pattern) {
    case 0:
        resultCode = RunTimePattern(value, startTick);
        break;
    case 1:
        resultCode = RunCountPattern(value);
        break;
    default:
        resultCode = RunInfinitePattern(value);
        break;
    }

    const modAPI::SYSTEMTIME endTime = modAPI::GetLocalTime();
    const quint32 endTick = modAPI::GetTickCount();
    // Unsigned subtraction is modulo 2^32, so a wrap of the counter keeps the true duration.
    FillEndRow(endRow, resultCode, TimeStampText(endTime), endTick - startTick);
}

qint32 frmPerfChk::RunTimePattern(const MivVariant &value, quint32 startTick)
{
    RunState state;
    const double limit = std::nearbyint(LeadingNumber(txtHour->text()) * 3600000.0
                                        + LeadingNumber(txtMinute->text()) * 60000.0);
    state.dataCheck = chkDataCheck->isChecked();
    for (;;) {
        const quint32 elapsed = modAPI::GetTickCount() - startTick;
        if (double(elapsed) >= limit || m_bStop)
            break;
        if (!RunCycle(value, state))
            break;
    }
    return state.resultCode;
}

qint32 frmPerfChk::RunCountPattern(const MivVariant &value)
{
    RunState state;
    state.dataCheck = chkDataCheck->isChecked();
    const qint32 count = LeadingLong(txtPatternCount->text());
    for (qint32 cycle = 1; cycle <= count; ++cycle) {
        if (m_bStop || !RunCycle(value, state))
            break;
    }
    return state.resultCode;
}

qint32 frmPerfChk::RunInfinitePattern(const MivVariant &value)
{
    RunState state;
    state.dataCheck = chkDataCheck->isChecked();
    while (!m_bStop) {
        if (!RunCycle(value, state))
            break;
    }
    return state.resultCode;
}

bool frmPerfChk::StepFailed(RunState &state)
{
    state.resultCode = state.step;
    return m_bIgnoreError;
}

MivConverter &frmPerfChk::converter()
{
    if (!m_objConverter)
        m_objConverter = std::make_unique<MivConverter>();
    return *m_objConverter;
}

bool frmPerfChk::RunCycle(const MivVariant &value, RunState &state)
{
    // A variable forgotten by closing the window fails its step like an engine error would.
    const auto variable = [this]() -> MivVariable & {
        if (!m_mivVar)
            throw MivError(MivCode::Fail, QStringLiteral("The variable has been released."));
        return *m_mivVar;
    };

    if (m_nReadWrite != 0) {
        state.step = 1;
        try {
            variable().setValue(value);
        } catch (const std::exception &) {
            if (!StepFailed(state))
                return false;
        }
    }
    if (m_nReadWrite != 1) {
        state.step = 2;
        try {
            state.valueRead = variable().Value();
        } catch (const std::exception &) {
            if (!StepFailed(state))
                return false;
        }
        if (m_bOutputDebug) {
            try {
                WriteDebugLine(converter().ValueToText(state.valueRead, 0));
            } catch (const std::exception &) {
                if (!StepFailed(state))
                    return false;
            }
        }
    }
    if (state.dataCheck && m_nReadWrite == 2) {
        state.step = 3;
        bool differ = true;
        try {
            differ = MivVariantsDiffer(state.valueRead, value);
        } catch (const std::exception &) {
            differ = true;
        }
        if (differ && !StepFailed(state))
            return false;
    }
    QCoreApplication::processEvents();
    return true;
}
