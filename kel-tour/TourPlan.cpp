// The tour's stage for the Test Plan pane: a small plan run on the open connection, one step
// failing on purpose so that the picture shows a reason.
#include "Tour.h"

#include "PlanPane.h"
#include "UserActions.h"
#include "WindowControls.h"
#include "frmKELTester.h"

#include <QDockWidget>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>

using namespace UserActions;

namespace {

constexpr int kWaitMs = 10000;
// Room for the pane below the described panels in the picture.
constexpr int kPlanWidth = 980;
constexpr int kPlanHeight = 760;
const QString kPlanName = QStringLiteral("tour-plan.toml");
const QByteArray kPlan = R"([plan]
name = "tour smoke test"

[[step]]
name = "store 100"
send = "PUT:A:1:X:3,100"
expect = "0"

[[step]]
send = "GET:A:1:X:"
expect = "0,3,100"
within = 500

[[step]]
send = "GET:A:1:X:"
repeat = 100
p99_within = 500

[[step]]
name = "a wrong expectation"
send = "GET:A:1:X:"
expect = "0,3,101"
)";
const QString kSummary = QStringLiteral("tour smoke test: 3 passed, 1 failed");

} // namespace

bool Tour::runTestPlan()
{
    const QString path = m_folder.filePath(kPlanName);
    QFile file(path);
    if (!check(file.open(QIODevice::WriteOnly) && file.write(kPlan) == kPlan.size(), QStringLiteral("write ") + path))
        return false;
    file.close();
    if (!connectTo(EtherClient, m_device.port(), true))
        return false;
    frmKELTester *window = m_window.get();
    const QSize size = window->size();
    window->resize(kPlanWidth, kPlanHeight);
    Command(window, "mnuViewPlan")->trigger();
    if (!check(Control<QDockWidget>(window, "dckPlan")->isVisible(), QStringLiteral("open View > Test Plan")))
        return false;
    PlanPane *pane = window->planPane();
    // As Open... does once its dialog has the file.
    if (!check(pane->openPlan(path), QStringLiteral("open the plan ") + path))
        return false;
    QSignalSpy finished(pane, &PlanPane::planFinished);
    Click(Control<QPushButton>(window, "cmdPlanRun"));
    if (!check(finished.wait(kWaitMs) && Control<QLabel>(window, "lblPlanSummary")->text().startsWith(kSummary),
               QStringLiteral("run the plan to \"%1\"").arg(kSummary)))
        return false;
    say(QStringLiteral("View > Test Plan: a row per step, passed green, failed red with the reason"));
    const bool pictured = snapshot(window, QStringLiteral("main-plan.png"));
    Command(window, "mnuViewPlan")->trigger();
    window->resize(size);
    return pictured;
}
