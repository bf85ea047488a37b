#pragma once

#include "LazyDock.h"
#include "Plan.h"
#include "PlanReport.h"
#include "PlanRunRule.h"
#include "RecordEntries.h"

#include <QPointer>

#include <memory>
#include <optional>

class MivController;
class MivMessage;
class PlanRunner;
class PlanStepModel;
class QLabel;
class QMainWindow;
class QPushButton;
class QTableView;

// The Test Plan pane: a dock of the main window, hidden at start, whose item goes into the
// View menu before its separator. It opens a plan (or makes one from a session record), runs
// it on the window's open connection, each wait for an answer in the event loop, shows a row per
// step and a summary line, and saves the report as JUnit XML. Its contents are made when it
// is first shown.
class PlanPane : public LazyDock
{
    Q_OBJECT
public:
    explicit PlanPane(QMainWindow *window);
    ~PlanPane() override;

    // The connection plans run on; nullptr when there is none. A server's clients are counted
    // from the controller's messages.
    void setConnection(MivController *controller, PlanLinkRole role);

    // Without asking for files; false, with a message box saying why, when it cannot be done.
    bool openPlan(const QString &path);
    // Writes a plan made from a client's session record to planPath and opens it.
    bool newFromRecord(const QString &recordPath, const QString &planPath);
    bool saveReport(const QString &path);
    void run();
    // Ends the run after the request in flight.
    void stop();

    bool isRunning() const;
    PlanRunVerdict runVerdict() const;
    // The last run's report, once one has finished.
    const std::optional<PlanReport> &report() const { return m_report; }
    PlanStepModel *model() const { return m_model; }

signals:
    // Each finished run, for the session record.
    void planFinished(const RecordedPlan &plan);

private:
    void build() override;
    void refresh();
    void updateSummary();
    void askOpen();
    void askSaveReport();
    void askFromRecord();
    void onMessage(MivMessage *message);
    void stepFinished(const PlanStepResult &result);
    void runFinished(const PlanReport &report);
    QString askFile(const char *name, const QString &title, bool save, const QStringList &filters,
                    const QString &suffix, const QString &suggested);

    PlanStepModel *m_model;
    std::optional<Plan> m_plan;
    std::unique_ptr<PlanRunner> m_runner;
    std::optional<PlanReport> m_report;
    QPointer<MivController> m_controller;
    PlanLinkRole m_role = PlanLinkRole::None;
    int m_links = 0;
    int m_passed = 0;
    int m_failed = 0;

    QPushButton *m_open = nullptr;
    QPushButton *m_run = nullptr;
    QPushButton *m_stop = nullptr;
    QPushButton *m_save = nullptr;
    QPushButton *m_fromRecord = nullptr;
    QLabel *m_summary = nullptr;
    QTableView *m_view = nullptr;
};
