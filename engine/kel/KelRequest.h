#pragma once

#include <QString>

#include <optional>

// The synchronous requests on one link: whether one waits, the answers owed by requests that
// timed out, and the answer once it has come.
//
// A request that times out leaves its answer owed: the next frame from that peer within
// twice the Timeout after the timeout is taken as that late answer and goes out as a message,
// never as the answer to a later request. After that the debt expires, so a peer that never
// answers does not make every later request fail.
class KelRequestState
{
public:
    // Where a frame from the peer goes.
    enum class Route {
        Answer, // the answer to the request that waits: kept here
        Late,   // the late answer to a request that timed out
        Other,  // a frame nobody waits for
    };

    // Before a request is sent: forgets the last answer and debts past their time.
    void prepare();
    // Once it is sent: the next frame that is not owed answers it.
    void startWaiting() { m_waiting = true; }
    // The request gave up without an answer; with timeoutMs > 0 it timed out and owes one,
    // until twice timeoutMs from now: a peer that answers at all answers within about one more
    // Timeout, and a debt that lived forever would swallow the answer to every later request.
    // Without timeoutMs (the link closed) nothing is owed.
    void stopWaiting(int timeoutMs = 0);

    // Decides where a frame from the peer goes: owed answers are paid first, so a late answer
    // never answers the request that waits now.
    Route route(const QString &frame);

    bool waitsForAnswer() const { return m_waiting && !m_answer; }
    bool answered() const { return m_answer.has_value(); }
    // The answer; the request is over.
    QString takeAnswer();
    // Execute("Clear") drops an answer nobody has taken.
    void dropAnswer() { m_answer.reset(); }

private:
    bool m_waiting = false;
    int m_owed = 0;
    qint64 m_owedUntilMs = 0; // steady ms
    std::optional<QString> m_answer;
};

// Milliseconds of a steady clock, for idle and late-answer deadlines.
qint64 KelSteadyMs();
