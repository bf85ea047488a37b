#include "KelLoad.h"

#include "KelAnswer.h"
#include "KelOptions.h"
#include "KelPeerText.h"
#include "KelProvider.h"
#include "MivController.h"
#include "MivError.h"
#include "MivMessage.h"

#include <QFile>

#include <cmath>

namespace {
constexpr double kMsPerSecond = 1000.0;
} // namespace

KelLoad::KelLoad(KelPeerConfig config, QObject *parent)
    : QObject(parent), m_config(std::move(config)), m_rateTimer(this), m_durationTimer(this), m_clientTimer(this)
{
    for (const QString &text : std::as_const(m_config.sendTexts)) {
        if (!m_tally.operations.contains(text)) {
            m_tally.operations << text;
            m_tally.latencies.append(LatencyHistogram());
        }
        m_operationOfText.push_back(int(m_tally.operations.indexOf(text)));
    }
    m_rateTimer.setSingleShot(true);
    m_rateTimer.setTimerType(Qt::PreciseTimer);
    m_durationTimer.setSingleShot(true);
    m_clientTimer.setSingleShot(true);
    connect(&m_rateTimer, &QTimer::timeout, this, &KelLoad::fillAll);
    connect(&m_durationTimer, &QTimer::timeout, this, [this] {
        m_sending = false;
        maybeFinish();
    });
    connect(&m_clientTimer, &QTimer::timeout, this, [this] {
        emit failure(QStringLiteral("kelpeer: no client connected within %1 s").arg(*m_config.waitClientMs / kMsPerSecond));
        m_done = true;
        emit finished(KelPeerExit::Failure);
    });
}

KelLoad::~KelLoad() = default;

void KelLoad::start()
{
    const KelSettings settings = ParseKelOptions(m_config.option);
    if (!m_config.jsonPath.isEmpty()) {
        // Refused before anything is sent, not after the run.
        m_json.setFileName(m_config.jsonPath);
        if (!m_json.open(QIODevice::WriteOnly | QIODevice::Truncate))
            throw MivError(MivCode::Fail, QStringLiteral("cannot write %1: %2").arg(m_config.jsonPath, m_json.errorString()));
    }
    m_timeout = std::chrono::milliseconds(settings.timeoutMs);
    m_server = settings.kind == KelConnKind::TcpServer;
    m_clients.resize(std::size_t(m_config.clients));
    for (std::size_t i = 0; i < m_clients.size(); ++i) {
        Client &client = m_clients[i];
        client.timer = std::make_unique<QTimer>();
        client.timer->setSingleShot(true);
        connect(client.timer.get(), &QTimer::timeout, this, [this, i] { expire(i); });
        client.controller = connectClient(i);
        client.open = !m_server; // a server's client is the one that connects
        client.triesInARow = 1;
    }
    m_tally.connections = m_config.clients;
    emit output(QStringLiteral("ready ") + m_clients.front().controller->localAddress());
    if (m_server) {
        if (m_config.waitClientMs)
            m_clientTimer.start(*m_config.waitClientMs);
        return;
    }
    QMetaObject::invokeMethod(this, &KelLoad::begin, Qt::QueuedConnection);
}

void KelLoad::begin()
{
    m_started = true;
    m_clock.start();
    if (m_config.durationMs)
        m_durationTimer.start(*m_config.durationMs);
    fillAll();
    maybeFinish();
}

MivController *KelLoad::connectClient(std::size_t index)
{
    MivController *controller = m_engine.Workspaces().Item(0)->AddController(
        QString(), QLatin1String(KelProvider::kName), QStringLiteral("localhost"), m_config.option);
    connect(controller, &MivController::OnMessage, this, [this, index](MivMessage *m) { onMessage(index, m); });
    return controller;
}

void KelLoad::onMessage(std::size_t index, MivMessage *message)
{
    Client &client = m_clients[index];
    switch (message->Kind()) {
    case MivMessageKind::Request:
    case MivMessageKind::Unsolicited: {
        const QString text = message->Value().bstr();
        verbose(QStringLiteral("< ") + text);
        client.triesInARow = 0;
        client.retryMs = 0;
        takeFrame(client, text);
        fill(index);
        maybeFinish();
        break;
    }
    case MivMessageKind::Error:
        noteFailure(index, message->Value().bstr());
        break;
    case MivMessageKind::Connected:
        verbose(QStringLiteral("connected ") + message->Value().bstr());
        if (m_server) {
            client.open = true;
            m_clientTimer.stop();
            if (!m_started)
                begin();
            else
                fill(index);
        }
        break;
    case MivMessageKind::Disconnected:
        verbose(QStringLiteral("disconnected ") + message->Value().bstr());
        lineGone(index);
        break;
    default:
        break;
    }
}

