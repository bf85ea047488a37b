#include "PerfRedrawBudget.h"

bool PerfRedrawBudget::due(double second)
{
    if (second < m_askedAt) {
        m_spent = 0;
        m_drawnAt = 0;
    }
    m_askedAt = second;
    return second - m_drawnAt >= kInterval.count() && m_spent + m_cost <= kShareOfRun * second;
}

void PerfRedrawBudget::spent(double second, double cost)
{
    m_spent += cost;
    m_drawnAt = second;
    m_cost = cost;
}
