#include "KelPlanRole.h"

#include "KelOptions.h"
#include "KelPeerText.h"
#include "KelProvider.h"
#include "MivController.h"
#include "MivError.h"
#include "MivMessage.h"
#include "PlanFromRecord.h"
#include "PlanParser.h"
#include "PlanReportFiles.h"
#include "PlanRunner.h"

namespace {
constexpr double kMsPerSecond = 1000.0;
} // namespace

KelPlanRole::KelPlanRole(KelPeerConfig config, QObject *parent)
    : QObject(parent), m_config(std::move(config)), m_clientTimer(this), m_reconnect(m_config.reconnect)
{
    connect(&m_reconnect, &KelPeerReconnect::failure, this, &KelPlanRole::failure);
    connect(&m_reconnect, &KelPeerReconnect::opened, this, [this] {
        if (m_runner)
            m_runner->reopened();
    });
    m_clientTimer.setSingleShot(true);
    connect(&m_clientTimer, &QTimer::timeout, this, [this] {
        refuse(QStringLiteral("no client connected within %1 s").arg(*m_config.waitClientMs / kMsPerSecond));
    });
}

KelPlanRole::~KelPlanRole() = default;

void KelPlanRole::verbose(const QString &line)
{
    if (m_config.verbose)
        emit output(StampedLine(line));
}

void KelPlanRole::refuse(const QString &why)
{
    emit failure(QStringLiteral("kelpeer: ") + why);
    finish(KelPeerExit::PlanBad);
}

void KelPlanRole::start()
{
    QString error;
    std::optional<Plan> plan = LoadPlan(m_config.planPath, &error);
    if (!plan) {
        refuse(error);
        return;
    }
    // The report files are opened first, so that one that cannot be written refuses the run.
    for (auto [file, path] : {std::pair{&m_junit, m_config.junitPath}, std::pair{&m_json, m_config.jsonPath}}) {
        if (path.isEmpty())
            continue;
        file->setFileName(path);
        if (!file->open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            refuse(QStringLiteral("%1: %2").arg(path, file->errorString()));
            return;
        }
    }
    bool server = false;
    try {
        server = ParseKelOptions(m_config.option).kind == KelConnKind::TcpServer;
        m_controller = m_engine.Workspaces().Item(0)->AddController(
            QString(), QLatin1String(KelProvider::kName), QStringLiteral("localhost"), m_config.option);
    } catch (const MivError &e) {
        refuse(e.description());
        return;
    }
    connect(m_controller, &MivController::OnMessage, this, &KelPlanRole::onMessage);
    m_runner = std::make_unique<PlanRunner>(std::move(*plan), m_controller);
    m_reconnect.watch(m_controller);
    m_runner->holdWhileClosed(m_config.reconnect && !server);
    connect(m_runner.get(), &PlanRunner::stepFinished, this,
            [this](const PlanStepResult &result) { emit output(PlanResultLine(result)); });
    if (m_config.verbose) {
        connect(m_runner.get(), &PlanRunner::exchanged, this, [this](const QString &request, const QString &answer) {
            verbose(QStringLiteral("> ") + request);
            verbose(QStringLiteral("< ") + answer);
        });
    }
    connect(m_runner.get(), &PlanRunner::finished, this, &KelPlanRole::planDone);
    emit output(QStringLiteral("ready ") + m_controller->localAddress());
    if (!server)
        m_runner->start();
    else if (m_config.waitClientMs)
        m_clientTimer.start(*m_config.waitClientMs);
}

void KelPlanRole::onMessage(MivMessage *message)
{
    if (message->Kind() == MivMessageKind::Connected) {
        verbose(QStringLiteral("connected ") + message->Value().bstr());
        m_clientTimer.stop();
        if (!m_done && !m_runner->isRunning() && m_runner->report().steps.isEmpty())
            m_runner->start();
    } else if (message->Kind() == MivMessageKind::Disconnected) {
        verbose(QStringLiteral("disconnected ") + message->Value().bstr());
        if (!m_done)
            m_reconnect.lineGone(QStringLiteral("the line to %1 has gone").arg(message->Value().bstr()));
    } else if (message->Kind() == MivMessageKind::Error) {
        emit failure(QStringLiteral("kelpeer: ") + message->Value().bstr());
    }
}

void KelPlanRole::planDone(const PlanReport &report)
{
    // A report that cannot be written is a bad --junit or --json: CI must not take it as run.
    bool written = true;
    const auto write = [this, &written](QFile &file, QByteArray (*format)(const PlanReport &), const PlanReport &report) {
        if (!file.isOpen())
            return;
        const QByteArray bytes = format(report);
        if (file.write(bytes) != bytes.size() || !file.flush()) {
            emit failure(QStringLiteral("kelpeer: %1: %2").arg(file.fileName(), file.errorString()));
            written = false;
        }
        file.close();
    };
    write(m_junit, &PlanJUnitXml, report);
    write(m_json, &PlanJson, report);
    emit output(PlanSummaryLine(report));
    finish(!written ? KelPeerExit::PlanBad : report.allPassed() ? KelPeerExit::Ok : KelPeerExit::PlanFailed);
}

void KelPlanRole::finish(int code)
{
    if (m_done)
        return;
    m_done = true;
    m_clientTimer.stop();
    QMetaObject::invokeMethod(this, [this, code] { emit finished(code); }, Qt::QueuedConnection);
}

int WritePlanFromRecord(const KelPeerConfig &config, QString *out, QString *error)
{
    const std::optional<QString> plan = PlanFromRecord(config.planFromPath, config.withinFactor, error);
    if (!plan)
        return KelPeerExit::Failure;
    *out = *plan;
    return KelPeerExit::Ok;
}
