#pragma once

#include "KelPeerConfig.h"
#include "KelPeerReconnect.h"
#include "MivEngine.h"

#include <QFile>
#include <QObject>
#include <QTimer>

#include <memory>

class MivController;
class MivMessage;
class PlanRunner;
struct PlanReport;

// kelpeer --plan: runs a test plan as the host and prints a line per step, then
// "N passed, N failed". On a server option string the plan starts when the first client
// connects. Finishes with 0 when every step passed, 1 when one failed, 2 when the plan, a report
// file or the connection is refused (then nothing was sent). With --reconnect a lost client or
// serial line is opened again and the plan goes on with its next step.
class KelPlanRole : public QObject
{
    Q_OBJECT
public:
    explicit KelPlanRole(KelPeerConfig config, QObject *parent = nullptr);
    ~KelPlanRole() override;

    // Never throws: a refusal is a failure line and finished(2).
    void start();

signals:
    void output(const QString &line);
    void failure(const QString &line);
    void finished(int exitCode);

private:
    void onMessage(MivMessage *message);
    void planDone(const PlanReport &report);
    void refuse(const QString &why);
    void finish(int code);
    void verbose(const QString &line);

    KelPeerConfig m_config;
    MivEngine m_engine;
    MivController *m_controller = nullptr;
    std::unique_ptr<PlanRunner> m_runner;
    QFile m_junit;
    QFile m_json;
    QTimer m_clientTimer;
    KelPeerReconnect m_reconnect;
    bool m_done = false;
};

// kelpeer --plan-from: the plan on standard output, or a failure line. The exit status.
int WritePlanFromRecord(const KelPeerConfig &config, QString *out, QString *error);
