#pragma once

#include <QList>
#include <QString>

#include <optional>

// What one step came to.
struct PlanStepResult
{
    qsizetype index = 0; // in the plan, from 0
    QString name;        // as reported: its own or "step N: <send>"
    QString send;        // with its placeholders filled; empty for a pause
    QString expected;    // what it expected, for a reader: the text, the pattern or the error
    bool passed = false;
    QString answer;      // the last answer (empty when none came)
    QString reason;      // why it failed, one line
    qint64 us = 0;       // the answer's latency; for a repeat or a pause the step's whole time
    int repetitions = 0; // requests answered, for a repeat
    std::optional<double> p50Ms; // for a repeat
    std::optional<double> p99Ms;
};

struct PlanReport
{
    QString name;
    QList<PlanStepResult> steps; // the steps that ran, in order
    int passed = 0;
    int failed = 0;
    qint64 elapsedMs = 0;
    bool stopped = false; // by stop() or stop_on_failure, before every step ran

    bool allPassed() const { return failed == 0; }
};

// "PASS step 2: GET:A:1:X: 0.41 ms" / "FAIL step 3: ...: <reason>".
QString PlanResultLine(const PlanStepResult &result);
// "N passed, N failed".
QString PlanSummaryLine(const PlanReport &report);
