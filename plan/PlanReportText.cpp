#include "Plan.h"
#include "PlanReport.h"

#include <QStringBuilder>

namespace {
constexpr double kUsPerMs = 1000.0;

// After the name: "step 2: GET:A:1:X: 0.41 ms", "store 100: 0.41 ms", as a default name ends in
// the request's colon.
QLatin1StringView Separator(const PlanStepResult &result)
{
    return result.name.endsWith(u':') ? QLatin1StringView(" ") : QLatin1StringView(": ");
}
} // namespace

QString PlanResultLine(const PlanStepResult &result)
{
    // Built in one piece, not by arg(): a line for every step, and a name's own "%2" stays.
    if (!result.passed)
        return QLatin1StringView("FAIL ") % result.name % Separator(result) % result.reason;
    if (result.p99Ms)
        return QLatin1StringView("PASS ") % result.name % Separator(result) % QString::number(result.repetitions)
               % QLatin1StringView(" requests, p50 ") % PlanMs(*result.p50Ms) % QLatin1StringView(" ms, p99 ")
               % PlanMs(*result.p99Ms) % QLatin1StringView(" ms");
    return QLatin1StringView("PASS ") % result.name % Separator(result) % PlanMs(double(result.us) / kUsPerMs)
           % QLatin1StringView(" ms");
}

QString PlanSummaryLine(const PlanReport &report)
{
    return QStringLiteral("%1 passed, %2 failed").arg(report.passed).arg(report.failed);
}
