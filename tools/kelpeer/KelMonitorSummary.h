#pragma once

#include <QString>

class MonitorStats;

// The monitor's summary: a line of totals, then per command (START, STOP, PUT, GET, other)
// its requests, answers and answer times in milliseconds. Lines end with a newline.
QString KelMonitorSummary(const MonitorStats &stats);
