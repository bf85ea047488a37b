#include "PlanRunner.h"

#include "MivController.h"
#include "MivError.h"
#include "MivMessage.h"
#include "PlanJudge.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr double kUsPerMs = 1000.0;
constexpr double kP50 = 0.50;
constexpr double kP99 = 0.99;
const QString kTimeoutPrefix = QStringLiteral("Timeout: ");

qint64 UsSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count();
}

} // namespace

PlanRunner::PlanRunner(Plan plan, MivController *controller, QObject *parent)
    : QObject(parent), m_plan(std::move(plan)), m_controller(controller), m_pause(this), m_turn(this)
{
    m_report.name = m_plan.name;
    m_report.steps.reserve(m_plan.steps.size());
    for (const auto &[name, value] : m_plan.values)
        m_values.insert(name, value);
    m_pause.setSingleShot(true);
    m_pause.setTimerType(Qt::PreciseTimer);
    connect(&m_pause, &QTimer::timeout, this, &PlanRunner::pauseOver);
    m_turn.setSingleShot(true);
    m_turn.setInterval(0);
    connect(&m_turn, &QTimer::timeout, this, &PlanRunner::turn);
    if (m_controller) {
        connect(m_controller, &MivController::OnMessage, this, &PlanRunner::onMessage);
        connect(m_controller, &MivController::transactDone, this, &PlanRunner::transactDone);
        // A controller removed while its answer is awaited gives none.
        connect(m_controller, &QObject::destroyed, this, [this] {
            if (settle({}, MivCode::NotConnected, QStringLiteral("it was taken away")))
                scheduleTurn();
        });
    }
}

PlanRunner::~PlanRunner() = default;

void PlanRunner::start()
{
    if (m_running)
        return;
    m_running = true;
    m_started = Clock::now();
    scheduleTurn();
}

void PlanRunner::stop()
{
    if (!m_running)
        return;
    m_stopRequested = true;
    if (m_holding) {
        m_holding = false;
        scheduleTurn();
    }
    if (m_pause.isActive()) {
        m_pause.stop();
        pauseOver();
    }
}

void PlanRunner::reopened()
{
    m_closed.clear();
    if (m_holding) {
        m_holding = false;
        scheduleTurn();
    }
}

void PlanRunner::scheduleTurn()
{
    m_turn.start();
}

void PlanRunner::onMessage(MivMessage *message)
{
    if (!m_running)
        return;
    const qint32 kind = message->Kind();
    if (kind == MivMessageKind::Request || kind == MivMessageKind::Unsolicited) {
        if (m_owed > 0)
            --m_owed;
        else
            m_stray << message->Value().bstr();
    } else if (kind == MivMessageKind::Disconnected && m_closed.isEmpty()) {
        m_closed = QStringLiteral("the connection closed: %1 disconnected").arg(message->Value().bstr());
    }
}

void PlanRunner::turn()
{
    if (!m_running || m_awaiting)
        return;
    release();
    if (m_inStep && m_stopRequested) {
        endStep(QStringLiteral("stopped after %1 of %2 requests").arg(m_done).arg(m_plan.steps.at(m_index).repeat));
        release();
    }
    const bool stopFailed = m_plan.stopOnFailure && m_report.failed > 0;
    if (!m_inStep && (m_stopRequested || stopFailed || m_index >= m_plan.steps.size())) {
        m_report.stopped = m_index < m_plan.steps.size();
        finish();
        return;
    }
    if (!m_inStep && m_holdWhileClosed && !m_closed.isEmpty()) {
        m_holding = true;
        return;
    }
    if (!m_inStep)
        beginStep();
    if (m_plan.steps.at(m_index).isPause())
        return; // the pause timer takes it on
    runRequest();
    if (!m_awaiting)
        scheduleTurn();
}

void PlanRunner::beginStep()
{
    const PlanStep &step = m_plan.steps.at(m_index);
    m_inStep = true;
    m_done = 0;
    // Only a step that reports or bounds percentiles keeps its latencies: clearing and reading
    // the histogram costs more than judging one answer.
    m_keepLatencies = step.repeat > 1 || step.p99WithinMs.has_value();
    if (m_keepLatencies)
        m_latencies.reset();
    m_send = FillPlanText(step.send, m_values);
    m_expected = step.judge == PlanJudgeKind::Expect ? FillPlanText(step.expect, m_values)
                 : step.judge == PlanJudgeKind::Match ? step.expect
                                                      : step.expectErrorText;
    m_current = PlanStepResult();
    m_current.index = m_index;
    m_current.name = PlanStepName(step, m_index, m_send);
    m_current.send = m_send;
    m_current.expected = m_expected;
    m_stepStarted = Clock::now();
    emit stepStarted(m_index, m_current.name);
    if (step.isPause())
        m_pause.start(step.pauseMs);
}

