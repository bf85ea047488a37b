#include "KelRequest.h"

#include <chrono>

qint64 KelSteadyMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void KelRequestState::prepare()
{
    if (m_owed > 0 && KelSteadyMs() >= m_owedUntilMs)
        m_owed = 0;
    m_answer.reset();
}

void KelRequestState::stopWaiting(int timeoutMs)
{
    m_waiting = false;
    if (timeoutMs > 0) {
        ++m_owed;
        m_owedUntilMs = KelSteadyMs() + 2 * qint64(timeoutMs);
    }
}

KelRequestState::Route KelRequestState::route(const QString &frame)
{
    if (m_owed > 0) {
        if (KelSteadyMs() < m_owedUntilMs) {
            --m_owed;
            return Route::Late;
        }
        m_owed = 0;
    }
    if (!waitsForAnswer())
        return Route::Other;
    m_answer = frame;
    return Route::Answer;
}

QString KelRequestState::takeAnswer()
{
    m_waiting = false;
    QString answer = std::move(*m_answer);
    m_answer.reset();
    return answer;
}
