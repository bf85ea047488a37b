#pragma once

#include "LatencyHistogram.h"
#include "Plan.h"
#include "PlanReport.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <chrono>
#include <optional>

class MivController;
class MivMessage;

// Runs a plan on an open controller, one request per turn of the event loop. Each request goes
// through the engine's synchronous path (bounded by the plan's timeout, else the connection's),
// or, with waitInEventLoop(), leaves its wait to the event loop, so that a window that runs the
// plan keeps painting and taking input while a device is silent.
//
// A step's result comes out at the next turn, after the frames that arrived meanwhile: a frame
// that answers no request (a second answer) fails the step before it. A step after the
// connection closed fails with the same reason without sending. stop() ends the run after the
// request in flight; a repeat cut short fails.
class PlanRunner : public QObject
{
    Q_OBJECT
public:
    PlanRunner(Plan plan, MivController *controller, QObject *parent = nullptr);
    ~PlanRunner() override;

    // Starts at the next turn of the event loop.
    void start();
    void stop();
    bool isRunning() const { return m_running; }
    // With on, a connection that closes holds the run before its next step (the step in flight
    // fails with the reason) until reopened() says the line is back.
    void holdWhileClosed(bool on) { m_holdWhileClosed = on; }
    // Before start(): on, each wait for an answer is given back to the event loop; off (the
    // default), it blocks, which costs less for each request where nothing else runs.
    void waitInEventLoop(bool on) { m_waitInEventLoop = on; }
    void reopened();
    const PlanReport &report() const { return m_report; }

signals:
    void stepStarted(qsizetype index, const QString &name);
    void exchanged(const QString &request, const QString &answer); // each request answered
    void stepFinished(const PlanStepResult &result);
    void finished(const PlanReport &report);

private:
    void turn();
    void scheduleTurn();
    void beginStep();
    void runRequest();
    void transactDone(const QString &answer, qint32 code, const QString &description);
    // Takes the awaited request's outcome; false when none was awaited.
    bool settle(const QString &answer, qint32 code, const QString &description);
    void requestFailed(qint32 code, const QString &description);
    void takeAnswer(const QString &answer);
    void endStep(const QString &reason);
    void release();
    void finish();
    void onMessage(MivMessage *message);
    void pauseOver();

    Plan m_plan;
    QPointer<MivController> m_controller;
    PlanReport m_report;
    QHash<QString, QString> m_values;
    bool m_running = false;
    bool m_stopRequested = false;
    std::chrono::steady_clock::time_point m_started;
    std::chrono::steady_clock::time_point m_stepStarted;
    // the step in progress
    qsizetype m_index = 0;
    bool m_inStep = false;
    QString m_send;
    QString m_expected;
    int m_done = 0;
    std::chrono::steady_clock::time_point m_sent; // the request in flight
    bool m_waitInEventLoop = false;
    bool m_awaiting = false; // its answer, from the event loop
    LatencyHistogram m_latencies;
    bool m_keepLatencies = false;
    PlanStepResult m_current;
    // a finished step whose result waits for the next turn
    std::optional<PlanStepResult> m_held;
    QStringList m_stray; // frames that answered no request since the last answer
    int m_owed = 0;      // late answers of requests that timed out, which are not strays
    QString m_closed;    // the reason, once the connection has gone
    bool m_holdWhileClosed = false;
    bool m_holding = false; // waiting for reopened()
    QTimer m_pause;
    QTimer m_turn; // a zero timer: wakes no one, unlike a posted event
};