void KelLoad::takeFrame(Client &client, const QString &text)
{
    const Clock::time_point now = Clock::now();
    if (client.inFlight.empty() || (client.owedLate > 0 && now < client.lateUntil)) {
        client.owedLate = qMax(0, client.owedLate - 1);
        ++m_tally.stray;
        return;
    }
    client.owedLate = 0;
    const InFlight request = client.inFlight.front();
    client.inFlight.pop_front();
    armTimeout(client);
    const auto latency = now - request.sent;
    m_tally.latencies[request.operation].record(latency);
    m_tally.all.record(latency);
    try {
        const KelAnswer answer = ParseKelAnswer(text);
        if (answer.hresult < 0)
            ++m_tally.errorsByCode[answer.hresult];
        else
            ++m_tally.answers;
    } catch (const MivError &) {
        ++m_tally.unreadable;
    }
}

// The connection went: what was in flight is lost. A client connection is made again.
void KelLoad::lineGone(std::size_t index)
{
    Client &client = m_clients[index];
    if (!client.open)
        return;
    client.open = false;
    client.timer->stop();
    m_tally.closed += qint64(client.inFlight.size());
    client.inFlight.clear();
    client.owedLate = 0;
    if (m_started) {
        ++m_tally.closes;
        noteFailure(index, QStringLiteral("the device closed the connection"));
    }
    retry(index);
    maybeFinish();
}

// Makes the connection again after its back-off, unless the run is over or it has had its tries.
void KelLoad::retry(std::size_t index)
{
    Client &client = m_clients[index];
    if (m_server || m_done || !m_sending)
        return;
    if (client.triesInARow >= kMaxTriesInARow) {
        noteFailure(index, QStringLiteral("given up after %1 connections in a row without an answer").arg(kMaxTriesInARow));
        return;
    }
    client.reconnecting = true;
    client.retryMs = client.retryMs == 0 ? kFirstRetryMs : qMin(2 * client.retryMs, kMaxRetryMs);
    QTimer::singleShot(client.retryMs, this, [this, index] { reconnect(index); });
}

void KelLoad::reconnect(std::size_t index)
{
    Client &client = m_clients[index];
    client.reconnecting = false;
    if (m_done)
        return;
    if (client.controller)
        m_engine.Workspaces().Item(0)->Controllers().Remove(client.controller->Index());
    client.controller = nullptr;
    ++client.triesInARow;
    try {
        client.controller = connectClient(index);
        client.open = true;
        fill(index);
    } catch (const MivError &e) {
        noteFailure(index, e.description());
        retry(index);
    }
    maybeFinish();
}

void KelLoad::fillAll()
{
    const std::size_t n = m_clients.size();
    for (std::size_t k = 0; k < n; ++k)
        fill((m_nextClient + k) % n);
    m_nextClient = (m_nextClient + 1) % n;
    maybeFinish();
}

void KelLoad::fill(std::size_t index)
{
    Client &client = m_clients[index];
    while (client.open && std::size_t(m_config.pipeline) > client.inFlight.size() && mayIssue())
        send(index);
}

bool KelLoad::mayIssue()
{
    if (!m_started || m_done || !m_sending)
        return false;
    if (!m_config.durationMs && m_tally.requests >= m_config.count) {
        m_sending = false;
        return false;
    }
    if (m_config.rate <= 0)
        return true;
    // Request n is due n / rate seconds after the start.
    const double dueMs = double(m_tally.requests) * kMsPerSecond / m_config.rate;
    const double nowMs = double(m_clock.nsecsElapsed()) / 1e6;
    if (dueMs <= nowMs)
        return true;
    if (!m_rateTimer.isActive())
        m_rateTimer.start(int(std::ceil(dueMs - nowMs)));
    return false;
}

void KelLoad::send(std::size_t index)
{
    Client &client = m_clients[index];
    const int textIndex = int(m_tally.requests % m_config.sendTexts.size());
    const QString &text = m_config.sendTexts.at(textIndex);
    ++m_tally.requests;
    try {
        client.controller->Execute(QStringLiteral("Send"), text);
    } catch (const MivError &e) {
        noteFailure(index, e.description());
        ++m_tally.closed;
        lineGone(index);
        return;
    }
    verbose(QStringLiteral("> ") + text);
    client.inFlight.push_back({m_operationOfText[std::size_t(textIndex)], Clock::now()});
    if (client.inFlight.size() == 1)
        armTimeout(client);
}

void KelLoad::armTimeout(Client &client)
{
    if (client.inFlight.empty()) {
        client.timer->stop();
        return;
    }
    const auto left = client.inFlight.front().sent + m_timeout - Clock::now();
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    client.timer->start(int(qMax<qint64>(0, ms)));
}

