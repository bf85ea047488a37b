#include "PerfCsv.h"

#include <QLocale>

namespace {

const QString kLineEnd = QStringLiteral("\r\n");

QString Field(const QString &text)
{
    const bool quoted = text.contains(u',') || text.contains(u'"') || text.contains(u'\r')
                        || text.contains(u'\n') || text != text.trimmed();
    if (!quoted)
        return text;
    QString doubled = text;
    doubled.replace(u'"', QLatin1String("\"\""));
    return u'"' + doubled + u'"';
}

QString Number(double value)
{
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

constexpr int kRateDecimals = 3;

void AddSummary(QStringList &fields, const LatencySummary &s)
{
    fields << QString::number(s.count) << Number(s.min_us) << Number(s.mean_us) << Number(s.p50_us)
           << Number(s.p95_us) << Number(s.p99_us) << Number(s.max_us);
}

void AddOutages(QStringList &fields, const QList<PerfOutages::Span> &outages)
{
    qint64 totalMs = 0;
    QStringList spans;
    for (const PerfOutages::Span &span : outages) {
        totalMs += LengthMs(span);
        spans << QStringLiteral("%1+%2").arg(StartMs(span)).arg(LengthMs(span));
    }
    fields << QString::number(outages.size()) << QString::number(totalMs) << spans.join(u' ');
}

} // namespace

QStringList PerfCsvColumns()
{
    QStringList columns = {QStringLiteral("run"),    QStringLiteral("target"),       QStringLiteral("pattern"),
                           QStringLiteral("mode"),   QStringLiteral("start"),        QStringLiteral("result"),
                           QStringLiteral("end"),    QStringLiteral("time_required_ms"), QStringLiteral("cycles"),
                           QStringLiteral("cycles_per_s"), QStringLiteral("errors")};
    for (const char *op : {"write", "read"})
        for (const char *figure : {"count", "min_us", "mean_us", "p50_us", "p95_us", "p99_us", "max_us"})
            columns << QLatin1String(op) + u'_' + QLatin1String(figure);
    columns << QStringLiteral("outages") << QStringLiteral("outage_ms") << QStringLiteral("outage_spans");
    return columns;
}

QByteArray PerfCsv(const QList<PerfRunReport> &runs)
{
    QString text = PerfCsvColumns().join(u',') + kLineEnd;
    for (qsizetype i = 0; i < runs.size(); ++i) {
        const PerfRunReport &r = runs[i];
        QStringList fields = {QString::number(i + 1), Field(r.target), PatternName(r.pattern), ModeName(r.mode),
                              Field(r.startStamp), EndAction(r.resultCode), Field(r.endStamp),
                              QString::number(r.elapsedMs), QString::number(r.figures.cycles),
                              QString::number(r.figures.cyclesPerSecond, 'f', kRateDecimals), QString::number(r.figures.errors)};
        AddSummary(fields, r.figures.write);
        AddSummary(fields, r.figures.read);
        AddOutages(fields, r.outages);
        text += fields.join(u',') + kLineEnd;
    }
    return text.toUtf8();
}
