// The Reply panel: normalisation on leaving a field, the type rule and Set.

#include "EngineObjects.h"
#include "MainWindowDriver.h"
#include "UserActions.h"
#include "MessagingHarness.h"

#include "MivConverter.h"
#include "MivEngine.h"
#include "frmKELTester.h"
#include "modMain.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTest>

#include <memory>

using namespace Messaging;
using namespace MainWindowDriver;

class tst_AutoReply : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void normaliseOnLeaving_data();
    void normaliseOnLeaving();
    void typeRule();
    void set_data();
    void set();
    void setFailureFromButton();

private:
    std::unique_ptr<frmKELTester> m_window;
    std::unique_ptr<MessageBoxSpy> m_boxes;
};

void tst_AutoReply::initTestCase()
{
    QApplication::setQuitOnLastWindowClosed(false);
    g_mivEngine = new MivEngine;
    g_mivConverter = new MivConverter;
}

void tst_AutoReply::init()
{
    m_boxes = std::make_unique<MessageBoxSpy>();
    m_window = std::make_unique<frmKELTester>();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    m_window->EnableReply(true); // the panel as a server connection leaves it
}

void tst_AutoReply::cleanup()
{
    m_window.reset();
    m_boxes.reset();
}

void tst_AutoReply::cleanupTestCase()
{
    delete g_mivEngine;
    g_mivEngine = nullptr;
    delete g_mivConverter;
    g_mivConverter = nullptr;
}

void tst_AutoReply::normaliseOnLeaving_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("result");
    QTest::addColumn<QString>("box");

    for (const char *field : {"txtHRESULT", "txtDelay"}) {
        auto row = [field](const char *name) {
            return &QTest::newRow(qPrintable(QStringLiteral("%1: %2").arg(QLatin1String(field), QLatin1String(name))));
        };
        *row("hex pattern") << field << "&H80004005" << "-2147467259" << "";
        *row("octal") << field << "&O17" << "15" << "";
        *row("half to even down") << field << "12.5" << "12" << "";
        *row("half to even up") << field << "13.5" << "14" << "";
        *row("exponent") << field << " -1.5e2" << "-150" << "";
        *row("leading number only") << field << "  42ms" << "42" << "";
        *row("no number") << field << "abc" << "0" << "";
        *row("empty") << field << "" << "0" << "";
        *row("lowest") << field << "-2147483648" << "-2147483648" << "";
        *row("overflow") << field << "3000000000" << "3000000000" << "6:Overflow";
        *row("overflow below") << field << "-2147483649" << "-2147483649" << "6:Overflow";
    }
}

void tst_AutoReply::normaliseOnLeaving()
{
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(QString, result);
    QFETCH(QString, box);
    frmKELTester &w = *m_window;
    auto *edit = w.findChild<QLineEdit *>(field);
    QVERIFY(edit);
    UserActions::Click(edit);
    QTRY_COMPARE_WITH_TIMEOUT(QApplication::focusWidget(), static_cast<QWidget *>(edit), 2000);
    edit->clear();
    QTest::keyClicks(edit, typed);
    QCOMPARE(edit->text(), typed);

    UserActions::Click(w.lstLog); // the focus leaves for the log list
    QCOMPARE(edit->text(), result);
    QCOMPARE(m_boxes->texts(), box.isEmpty() ? QStringList() : QStringList{box});
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(w.lstLog)); // it may always leave
}

void tst_AutoReply::typeRule()
{
    frmKELTester &w = *m_window;
    QVERIFY(!w.txtValue->isEnabled());
    w.txtValue->setText(QStringLiteral("kept"));
    w.cmbVTType->setCurrentIndex(w.cmbVTType->findData(3));
    QVERIFY(w.txtValue->isEnabled());
    w.cmbVTType->setCurrentIndex(0);
    QVERIFY(!w.txtValue->isEnabled());
    QCOMPARE(w.txtValue->text(), QStringLiteral("kept"));
    // Turning the panel off and on again keeps the rule.
    w.cmbVTType->setCurrentIndex(w.cmbVTType->findData(8));
    w.EnableReply(false);
    QVERIFY(!w.txtValue->isEnabled());
    w.EnableReply(true);
    QVERIFY(w.txtValue->isEnabled());
}

void tst_AutoReply::set_data()
{
    QTest::addColumn<QString>("hresult");
    QTest::addColumn<int>("typeCode"); // -1: "(nothing)"
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("delay");
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("storedDelay");

    QTest::newRow("start values") << "0" << -1 << "" << "0" << "0" << "0";
    QTest::newRow("nothing ignores the value") << "-1" << -1 << "xyz" << "5" << "-1" << "5";
    QTest::newRow("long 100") << "0" << 3 << "100" << "0" << "0,3,100" << "0";
    QTest::newRow("text with commas") << "0" << 8 << "a,b,,c" << "0" << "0,8,a,b,,c" << "0";
    QTest::newRow("delay kept unrounded") << "0" << -1 << "" << "12.5" << "0" << "12.5";
    QTest::newRow("delay leading number") << "0" << -1 << "" << "  250ms" << "0" << "250";
    QTest::newRow("delay hex") << "0" << -1 << "" << "&H10" << "0" << "16";
    QTest::newRow("delay no number") << "0" << -1 << "" << "abc" << "0" << "0";
    QTest::newRow("delay beyond 32 bits") << "0" << -1 << "" << "3000000000" << "0" << "3000000000";
}

void tst_AutoReply::set()
{
    QFETCH(QString, hresult);
    QFETCH(int, typeCode);
    QFETCH(QString, value);
    QFETCH(QString, delay);
    QFETCH(QString, reply);
    QFETCH(QString, storedDelay);
    frmKELTester &w = *m_window;
    w.txtHRESULT->setText(hresult);
    w.cmbVTType->setCurrentIndex(typeCode < 0 ? 0 : w.cmbVTType->findData(typeCode));
    QVERIFY(w.cmbVTType->currentIndex() >= 0);
    w.txtValue->setText(value);
    w.txtDelay->setText(delay);
    UserActions::Click(w.cmdSet);

    QCOMPARE(w.m_strAutoReply, reply);
    QCOMPARE(w.m_strReplyDelay, storedDelay);
    const QList<LogEntry> expected{{QStringLiteral("Set\t\t"),
                                    QStringLiteral("AutoReply\"%1\", Delay=%2").arg(reply, storedDelay)}};
    QCOMPARE(LogEntries(w), expected);
    QVERIFY(m_boxes->texts().isEmpty());
}

void tst_AutoReply::setFailureFromButton()
{
    frmKELTester &w = *m_window;
    w.cmbVTType->clear(); // no type selected at all
    UserActions::Click(w.cmdSet);
    const QList<LogEntry> expected{{QStringLiteral("Set\t\t"), QStringLiteral("Failed")}};
    QCOMPARE(LogEntries(w), expected);
    QCOMPARE(m_boxes->texts().size(), 1);
    QCOMPARE(w.statusText(), QStringLiteral("Ready."));
}

QTEST_MAIN(tst_AutoReply)
#include "tst_autoreply.moc"
