#include "Plan.h"
#include "PlanReport.h"

namespace {
constexpr double kUsPerMs = 1000.0;

// "step 2: GET:A:1:X: 0.41 ms", "store 100: 0.41 ms": a default name ends in the request's colon.
QString Head(const PlanStepResult &result)
{
    return result.name + (result.name.endsWith(u':') ? QStringLiteral(" ") : QStringLiteral(": "));
}
} // namespace

QString PlanResultLine(const PlanStepResult &result)
{
    if (!result.passed)
        return QStringLiteral("FAIL %1%2").arg(Head(result), result.reason);
    if (result.p99Ms)
        return QStringLiteral("PASS %1%2 requests, p50 %3 ms, p99 %4 ms")
            .arg(Head(result))
            .arg(result.repetitions)
            .arg(PlanMs(*result.p50Ms), PlanMs(*result.p99Ms));
    return QStringLiteral("PASS %1%2 ms").arg(Head(result), PlanMs(double(result.us) / kUsPerMs));
}

QString PlanSummaryLine(const PlanReport &report)
{
    return QStringLiteral("%1 passed, %2 failed").arg(report.passed).arg(report.failed);
}
