#pragma once

#include <cstdio>

// The line bench/run collects, beside each benchmark's own output:
//   ROW <name>\t<ours>\t<baseline>\t<unit>\t<ratio>
// ratio is our cost over the baseline's (time or memory): 1 is as good, above 1 is worse.
// For a rate that is baseline / ours, for a time or a size ours / baseline.
inline void PrintRow(const char *name, double ours, double baseline, const char *unit, double ratio)
{
    std::printf("ROW %s\t%.6g\t%.6g\t%s\t%.3f\n", name, ours, baseline, unit, ratio);
    std::fflush(stdout);
}
