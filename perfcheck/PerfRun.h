#pragma once

#include "MivConverter.h"
#include "MivVariant.h"
#include "PerfPlan.h"
#include "PerfStatistics.h"
#include "modAPI.h"

#include <QString>

#include <functional>
#include <memory>

// What a run does to the world outside it. write and read fail by throwing.
struct PerfSteps
{
    std::function<void(const MivVariant &value)> write;
    std::function<MivVariant()> read;
    std::function<void(const QString &text)> debugText;
    std::function<bool()> stopRequested;
    std::function<void()> yield; // once per cycle: the only place a stop request can come in
    std::function<void(const modAPI::SYSTEMTIME &start)> started; // the start row and the empty end row
    std::function<void(qint32 result, const modAPI::SYSTEMTIME &end, quint32 elapsedMs)> finished;
    // With statistics kept: between cycles, at most once per kProgressInterval, so that a
    // long run shows how it goes. May be empty.
    std::function<void()> progress;
    // Each failed step with its reason, as it fails. May be empty.
    std::function<void(const QString &reason)> failed;
};

// The performance run: a busy loop on the calling thread, cycle after cycle with no pause
// but one yield, timed by the tick counter read at its start and end. Given statistics, it also
// times each engine call with the steady clock into them; they start afresh with every run.
class PerfRun
{
public:
    static constexpr std::chrono::milliseconds kProgressInterval{100};

    explicit PerfRun(PerfSteps steps, PerfStatistics *statistics = nullptr);
    ~PerfRun();
    PerfRun(const PerfRun &) = delete;
    PerfRun &operator=(const PerfRun &) = delete;

    // One timed run of the plan's pattern with its start and end; returns the result code.
    qint32 RunCheck(const MivVariant &value, const PerfPlan &plan);

    // The pattern loops of the current plan; each returns the result code.
    qint32 RunTimePattern(const MivVariant &value, quint32 startTick);
    qint32 RunCountPattern(const MivVariant &value);
    qint32 RunInfinitePattern(const MivVariant &value);

private:
    // What one run carries from cycle to cycle.
    struct CycleState
    {
        MivVariant valueRead;
        qint32 step = ResultNone;
        qint32 resultCode = ResultNone;
    };

    bool RunCycle(const MivVariant &value, CycleState &state); // false: end the loop
    bool StepFailed(CycleState &state, const QString &reason); // records; true: go on
    MivConverter &converter();
    template<typename Call>
    void Timed(PerfOp op, Call &&call);
    void ReportProgress();

    PerfSteps m_steps;
    PerfPlan m_plan;
    std::unique_ptr<MivConverter> m_objConverter; // made at its first use, kept for later runs
    PerfStatistics *m_statistics;
    PerfStatistics::Clock::time_point m_lastCallEnd;  // of the latest timed call
    PerfStatistics::Clock::time_point m_nextProgress;
};
