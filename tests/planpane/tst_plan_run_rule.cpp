#include "PlanRunRule.h"

#include <QTest>

Q_DECLARE_METATYPE(PlanLinkRole)

class tst_PlanRunRule : public QObject
{
    Q_OBJECT
private slots:
    void runIsEnabledOnlyWhereAPlanCanRun_data();
    void runIsEnabledOnlyWhereAPlanCanRun();
};

void tst_PlanRunRule::runIsEnabledOnlyWhereAPlanCanRun_data()
{
    QTest::addColumn<bool>("planOpen");
    QTest::addColumn<bool>("running");
    QTest::addColumn<PlanLinkRole>("role");
    QTest::addColumn<int>("links");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QString>("why"); // the start of the tool tip

    QTest::newRow("a client with a plan") << true << false << PlanLinkRole::Client << 1 << true << "Run the plan";
    QTest::newRow("a server with a client") << true << false << PlanLinkRole::Server << 2 << true << "Run the plan";
    QTest::newRow("no plan") << false << false << PlanLinkRole::Client << 1 << false << "Open a plan first";
    QTest::newRow("running") << true << true << PlanLinkRole::Client << 1 << false << "A plan is running";
    QTest::newRow("not connected") << true << false << PlanLinkRole::None << 0 << false << "Connect first";
    QTest::newRow("a serial server") << true << false << PlanLinkRole::AnswerOnly << 1 << false << "A serial server only answers";
    QTest::newRow("a server before any client") << true << false << PlanLinkRole::Server << 0 << false << "No client has connected";
    QTest::newRow("a client whose link closed") << true << false << PlanLinkRole::Client << 0 << false << "The connection has closed";
    QTest::newRow("no plan and not connected: the plan is named first")
        << false << false << PlanLinkRole::None << 0 << false << "Open a plan first";
}

void tst_PlanRunRule::runIsEnabledOnlyWhereAPlanCanRun()
{
    QFETCH(bool, planOpen);
    QFETCH(bool, running);
    QFETCH(PlanLinkRole, role);
    QFETCH(int, links);
    QFETCH(bool, enabled);
    QFETCH(QString, why);
    const PlanRunVerdict verdict = PlanRunRule(PlanRunState{planOpen, running, role, links});
    QCOMPARE(verdict.enabled, enabled);
    QVERIFY2(verdict.why.startsWith(why), qPrintable(verdict.why));
}

QTEST_APPLESS_MAIN(tst_PlanRunRule)
#include "tst_plan_run_rule.moc"
