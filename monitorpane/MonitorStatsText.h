#pragma once

#include <QString>

class MonitorStats;

// The pane's statistics: per command that was requested, its requests, answers and answer times
// in milliseconds (p50, p95, max); then the strays and receive errors. Lines end with a newline.
QString MonitorStatsText(const MonitorStats &stats);
