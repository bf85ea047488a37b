#pragma once

#include "PerfOutages.h"
#include "PerfPlan.h"
#include "PerfStatistics.h"
#include "RecordEntries.h"

#include <QString>

// One finished run as the window keeps it for Export...: its two result rows and its
// statistics.
struct PerfRunReport
{
    QString target; // the variable's name
    PerfPattern pattern = PatternCount;
    PerfMode mode = ModeRead;
    qint32 resultCode = ResultNone;
    QString startStamp; // ISO 8601, the year included
    QString endStamp;
    quint32 elapsedMs = 0;
    PerfFigures figures;
    QList<PerfOutages::Span> outages;

    bool operator==(const PerfRunReport &) const = default;
};

// Short names for the record and the CSV file: "time", "count", "infinite"; "read", "write",
// "write-read".
QString PatternName(PerfPattern pattern);
QString ModeName(PerfMode mode);
// "END" or "ERROR", as the end row shows it.
QString EndAction(qint32 resultCode);

// The run as a session record takes it.
RecordedPerf ToRecordedPerf(const PerfRunReport &report);
