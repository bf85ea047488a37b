#include "PlanPane.h"

#include "Controls.h"
#include "MessageBox.h"
#include "MivController.h"
#include "MivMessage.h"
#include "PlanFromRecord.h"
#include "PlanParser.h"
#include "PlanReportFiles.h"
#include "PlanRunner.h"
#include "PlanStepModel.h"
#include "RecentFolder.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QPushButton>
#include <QSaveFile>
#include <QTableView>
#include <QVBoxLayout>

namespace {

// Ctrl+Shift and a letter, as the other menus beyond the described ones have.
const QKeySequence kPlanKey(Qt::CTRL | Qt::SHIFT | Qt::Key_P);
constexpr int kNameWidth = 110;
constexpr int kRequestWidth = 180;
constexpr int kExpectedWidth = 140;
constexpr int kAnswerWidth = 140;
constexpr int kTimeWidth = 80;

const QStringList kPlanFilters{QStringLiteral("Test plans (*.toml)"), QStringLiteral("All files (*)")};

bool WriteFile(const QString &path, const QByteArray &bytes, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

} // namespace

PlanPane::PlanPane(QMainWindow *window)
    : LazyDock(QStringLiteral("Test Plan"), window), m_model(new PlanStepModel(this))
{
    setObjectName(QStringLiteral("dckPlan"));
    DockHidden(window, this, window->findChild<QMenu *>(QStringLiteral("mnuView")), "mnuViewPlan",
               QStringLiteral("Test &Plan"), kPlanKey, "mnuViewSP1");
    connect(m_model, &PlanStepModel::published, this, &PlanPane::updateSummary);
}

PlanPane::~PlanPane() = default;

void PlanPane::build()
{
    if (m_view)
        return;
    auto *body = new QWidget(this);
    auto *column = new QVBoxLayout(body);
    column->setContentsMargins(0, 0, 0, 0);

    auto *bar = new QHBoxLayout;
    m_open = MakeButton(body, "cmdPlanOpen", QStringLiteral("Open..."));
    m_open->setToolTip(QStringLiteral("Open a test plan (TOML)"));
    m_run = MakeButton(body, "cmdPlanRun", QStringLiteral("Run"));
    m_stop = MakeButton(body, "cmdPlanStop", QStringLiteral("Stop"));
    m_stop->setToolTip(QStringLiteral("End the run after the request in flight"));
    m_save = MakeButton(body, "cmdPlanSaveReport", QStringLiteral("Save Report..."));
    m_save->setToolTip(QStringLiteral("Save the last run's report as JUnit XML"));
    m_fromRecord = MakeButton(body, "cmdPlanFromRecord", QStringLiteral("New from Record..."));
    m_fromRecord->setToolTip(QStringLiteral("Make a plan from a session record: each request expects its recorded answer"));
    for (QPushButton *button : {m_open, m_run, m_stop, m_save, m_fromRecord})
        bar->addWidget(button);
    bar->addStretch(1);
    column->addLayout(bar);

    m_summary = Named(new QLabel(body), "lblPlanSummary");
    column->addWidget(m_summary);

    m_view = Named(new QTableView(body), "tblPlan");
    m_view->setAccessibleName(QStringLiteral("Test plan steps"));
    m_view->setModel(m_model);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setWordWrap(false);
    m_view->verticalHeader()->hide();
    // Rows of one height: laying out does not ask every row for its size.
    m_view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_view->verticalHeader()->setDefaultSectionSize(m_view->fontMetrics().height() + 4);
    m_view->horizontalHeader()->setStretchLastSection(true);
    m_view->setColumnWidth(PlanStepModel::Step, kNameWidth);
    m_view->setColumnWidth(PlanStepModel::Request, kRequestWidth);
    m_view->setColumnWidth(PlanStepModel::Expected, kExpectedWidth);
    m_view->setColumnWidth(PlanStepModel::Answer, kAnswerWidth);
    m_view->setColumnWidth(PlanStepModel::Time, kTimeWidth);
    column->addWidget(m_view, 1);
    setWidget(body);

    connect(m_open, &QPushButton::clicked, this, &PlanPane::askOpen);
    connect(m_run, &QPushButton::clicked, this, &PlanPane::run);
    connect(m_stop, &QPushButton::clicked, this, &PlanPane::stop);
    connect(m_save, &QPushButton::clicked, this, &PlanPane::askSaveReport);
    connect(m_fromRecord, &QPushButton::clicked, this, &PlanPane::askFromRecord);
    refresh();
}

void PlanPane::setConnection(MivController *controller, PlanLinkRole role)
{
    if (m_controller)
        disconnect(m_controller.data(), &MivController::OnMessage, this, &PlanPane::onMessage);
    m_controller = controller;
    m_role = controller ? role : PlanLinkRole::None;
    // A client's link is open when the controller is made; a server's clients come later.
    m_links = m_role == PlanLinkRole::Client ? 1 : 0;
    if (controller)
        connect(controller, &MivController::OnMessage, this, &PlanPane::onMessage);
    refresh();
}

void PlanPane::onMessage(MivMessage *message)
{
    const qint32 kind = message->Kind();
    if (kind == MivMessageKind::Connected)
        m_links = m_role == PlanLinkRole::Server ? m_links + 1 : 1;
    else if (kind == MivMessageKind::Disconnected)
        m_links = qMax(0, m_links - 1);
    else
        return;
    refresh();
}

bool PlanPane::isRunning() const
{
    return m_runner && m_runner->isRunning();
}

PlanRunVerdict PlanPane::runVerdict() const
{
    return PlanRunRule(PlanRunState{m_plan.has_value(), isRunning(), m_role, m_links});
}

void PlanPane::refresh()
{
    if (!m_view)
        return;
    const PlanRunVerdict verdict = runVerdict();
    m_run->setEnabled(verdict.enabled);
    m_run->setToolTip(verdict.why);
    m_stop->setEnabled(isRunning());
    m_open->setEnabled(!isRunning());
    m_fromRecord->setEnabled(!isRunning());
    m_save->setEnabled(!isRunning() && m_report.has_value());
    updateSummary();
}

void PlanPane::updateSummary()
{
    if (!m_summary)
        return;
    QString text;
    if (!m_plan) {
        text = QStringLiteral("No plan open");
    } else if (isRunning()) {
        text = QStringLiteral("Running %1: %2 of %3 steps, %4 passed, %5 failed")
                   .arg(m_plan->name)
                   .arg(m_passed + m_failed)
                   .arg(m_plan->steps.size())
                   .arg(m_passed)
                   .arg(m_failed);
    } else if (m_report) {
        text = QStringLiteral("%1: %2 in %3 ms").arg(m_report->name, PlanSummaryLine(*m_report)).arg(m_report->elapsedMs);
        if (m_report->stopped)
            text += QStringLiteral(", stopped after %1 of %2 steps").arg(m_report->steps.size()).arg(m_plan->steps.size());
    } else {
        text = QStringLiteral("%1: %2 steps").arg(m_plan->name).arg(m_plan->steps.size());
    }
    m_summary->setText(text);
}

bool PlanPane::openPlan(const QString &path)
{
    if (isRunning())
        return false;
    QString error;
    std::optional<Plan> plan = LoadPlan(path, &error);
    if (!plan) {
        ShowMessageBox(this, error);
        return false;
    }
    m_plan = std::move(plan);
    m_report.reset();
    m_model->setPlan(*m_plan);
    refresh();
    return true;
}

bool PlanPane::newFromRecord(const QString &recordPath, const QString &planPath)
{
    QString error;
    const std::optional<QString> text = PlanFromRecord(recordPath, std::nullopt, &error);
    if (!text || !WriteFile(planPath, text->toUtf8(), &error)) {
        ShowMessageBox(this, error);
        return false;
    }
    return openPlan(planPath);
}

bool PlanPane::saveReport(const QString &path)
{
    QString error;
    if (!m_report)
        return false;
    if (!WriteFile(path, PlanJUnitXml(*m_report), &error)) {
        ShowMessageBox(this, error);
        return false;
    }
    return true;
}

void PlanPane::run()
{
    if (!runVerdict().enabled)
        return;
    m_report.reset();
    m_passed = 0;
    m_failed = 0;
    m_model->clearResults();
    m_runner = std::make_unique<PlanRunner>(*m_plan, m_controller.data());
    m_runner->waitInEventLoop(true); // a silent device must not freeze the window
    connect(m_runner.get(), &PlanRunner::stepFinished, this, &PlanPane::stepFinished);
    connect(m_runner.get(), &PlanRunner::finished, this, &PlanPane::runFinished);
    m_runner->start();
    refresh();
}

void PlanPane::stop()
{
    if (m_runner)
        m_runner->stop();
}

void PlanPane::stepFinished(const PlanStepResult &result)
{
    ++(result.passed ? m_passed : m_failed);
    m_model->addResult(result);
}

void PlanPane::runFinished(const PlanReport &report)
{
    m_report = report;
    // The runner is still in its signal: it goes at the next turn, or with the pane.
    PlanRunner *done = m_runner.release();
    done->setParent(this);
    done->deleteLater();
    m_model->publish();
    refresh();
    emit planFinished(PlanRecordEntry(report));
}

QString PlanPane::askFile(const char *name, const QString &title, bool save, const QStringList &filters,
                          const QString &suffix, const QString &suggested)
{
    QFileDialog dialog(this, title);
    dialog.setObjectName(QLatin1String(name));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setNameFilters(filters);
    dialog.setDefaultSuffix(suffix);
    if (!RecentFolder().isEmpty())
        dialog.setDirectory(RecentFolder());
    if (!suggested.isEmpty())
        dialog.selectFile(suggested);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    NoteRecentFile(dialog.selectedFiles().constFirst());
    return dialog.selectedFiles().constFirst();
}

void PlanPane::askOpen()
{
    const QString path = askFile("dlgPlanOpen", QStringLiteral("Open Test Plan"), false, kPlanFilters, {}, {});
    if (!path.isEmpty())
        openPlan(path);
}

void PlanPane::askSaveReport()
{
    const QString path = askFile("dlgPlanSaveReport", QStringLiteral("Save Report"), true,
                                 {QStringLiteral("JUnit XML (*.xml)"), QStringLiteral("All files (*)")},
                                 QStringLiteral("xml"), QStringLiteral("report.xml"));
    if (!path.isEmpty())
        saveReport(path);
}

void PlanPane::askFromRecord()
{
    const QString record = askFile("dlgPlanRecord", QStringLiteral("New Plan from Record"), false,
                                   {QStringLiteral("JSON Lines (*.jsonl)"), QStringLiteral("All files (*)")}, {}, {});
    if (record.isEmpty())
        return;
    const QString plan = askFile("dlgPlanSave", QStringLiteral("Save the New Plan"), true, kPlanFilters,
                                 QStringLiteral("toml"), QFileInfo(record).completeBaseName() + QStringLiteral(".toml"));
    if (!plan.isEmpty())
        newFromRecord(record, plan);
}
