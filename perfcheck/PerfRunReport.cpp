#include "PerfRunReport.h"

QString PatternName(PerfPattern pattern)
{
    switch (pattern) {
    case PatternTime:
        return QStringLiteral("time");
    case PatternCount:
        return QStringLiteral("count");
    default:
        return QStringLiteral("infinite");
    }
}

QString ModeName(PerfMode mode)
{
    switch (mode) {
    case ModeRead:
        return QStringLiteral("read");
    case ModeWrite:
        return QStringLiteral("write");
    default:
        return QStringLiteral("write-read");
    }
}

QString EndAction(qint32 resultCode)
{
    return resultCode == ResultNone ? QStringLiteral("END") : QStringLiteral("ERROR");
}

RecordedPerf ToRecordedPerf(const PerfRunReport &report)
{
    RecordedPerf perf;
    perf.target = report.target;
    perf.pattern = PatternName(report.pattern);
    perf.mode = ModeName(report.mode);
    perf.result = report.resultCode == ResultNone ? PerfResult::End : PerfResult::Error;
    perf.elapsedMs = report.elapsedMs;
    perf.cycles = report.figures.cycles;
    perf.errors = report.figures.errors;
    perf.write = report.figures.write;
    perf.read = report.figures.read;
    return perf;
}
