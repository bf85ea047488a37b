#pragma once

#include "PerfRunReport.h"

#include <QByteArray>
#include <QList>
#include <QStringList>

// The runs of a performance window as CSV (RFC 4180, UTF-8, CRLF): a header line, then one line
// per run with its two result rows and its statistics. Latencies are in microseconds; every
// number is written so that it reads back to the same value.
QStringList PerfCsvColumns();
QByteArray PerfCsv(const QList<PerfRunReport> &runs);
