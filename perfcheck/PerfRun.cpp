#include "PerfRun.h"

#include "TimeStamp.h"
#include "modAPI.h"

#include <exception>

PerfRun::PerfRun(PerfSteps steps) : m_steps(std::move(steps)) {}

PerfRun::~PerfRun() = default;

qint32 PerfRun::RunCheck(const MivVariant &value, const PerfPlan &plan)
{
    m_plan = plan;
    const modAPI::SYSTEMTIME startTime = modAPI::GetLocalTime();
    const quint32 startTick = modAPI::GetTickCount();
    m_steps.started(TimeStampText(startTime));

    qint32 resultCode = ResultNone;
    switch (plan.pattern) {
    case PatternTime:
        resultCode = RunTimePattern(value, startTick);
        break;
    case PatternCount:
        resultCode = RunCountPattern(value);
        break;
    default:
        resultCode = RunInfinitePattern(value);
        break;
    }

    const modAPI::SYSTEMTIME endTime = modAPI::GetLocalTime();
    const quint32 endTick = modAPI::GetTickCount();
    // Unsigned subtraction is modulo 2^32, so a wrap of the counter keeps the true duration.
    m_steps.finished(resultCode, TimeStampText(endTime), endTick - startTick);
    return resultCode;
}

qint32 PerfRun::RunTimePattern(const MivVariant &value, quint32 startTick)
{
    CycleState state;
    for (;;) {
        const quint32 elapsed = modAPI::GetTickCount() - startTick;
        if (double(elapsed) >= m_plan.limitMs || m_steps.stopRequested())
            break;
        if (!RunCycle(value, state))
            break;
    }
    return state.resultCode;
}

qint32 PerfRun::RunCountPattern(const MivVariant &value)
{
    CycleState state;
    for (qint32 cycle = 1; cycle <= m_plan.count; ++cycle) {
        if (m_steps.stopRequested() || !RunCycle(value, state))
            break;
    }
    return state.resultCode;
}

qint32 PerfRun::RunInfinitePattern(const MivVariant &value)
{
    CycleState state;
    while (!m_steps.stopRequested()) {
        if (!RunCycle(value, state))
            break;
    }
    return state.resultCode;
}

bool PerfRun::StepFailed(CycleState &state) const
{
    state.resultCode = state.step;
    return m_plan.ignoreError;
}

MivConverter &PerfRun::converter()
{
    if (!m_objConverter)
        m_objConverter = std::make_unique<MivConverter>();
    return *m_objConverter;
}

bool PerfRun::RunCycle(const MivVariant &value, CycleState &state)
{
    if (m_plan.mode != ModeRead) {
        state.step = ResultWrite;
        try {
            m_steps.write(value);
        } catch (const std::exception &) {
            if (!StepFailed(state))
                return false;
        }
    }
    if (m_plan.mode != ModeWrite) {
        state.step = ResultRead;
        try {
            state.valueRead = m_steps.read();
        } catch (const std::exception &) {
            if (!StepFailed(state))
                return false;
        }
        if (m_plan.outputDebug) {
            try {
                m_steps.debugText(converter().ValueToText(state.valueRead, 0));
            } catch (const std::exception &) {
                if (!StepFailed(state))
                    return false;
            }
        }
    }
    if (m_plan.dataCheck && m_plan.mode == ModeWriteRead) {
        state.step = ResultCompare;
        bool differ = true;
        try {
            differ = MivVariantsDiffer(state.valueRead, value);
        } catch (const std::exception &) {
            differ = true;
        }
        if (differ && !StepFailed(state))
            return false;
    }
    m_steps.yield();
    return true;
}