// Requests past their Timeout; a frame within another Timeout is their late answer.
void KelLoad::expire(std::size_t index)
{
    Client &client = m_clients[index];
    const Clock::time_point now = Clock::now();
    while (!client.inFlight.empty() && client.inFlight.front().sent + m_timeout <= now) {
        client.inFlight.pop_front();
        ++m_tally.timeouts;
        ++client.owedLate;
        client.lateUntil = now + m_timeout;
    }
    armTimeout(client);
    fill(index);
    maybeFinish();
}

void KelLoad::maybeFinish()
{
    if (m_done || !m_started)
        return;
    if (m_sending && (m_config.durationMs || m_tally.requests < m_config.count)) {
        bool anyAlive = false;
        for (const Client &client : m_clients)
            anyAlive = anyAlive || client.open || client.reconnecting || m_server;
        if (anyAlive)
            return;
    }
    for (const Client &client : m_clients) {
        if (!client.inFlight.empty())
            return;
    }
    finish();
}

void KelLoad::finish()
{
    m_done = true;
    m_tally.elapsedMs = double(m_clock.nsecsElapsed()) / 1e6;
    m_rateTimer.stop();
    m_durationTimer.stop();
    for (Client &client : m_clients)
        client.timer->stop();
    for (const QString &line : LoadSummaryText(m_tally).split(u'\n', Qt::SkipEmptyParts))
        emit output(line);
    reportFailures();
    int code = exitCode();
    if (m_json.isOpen()) {
        const QByteArray json = LoadSummaryJson(m_tally);
        if (m_json.write(json) != json.size() || !m_json.flush()) {
            emit failure(QStringLiteral("kelpeer: cannot write %1: %2").arg(m_config.jsonPath, m_json.errorString()));
            code = KelPeerExit::Failure;
        }
        m_json.close();
    }
    const double p99Ms = m_tally.all.quantileUs(0.99) / kMsPerSecond;
    if (m_config.maxP99Ms && p99Ms > *m_config.maxP99Ms) {
        emit failure(QStringLiteral("kelpeer: p99 %1 ms is above --max-p99 %2")
                         .arg(QString::number(p99Ms, 'f', 3))
                         .arg(*m_config.maxP99Ms));
        code = code == KelPeerExit::Ok ? KelPeerExit::LimitExceeded : code;
    }
    if (m_config.maxErrors && m_tally.failures() > *m_config.maxErrors) {
        emit failure(QStringLiteral("kelpeer: %1 requests failed, more than --max-errors %2")
                         .arg(m_tally.failures())
                         .arg(*m_config.maxErrors));
        code = code == KelPeerExit::Ok ? KelPeerExit::LimitExceeded : code;
    }
    QMetaObject::invokeMethod(this, [this, code] { emit finished(code); }, Qt::QueuedConnection);
}

// Without --max-errors a request that got no answer (a timeout, or lost to a close) fails the
// run; with it, the limit decides.
int KelLoad::exitCode() const
{
    const bool unsent = !m_config.durationMs && m_tally.requests < m_config.count;
    const bool unanswered = !m_config.maxErrors && (m_tally.timeouts > 0 || m_tally.closed > 0);
    return unsent || unanswered ? KelPeerExit::Failure : KelPeerExit::Ok;
}

void KelLoad::noteFailure(std::size_t index, const QString &description)
{
    for (FailureKind &kind : m_failures) {
        if (kind.client == index && kind.description == description) {
            ++kind.count;
            return;
        }
    }
    m_failures.push_back({index, description, 1});
}

void KelLoad::reportFailures()
{
    for (const FailureKind &kind : m_failures)
        emit failure(QStringLiteral("kelpeer: connection %1: %2%3")
                         .arg(kind.client + 1)
                         .arg(kind.description, kind.count > 1 ? QStringLiteral(" (%1 times)").arg(kind.count) : QString()));
    if (!m_config.maxErrors && (m_tally.timeouts > 0 || m_tally.closed > 0))
        emit failure(QStringLiteral("kelpeer: %1 of %2 requests got no answer (%3 timeouts, %4 lost to a close)")
                         .arg(m_tally.timeouts + m_tally.closed)
                         .arg(m_tally.requests)
                         .arg(m_tally.timeouts)
                         .arg(m_tally.closed));
    if (!m_config.durationMs && m_tally.requests < m_config.count)
        emit failure(QStringLiteral("kelpeer: %1 of %2 requests were sent: no connection was left for the rest")
                         .arg(m_tally.requests)
                         .arg(m_config.count));
}

void KelLoad::verbose(const QString &line)
{
    if (m_config.verbose)
        emit output(StampedLine(line));
}
