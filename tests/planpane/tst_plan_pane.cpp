// The Test Plan pane of the main window, against kelpeer as the device.

#include "MainWindowFixture.h"
#include "PeerOptions.h"
#include "PeerProcess.h"
#include "PlanPane.h"
#include "PlanStepModel.h"
#include "TrafficMonitor.h"
#include "UserActions.h"
#include "WindowControls.h"
#include "WindowTestMain.h"

#include <QBrush>
#include <QDockWidget>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QXmlStreamReader>

using namespace UserActions;

namespace {

constexpr int kWaitMs = 20000;

bool WritePlan(const QString &path, const QByteArray &text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

QString Cell(const PlanStepModel *model, int row, int column, int role = Qt::DisplayRole)
{
    return model->index(row, column).data(role).toString();
}

// The testsuite's counts and each failure's message, read back from JUnit XML.
struct JUnitRead
{
    QString tests, failures;
    QStringList messages;
};

JUnitRead ReadJUnit(const QString &path)
{
    JUnitRead read;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return read;
    QXmlStreamReader xml(&file);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("testsuite")) {
            read.tests = xml.attributes().value("tests").toString();
            read.failures = xml.attributes().value("failures").toString();
        } else if (xml.name() == QLatin1String("failure")) {
            read.messages << xml.attributes().value("message").toString();
        }
    }
    return xml.hasError() ? JUnitRead() : read;
}

} // namespace

class tst_PlanPane : public MainWindowTest
{
    Q_OBJECT
private slots:
    void initTestCase();
    void runShowsEachStepAndReports();
    void stopEndsTheRunMidway();
    void windowAnswersWhileADeviceIsSilent();

private:
    // Shows the pane, hidden at start, through the View menu.
    PlanPane *showPane();
    // Connects the window as a client of a fresh kelpeer device.
    bool connectTo(PeerProcess &device, const QStringList &more = {});

    QTemporaryDir m_dir;
};

void tst_PlanPane::initTestCase()
{
    if (PeerProcess::program().isEmpty())
        QSKIP("KELPEER is not set");
}

PlanPane *tst_PlanPane::showPane()
{
    MainWindowFixture &ui = fixture();
    auto *pane = ui.control<QDockWidget>("dckPlan");
    if (!pane->isHidden())
        return nullptr;
    Command(ui.window.get(), "mnuViewPlan")->trigger();
    return pane->isHidden() ? nullptr : ui->planPane();
}

bool tst_PlanPane::connectTo(PeerProcess &device, const QStringList &more)
{
    if (!device.start(QStringList{QStringLiteral("--option"), EtherServerOption(0)} + more))
        return false;
    ConnChoice settings;
    settings.port = device.port();
    return fixture().connect(settings);
}

// One passing and one failing step: the rows, their colours and reason, the summary, the
// report read back, and the plan record of the session.
void tst_PlanPane::runShowsEachStepAndReports()
{
    MainWindowFixture &ui = fixture();
    PlanPane *pane = showPane();
    QVERIFY(pane);
    auto *run = ui.control<QPushButton>("cmdPlanRun");
    QVERIFY(!run->isEnabled());

    const QString planPath = m_dir.filePath(QStringLiteral("smoke.toml"));
    QVERIFY(WritePlan(planPath, "[plan]\nname = \"smoke\"\n"
                                "[[step]]\nsend = \"GET:A:1:X:\"\nmatch = '^0,.*$'\n"
                                "[[step]]\nname = \"wrong\"\nsend = \"GET:A:1:X:\"\nexpect = \"nothing like it\"\n"));
    QVERIFY(pane->openPlan(planPath));
    QVERIFY(!run->isEnabled());
    QVERIFY2(run->toolTip().startsWith(QLatin1String("Connect first")), qPrintable(run->toolTip()));

    PeerProcess device;
    QVERIFY(connectTo(device));
    QVERIFY2(run->isEnabled(), qPrintable(run->toolTip()));
    const QString record = m_dir.filePath(QStringLiteral("session.jsonl"));
    QVERIFY(ui->traffic()->startRecording(record));
    const int logRows = ui.logCount();

    QSignalSpy finished(pane, &PlanPane::planFinished);
    Click(run);
    QTRY_VERIFY_WITH_TIMEOUT(!finished.isEmpty(), kWaitMs);
    QCOMPARE(ui.logCount(), logRows); // the described log is untouched

    const PlanStepModel *model = pane->model();
    QCOMPARE(Cell(model, 0, PlanStepModel::Result), QStringLiteral("passed"));
    const QString reason = Cell(model, 1, PlanStepModel::Result);
    QVERIFY2(reason.startsWith(QLatin1String("failed: expected \"nothing like it\", got \"0,")), qPrintable(reason));
    QCOMPARE(QStringLiteral("failed: ") + Cell(model, 1, PlanStepModel::Answer, Qt::ToolTipRole), reason);
    const QColor passed = model->index(0, 0).data(Qt::BackgroundRole).value<QBrush>().color();
    const QColor failed = model->index(1, 0).data(Qt::BackgroundRole).value<QBrush>().color();
    QVERIFY(passed.green() > passed.red() && failed.red() > failed.green());
    const QString summary = ui.control<QLabel>("lblPlanSummary")->text();
    QVERIFY2(summary.startsWith(QLatin1String("smoke: 1 passed, 1 failed")), qPrintable(summary));

    const QString reportPath = m_dir.filePath(QStringLiteral("report.xml"));
    QVERIFY(ui.control<QPushButton>("cmdPlanSaveReport")->isEnabled());
    QVERIFY(pane->saveReport(reportPath)); // what the button's file dialog leads to
    const JUnitRead junit = ReadJUnit(reportPath);
    QCOMPARE(junit.tests, QStringLiteral("2"));
    QCOMPARE(junit.failures, QStringLiteral("1"));
    QCOMPARE(junit.messages, QStringList{reason.mid(QStringLiteral("failed: ").size())});

    ui->traffic()->stopRecording();
    QFile file(record);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QJsonObject plan;
    for (const QByteArray &line : file.readAll().split('\n')) {
        const QJsonObject object = QJsonDocument::fromJson(line).object();
        if (object.value("t") == QLatin1String("plan"))
            plan = object;
    }
    QCOMPARE(plan.value("name").toString(), QStringLiteral("smoke"));
    QCOMPARE(plan.value("passed").toInt(), 1);
    QCOMPARE(plan.value("failed").toInt(), 1);
}