void PlanRunner::pauseOver()
{
    if (!m_inStep)
        return;
    endStep({});
    scheduleTurn();
}

void PlanRunner::runRequest()
{
    if (!m_closed.isEmpty() || !m_controller) {
        endStep(m_closed.isEmpty() ? QStringLiteral("the connection closed: it was taken away") : m_closed);
        return;
    }
    if (m_done > 0 && !m_stray.isEmpty()) {
        endStep(QStringLiteral("a frame that answers no request came after answer %1: %2").arg(m_done).arg(PlanQuote(m_stray.first())));
        return;
    }
    QString answer;
    m_sent = Clock::now();
    try {
        if (m_waitInEventLoop) {
            m_controller->startTransact(m_send, m_plan.timeoutMs.value_or(0));
            m_awaiting = true;
            return;
        }
        answer = m_plan.timeoutMs ? m_controller->transact(m_send, *m_plan.timeoutMs) : m_controller->transact(m_send);
    } catch (const MivError &e) {
        requestFailed(e.code(), e.description());
        return;
    }
    takeAnswer(answer);
}

void PlanRunner::transactDone(const QString &answer, qint32 code, const QString &description)
{
    // The outcome comes from a queued call, after the frames read with the answer were
    // delivered: the next turn can start at once.
    if (settle(answer, code, description))
        turn();
}

bool PlanRunner::settle(const QString &answer, qint32 code, const QString &description)
{
    if (!m_awaiting)
        return false;
    m_awaiting = false;
    if (code == 0)
        takeAnswer(answer);
    else
        requestFailed(code, description);
    return true;
}

void PlanRunner::requestFailed(qint32 code, const QString &description)
{
    if (code == MivCode::Timeout) {
        ++m_owed;
        endStep(description.startsWith(kTimeoutPrefix) ? description.mid(kTimeoutPrefix.size()) : description);
    } else {
        m_closed = QStringLiteral("the connection closed: ") + description;
        endStep(m_closed);
    }
}

void PlanRunner::takeAnswer(const QString &answer)
{
    const PlanStep &step = m_plan.steps.at(m_index);
    const auto latency = Clock::now() - m_sent;
    const double ms = std::chrono::duration<double, std::milli>(latency).count();
    emit exchanged(m_send, answer);
    if (m_keepLatencies)
        m_latencies.record(latency);
    m_current.answer = answer;
    m_current.us = std::chrono::duration_cast<std::chrono::microseconds>(latency).count();
    const PlanVerdict verdict = JudgePlanAnswer(step, m_expected, answer, ms);
    ++m_done;
    if (!verdict.reason.isEmpty()) {
        endStep(step.repeat > 1 ? QStringLiteral("request %1 of %2: %3").arg(m_done).arg(step.repeat).arg(verdict.reason)
                                : verdict.reason);
        return;
    }
    if (m_done < step.repeat)
        return;
    if (!step.capture.isEmpty())
        m_values.insert(step.capture, verdict.capture.value_or(answer));
    QString reason;
    if (step.p99WithinMs) {
        const double p99 = m_latencies.quantileUs(kP99) / kUsPerMs;
        if (p99 > *step.p99WithinMs)
            reason = QStringLiteral("p99 %1 ms, more than %2").arg(PlanMs(p99), PlanMs(*step.p99WithinMs));
    }
    endStep(reason);
}

void PlanRunner::endStep(const QString &reason)
{
    const PlanStep &step = m_plan.steps.at(m_index);
    m_current.passed = reason.isEmpty();
    m_current.reason = reason;
    m_current.repetitions = m_done;
    if (step.repeat > 1 || step.isPause())
        m_current.us = UsSince(m_stepStarted);
    if (step.repeat > 1 && m_done > 0) {
        m_current.p50Ms = m_latencies.quantileUs(kP50) / kUsPerMs;
        m_current.p99Ms = m_latencies.quantileUs(kP99) / kUsPerMs;
    }
    m_held = std::move(m_current);
    m_inStep = false;
    ++m_index;
}

// The held result goes out, failed by a frame that came after its answer and answered nothing.
void PlanRunner::release()
{
    if (!m_held)
        return;
    PlanStepResult result = std::move(*m_held);
    m_held.reset();
    if (!m_stray.isEmpty() && result.passed && !result.send.isEmpty()) {
        result.passed = false;
        result.reason = QStringLiteral("a frame that answers no request came after the answer: %1").arg(PlanQuote(m_stray.first()));
    }
    m_stray.clear();
    if (result.passed)
        ++m_report.passed;
    else
        ++m_report.failed;
    m_report.steps.append(result);
    emit stepFinished(result);
}

void PlanRunner::finish()
{
    release();
    m_running = false;
    m_pause.stop();
    m_turn.stop();
    m_report.elapsedMs = UsSince(m_started) / qint64(kUsPerMs);
    emit finished(m_report);
}
