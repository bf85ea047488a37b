#pragma once

#include "LatencyHistogram.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

// What a load run counted. Every request ends as exactly one of: an answer (a result code of 0
// or more), an error (a negative result code, or an answer that does not read), a timeout, or
// closed (its connection went before the answer).
struct KelLoadTally
{
    qint64 requests = 0;
    qint64 answers = 0;
    qint64 timeouts = 0;
    qint64 closed = 0;  // requests lost to a close: their connection went before the answer
    qint64 stray = 0;   // frames that answered no request (late answers included)
    qint64 closes = 0;  // connections closed during the run
    QMap<qint32, qint64> errorsByCode;
    qint64 unreadable = 0;
    int connections = 0;
    double elapsedMs = 0;
    QStringList operations;            // the distinct request texts, in first-sent order
    QList<LatencyHistogram> latencies; // per operation: request to answer or error
    LatencyHistogram all;

    qint64 errors() const;
    qint64 failures() const { return errors() + timeouts + closed; }
    double requestsPerSecond() const;
};

// The summary for people (several lines, each ending in a newline) and as a JSON document.
QString LoadSummaryText(const KelLoadTally &tally);
QByteArray LoadSummaryJson(const KelLoadTally &tally);