// Stop, pressed while a long step runs, ends the run after the request in flight; the rest is
// not run.
void tst_PlanPane::stopEndsTheRunMidway()
{
    MainWindowFixture &ui = fixture();
    const QString planPath = m_dir.filePath(QStringLiteral("long.toml"));
    QVERIFY(WritePlan(planPath, "[[step]]\nsend = \"GET:A:1:X:\"\n"
                                "[[step]]\nsend = \"START\"\nrepeat = 1000000\n"
                                "[[step]]\nsend = \"STOP\"\n"));
    PeerProcess device;
    PlanPane *pane = showPane();
    QVERIFY(pane && connectTo(device));
    QVERIFY(pane->openPlan(planPath));
    QSignalSpy finished(pane, &PlanPane::planFinished);
    Click(ui.control<QPushButton>("cmdPlanRun"));
    auto *stop = ui.control<QPushButton>("cmdPlanStop");
    QVERIFY(stop->isEnabled());
    QVERIFY(!ui.control<QPushButton>("cmdPlanRun")->isEnabled());
    QVERIFY(WaitFor([&] { return !Cell(pane->model(), 0, PlanStepModel::Result).isEmpty(); }, kWaitMs));
    Click(stop); // a click runs the event loop: the run may end within it
    QTRY_VERIFY_WITH_TIMEOUT(!finished.isEmpty(), kWaitMs);

    QVERIFY(pane->report() && pane->report()->stopped);
    QCOMPARE(pane->report()->steps.size(), 2);
    const QString cut = Cell(pane->model(), 1, PlanStepModel::Result);
    QVERIFY2(cut.startsWith(QLatin1String("failed: stopped after ")), qPrintable(cut));
    QVERIFY(Cell(pane->model(), 2, PlanStepModel::Result).isEmpty());
    const QString summary = ui.control<QLabel>("lblPlanSummary")->text();
    QVERIFY2(summary.endsWith(QLatin1String("stopped after 2 of 3 steps")), qPrintable(summary));
    QVERIFY(!stop->isEnabled());
}

// While a step waits for a device that does not answer, a timer of the window still fires and
// Stop is taken; the step ends when the device goes, not at the plan's long timeout.
void tst_PlanPane::windowAnswersWhileADeviceIsSilent()
{
    MainWindowFixture &ui = fixture();
    const QString rules = m_dir.filePath(QStringLiteral("silent.toml"));
    QVERIFY(WritePlan(rules, "[[rule]]\ncommand = \"GET\"\npart = \"N\"\nfault = \"no-answer\"\n"));
    const QString planPath = m_dir.filePath(QStringLiteral("silent-plan.toml"));
    QVERIFY(WritePlan(planPath, "[plan]\ntimeout = 600000\n"
                                "[[step]]\nsend = \"GET:A:1:X:\"\n[[step]]\nsend = \"GET:N:1:X:\"\n[[step]]\nsend = \"STOP\"\n"));
    PeerProcess device;
    PlanPane *pane = showPane();
    QVERIFY(pane && connectTo(device, {QStringLiteral("--rules"), rules, QStringLiteral("--verbose")}));
    QVERIFY(pane->openPlan(planPath));
    QSignalSpy finished(pane, &PlanPane::planFinished);
    Click(ui.control<QPushButton>("cmdPlanRun"));
    QVERIFY(device.waitForReceived(2, kWaitMs)); // the silent step is in flight

    QTimer tick;
    tick.setSingleShot(true);
    QSignalSpy ticked(&tick, &QTimer::timeout);
    tick.start(0);
    QVERIFY(ticked.wait(kWaitMs));
    QVERIFY(pane->isRunning());
    Click(ui.control<QPushButton>("cmdPlanStop"));
    device.stop(); // its wait for the device to end runs the event loop: the run may end meanwhile
    QTRY_VERIFY_WITH_TIMEOUT(!finished.isEmpty(), kWaitMs);

    QVERIFY(pane->report() && pane->report()->stopped);
    QCOMPARE(pane->report()->steps.size(), 2);
    const QString gone = Cell(pane->model(), 1, PlanStepModel::Result);
    QVERIFY2(gone.startsWith(QLatin1String("failed: the connection closed: ")), qPrintable(gone));
}

KEL_WINDOW_TEST_MAIN(tst_PlanPane)
#include "tst_plan_pane.moc"
