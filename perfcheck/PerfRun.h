#pragma once

#include "MivConverter.h"
#include "MivVariant.h"
#include "PerfPlan.h"
#include "PerfStatistics.h"
#include "modAPI.h"

#include <QString>

#include <memory>

// What a run writes and reads; both fail by throwing.
class PerfTarget
{
public:
    virtual ~PerfTarget() = default;
    virtual void write(const MivVariant &value) = 0;
    virtual MivVariant read() = 0;
};

// What a run tells the world outside it, and the stop request it asks for.
class PerfObserver
{
public:
    virtual ~PerfObserver() = default;
    virtual void runStarted(const modAPI::SYSTEMTIME &start) = 0; // the start row and the empty end row
    virtual void runEnded(qint32 result, const modAPI::SYSTEMTIME &end, quint32 elapsedMs) = 0;
    virtual bool stopRequested() = 0;
    virtual void yield() = 0; // once per cycle: the only place a stop request can come in
    // The text of each value read, when the plan asks for it; fails by throwing.
    virtual void debugText(const QString &text) = 0;
    // With statistics kept: between cycles, at most once per kProgressInterval, so that a long
    // run shows how it goes.
    virtual void progress() {}
    // Each failed step with its reason, as it fails.
    virtual void failed(const QString & /*reason*/) {}
    // Asked when a step fails in a run that ignores errors: true when the line is away, so
    // that the failure is the outage's, which the run outlives. It is counted as an error but
    // leaves the run's result code as it was.
    virtual bool lineAway() { return false; }
};

// The performance run: a busy loop on the calling thread, cycle after cycle with no pause
// but one yield, timed by the tick counter read at its start and end. Given statistics, it also
// times each engine call with the steady clock into them; they start afresh with every run.
class PerfRun
{
public:
    // An update lays out and repaints the figures, about 0.7 ms in the window, which the cycles
    // pay: four a second keep that near 0.3% of a run.
    static constexpr std::chrono::milliseconds kProgressInterval{250};

    PerfRun(PerfTarget &target, PerfObserver &observer, PerfStatistics *statistics = nullptr);
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

    PerfTarget &m_target;
    PerfObserver &m_observer;
    PerfPlan m_plan;
    std::unique_ptr<MivConverter> m_objConverter; // made at its first use, kept for later runs
    PerfStatistics *m_statistics;
    PerfStatistics::Clock::time_point m_lastCallEnd;  // of the latest timed call
    PerfStatistics::Clock::time_point m_nextProgress;
};
