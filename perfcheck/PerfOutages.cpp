#include "PerfOutages.h"

#include "PerfPlotData.h"

#include <QString>

namespace {

qint64 Ms(PerfOutages::Clock::duration d)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(d).count();
}

} // namespace

void PerfOutages::begin(Clock::time_point runStart)
{
    m_spans.clear();
    m_runStart = runStart;
    m_running = true;
    if (m_away)
        m_since = runStart;
}

void PerfOutages::end(Clock::time_point at)
{
    if (m_running && m_away) {
        m_spans.append({m_since - m_runStart, at - m_since});
        m_since = at;
    }
    m_running = false;
}

void PerfOutages::lost(Clock::time_point at)
{
    if (m_away)
        return;
    m_away = true;
    m_failureTold = false;
    m_since = m_running ? at : Clock::time_point{};
}

void PerfOutages::back(Clock::time_point at)
{
    if (!m_away)
        return;
    m_away = false;
    if (m_running)
        m_spans.append({m_since - m_runStart, at - m_since});
}

bool PerfOutages::tellFailure()
{
    if (!m_away)
        return true;
    const bool first = !m_failureTold;
    m_failureTold = true;
    return first;
}

QList<PerfOutages::Span> PerfOutages::spans(Clock::time_point now) const
{
    QList<Span> all = m_spans;
    if (m_running && m_away)
        all.append({m_since - m_runStart, now - m_since});
    return all;
}

QString OutagesText(const QList<PerfOutages::Span> &spans)
{
    if (spans.isEmpty())
        return QStringLiteral("0");
    PerfOutages::Clock::duration total{};
    for (const PerfOutages::Span &span : spans)
        total += span.length;
    const double us = std::chrono::duration<double, std::micro>(total).count();
    return QStringLiteral("%1, %2 in all").arg(spans.size()).arg(LatencyText(us));
}

qint64 StartMs(const PerfOutages::Span &span)
{
    return Ms(span.start);
}

qint64 LengthMs(const PerfOutages::Span &span)
{
    return Ms(span.length);
}
