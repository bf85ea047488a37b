#include "PerfRun.h"

#include "MivError.h"
#include "TimeStamp.h"
#include "modAPI.h"

#include <exception>

using Clock = PerfStatistics::Clock;

namespace {

QString Reason(const std::exception &error)
{
    if (const auto *engine = dynamic_cast<const MivError *>(&error))
        return engine->description();
    return QString::fromUtf8(error.what());
}

} // namespace

PerfRun::PerfRun(PerfTarget &target, PerfObserver &observer, PerfStatistics *statistics)
    : m_target(target), m_observer(observer), m_statistics(statistics)
{
}

PerfRun::~PerfRun() = default;

qint32 PerfRun::RunCheck(const MivVariant &value, const PerfPlan &plan)
{
    m_plan = plan;
    const modAPI::SYSTEMTIME startTime = modAPI::GetLocalTime();
    const quint32 startTick = modAPI::GetTickCount();
    m_observer.runStarted(startTime);
    if (m_statistics) {
        const Clock::time_point now = Clock::now();
        m_statistics->begin(now);
        m_nextProgress = now; // the first cycle shows at once that a new run is under way
    }

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

    if (m_statistics)
        m_statistics->end(Clock::now());
    const modAPI::SYSTEMTIME endTime = modAPI::GetLocalTime();
    const quint32 endTick = modAPI::GetTickCount();
    // Unsigned subtraction is modulo 2^32, so a wrap of the counter keeps the true duration.
    m_observer.runEnded(resultCode, endTime, endTick - startTick);
    return resultCode;
}

qint32 PerfRun::RunTimePattern(const MivVariant &value, quint32 startTick)
{
    CycleState state;
    for (;;) {
        const quint32 elapsed = modAPI::GetTickCount() - startTick;
        if (double(elapsed) >= m_plan.limitMs || m_observer.stopRequested())
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
        if (m_observer.stopRequested() || !RunCycle(value, state))
            break;
    }
    return state.resultCode;
}

qint32 PerfRun::RunInfinitePattern(const MivVariant &value)
{
    CycleState state;
    while (!m_observer.stopRequested()) {
        if (!RunCycle(value, state))
            break;
    }
    return state.resultCode;
}

bool PerfRun::StepFailed(CycleState &state, const QString &reason)
{
    if (!m_plan.ignoreError || !m_observer.lineAway())
        state.resultCode = state.step;
    if (m_statistics)
        m_statistics->countError();
    m_observer.failed(reason);
    return m_plan.ignoreError;
}

MivConverter &PerfRun::converter()
{
    if (!m_objConverter)
        m_objConverter = std::make_unique<MivConverter>();
    return *m_objConverter;
}

// Times the call into the statistics, whether it returns or throws.
template<typename Call>
void PerfRun::Timed(PerfOp op, Call &&call)
{
    if (!m_statistics) {
        call();
        return;
    }
    struct Record
    {
        PerfRun &run;
        PerfOp op;
        Clock::time_point from = Clock::now();
        ~Record()
        {
            run.m_lastCallEnd = Clock::now();
            run.m_statistics->record(op, from, run.m_lastCallEnd);
        }
    } record{*this, op};
    call();
}

// The clock was read at the end of the latest call: deciding costs no further reading.
void PerfRun::ReportProgress()
{
    if (!m_statistics || m_lastCallEnd < m_nextProgress)
        return;
    m_nextProgress = m_lastCallEnd + kProgressInterval;
    m_observer.progress();
}

bool PerfRun::RunCycle(const MivVariant &value, CycleState &state)
{
    if (m_statistics)
        m_statistics->countCycle();
    if (m_plan.mode != ModeRead) {
        state.step = ResultWrite;
        try {
            Timed(PerfOp::Write, [&] { m_target.write(value); });
        } catch (const std::exception &error) {
            if (!StepFailed(state, Reason(error)))
                return false;
        }
    }
    if (m_plan.mode != ModeWrite) {
        state.step = ResultRead;
        try {
            Timed(PerfOp::Read, [&] { state.valueRead = m_target.read(); });
        } catch (const std::exception &error) {
            if (!StepFailed(state, Reason(error)))
                return false;
        }
        if (m_plan.outputDebug) {
            try {
                m_observer.debugText(converter().ValueToText(state.valueRead, 0));
            } catch (const std::exception &error) {
                if (!StepFailed(state, Reason(error)))
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
        if (differ && !StepFailed(state, QStringLiteral("Data check: the value read differs from the value written")))
            return false;
    }
    ReportProgress();
    m_observer.yield();
    return true;
}
