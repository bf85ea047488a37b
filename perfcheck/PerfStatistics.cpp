#include "PerfStatistics.h"

void PerfStatistics::begin(Clock::time_point start)
{
    m_write.histogram.reset();
    m_write.timeline.reset();
    m_read.histogram.reset();
    m_read.timeline.reset();
    m_start = start;
    m_ended = false;
    m_cycles = 0;
    m_errors = 0;
}

PerfFigures PerfStatistics::figures(Clock::time_point now) const
{
    PerfFigures f;
    f.cycles = m_cycles;
    f.errors = m_errors;
    f.seconds = seconds(now);
    f.cyclesPerSecond = f.seconds > 0 ? double(m_cycles) / f.seconds : 0;
    f.write = m_write.histogram.summary();
    f.read = m_read.histogram.summary();
    return f;
}

double PerfStatistics::seconds(Clock::time_point now) const
{
    return std::chrono::duration<double>((m_ended ? m_end : now) - m_start).count();
}
