#include "KelLoadTally.h"

#include "KelAnswer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <numeric>

namespace {

constexpr double kUsPerMs = 1000.0;
const QString kNone = QStringLiteral("-");
constexpr int kCountWidth = 6;
constexpr int kFigureWidth = 7;

QString Figure(double us)
{
    return QString::number(us / kUsPerMs, 'f', 3);
}

QJsonObject LatencyJson(const QString &operation, const LatencyHistogram &histogram)
{
    const LatencySummary s = histogram.summary();
    return {{"operation", operation}, {"count", qint64(s.count)}, {"min_us", s.min_us},
            {"mean_us", s.mean_us},   {"p50_us", s.p50_us},       {"p95_us", s.p95_us},
            {"p99_us", s.p99_us},     {"max_us", s.max_us}};
}

} // namespace

qint64 KelLoadTally::errors() const
{
    return std::accumulate(errorsByCode.cbegin(), errorsByCode.cend(), unreadable);
}

double KelLoadTally::requestsPerSecond() const
{
    return elapsedMs > 0 ? double(requests) * kUsPerMs / elapsedMs : 0;
}

// Narrow enough for an 80-column terminal (and the manual's example) with short request texts.
QString LoadSummaryText(const KelLoadTally &t)
{
    QString out = QStringLiteral("requests %1  answers %2  errors %3  timeouts %4\n")
                      .arg(t.requests).arg(t.answers).arg(t.errors()).arg(t.timeouts);
    out += QStringLiteral("requests lost to a close %1  stray %2\n").arg(t.closed).arg(t.stray);
    out += QStringLiteral("connections %1  connections closed %2\n").arg(t.connections).arg(t.closes);
    out += QStringLiteral("elapsed %1 s  %2 requests/s\n")
               .arg(QString::number(t.elapsedMs / kUsPerMs, 'f', 3), QString::number(t.requestsPerSecond(), 'f', 1));
    for (auto it = t.errorsByCode.cbegin(); it != t.errorsByCode.cend(); ++it)
        out += QStringLiteral("error %1 %2  %3\n").arg(it.key()).arg(KelHresultName(it.key())).arg(it.value());
    if (t.unreadable > 0)
        out += QStringLiteral("error unreadable  %1\n").arg(t.unreadable);
    const QString heading = QStringLiteral("latency (ms)");
    qsizetype width = heading.size();
    for (const QString &op : t.operations)
        width = std::max(width, op.size());
    // The request text goes in as it is: no placeholder in it is ever filled.
    auto line = [&](const QString &name, const QString &count, const QStringList &figures) {
        QString text = name.leftJustified(width) + u' ' + count.rightJustified(kCountWidth);
        for (const QString &figure : figures)
            text += u' ' + figure.rightJustified(kFigureWidth);
        out += text + u'\n';
    };
    line(heading, QStringLiteral("count"), {"min", "mean", "p50", "p95", "p99", "max"});
    auto row = [&](const QString &name, const LatencyHistogram &h) {
        const LatencySummary s = h.summary();
        QStringList figures;
        for (const double us : {s.min_us, s.mean_us, s.p50_us, s.p95_us, s.p99_us, s.max_us})
            figures << (s.count == 0 ? kNone : Figure(us));
        line(name, QString::number(qint64(s.count)), figures);
    };
    for (qsizetype i = 0; i < t.operations.size(); ++i)
        row(t.operations.at(i), t.latencies.at(i));
    row(QStringLiteral("all"), t.all);
    return out;
}

QByteArray LoadSummaryJson(const KelLoadTally &t)
{
    QJsonArray byCode;
    for (auto it = t.errorsByCode.cbegin(); it != t.errorsByCode.cend(); ++it)
        byCode.append(QJsonObject{{"hresult", it.key()}, {"name", KelHresultName(it.key())}, {"count", it.value()}});
    QJsonArray latency;
    for (qsizetype i = 0; i < t.operations.size(); ++i)
        latency.append(LatencyJson(t.operations.at(i), t.latencies.at(i)));
    latency.append(LatencyJson(QStringLiteral("all"), t.all));
    const QJsonObject root{
        {"requests", t.requests},   {"answers", t.answers},
        {"errors", t.errors()},     {"errors_by_hresult", byCode},
        {"unreadable", t.unreadable}, {"timeouts", t.timeouts},
        {"closed", t.closed},       {"stray", t.stray},
        {"connections", t.connections}, {"closes", t.closes},
        {"elapsed_ms", t.elapsedMs}, {"requests_per_s", t.requestsPerSecond()},
        {"latency", latency},
    };
    return QJsonDocument(root).toJson();
}
