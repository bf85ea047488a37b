#pragma once

#include "PlanReport.h"
#include "RecordEntries.h"

#include <QByteArray>

// A plan's report as files for other tools, and as the session record's entry.

// JUnit XML: a testsuite for the plan, a testcase per step with its time in seconds, a failure
// element with the reason, the answer in system-out. Characters that XML cannot hold are
// written as \xHH escapes.
QByteArray PlanJUnitXml(const PlanReport &report);
// The same as JSON: name, passed, failed, elapsed_ms, and steps with name, send, expected,
// result ("pass" or "fail"), answer, reason, us (and requests, p50_ms, p99_ms for a repeat).
QByteArray PlanJson(const PlanReport &report);
RecordedPlan PlanRecordEntry(const PlanReport &report);
