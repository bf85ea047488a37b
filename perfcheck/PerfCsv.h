#pragma once

#include "PerfRunReport.h"

#include <QByteArray>
#include <QList>
#include <QStringList>

// The runs of a performance window as CSV (RFC 4180, UTF-8, CRLF): a header line, then one line
// per run with its two result rows and its statistics. The start and end are whole local times
// (ISO 8601 with milliseconds and offset); latencies are in microseconds, every one written so
// that it reads back to the same value; the cycle rate has three decimals. Last come the
// outages of the line: their count, their total length in ms, and each as "start+length" in ms
// from the run's start, separated by blanks.
QStringList PerfCsvColumns();
QByteArray PerfCsv(const QList<PerfRunReport> &runs);
