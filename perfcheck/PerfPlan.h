#pragma once

#include <QtGlobal>

// What one performance run does, read from the window's settings when it starts.

// The check patterns, the indexes of optPattern.
enum PerfPattern : qint16 { PatternTime = 0, PatternCount = 1, PatternInfinite = 2 };

// The access modes, the indexes of optReadWrite.
enum PerfMode : qint16 { ModeRead = 0, ModeWrite = 1, ModeWriteRead = 2 };

// A run's outcome: 0, or the step of the latest failure, which is also its number in a cycle.
enum PerfResultCode : qint32 { ResultNone = 0, ResultWrite = 1, ResultRead = 2, ResultCompare = 3 };

struct PerfPlan
{
    PerfPattern pattern = PatternCount;
    PerfMode mode = ModeRead;
    double limitMs = 0;   // time pattern: milliseconds from the start, a whole number
    qint32 count = 1;     // count pattern: cycles
    bool dataCheck = false; // compares the value read with the value written, in ModeWriteRead only
    bool ignoreError = false; // a failed step is recorded and the run goes on
    bool outputDebug = false; // the text of every value read goes to the debug output
};
