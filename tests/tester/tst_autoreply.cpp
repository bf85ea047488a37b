// The Reply panel: normalisation on leaving a field, the type rule and Set.

#include "Captions.h"
#include "MainWindowFixture.h"
#include "TesterSession.h"
#include "WindowTestMain.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListView>

class tst_AutoReply : public MainWindowTest
{
    Q_OBJECT

private slots:
    void init();

    void normaliseOnLeaving_data();
    void normaliseOnLeaving();
    void typeRule();
    void set_data();
    void set();
    void setFailureFromButton();

private:
};

void tst_AutoReply::init()
{
    MainWindowTest::init();
    fixture()->EnableReply(true); // the panel as a server connection leaves it
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
    MainWindowFixture &ui = fixture();
    auto *edit = ui.control<QLineEdit>(field);
    UserActions::Click(edit);
    QTRY_COMPARE_WITH_TIMEOUT(QApplication::focusWidget(), static_cast<QWidget *>(edit), 2000);
    edit->clear();
    QTest::keyClicks(edit, typed);
    QCOMPARE(edit->text(), typed);

    ui.click("lstLog"); // the focus leaves for the log list
    QCOMPARE(edit->text(), result);
    QCOMPARE(ui.boxes.texts(), box.isEmpty() ? QStringList() : QStringList{box});
    QCOMPARE(QApplication::focusWidget(), ui.control("lstLog")); // it may always leave
}

void tst_AutoReply::typeRule()
{
    MainWindowFixture &ui = fixture();
    auto *value = ui.control<QLineEdit>("txtValue");
    auto *type = ui.control<QComboBox>("cmbVTType");
    QVERIFY(!value->isEnabled());
    value->setText(QStringLiteral("kept"));
    type->setCurrentIndex(type->findData(3));
    QVERIFY(value->isEnabled());
    type->setCurrentIndex(0);
    QVERIFY(!value->isEnabled());
    QCOMPARE(value->text(), QStringLiteral("kept"));
    // Turning the panel off and on again keeps the rule.
    type->setCurrentIndex(type->findData(8));
    ui->EnableReply(false);
    QVERIFY(!value->isEnabled());
    ui->EnableReply(true);
    QVERIFY(value->isEnabled());
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
    MainWindowFixture &ui = fixture();
    auto *type = ui.control<QComboBox>("cmbVTType");
    ui.control<QLineEdit>("txtHRESULT")->setText(hresult);
    type->setCurrentIndex(typeCode < 0 ? 0 : type->findData(typeCode));
    QVERIFY(type->currentIndex() >= 0);
    ui.control<QLineEdit>("txtValue")->setText(value);
    ui.control<QLineEdit>("txtDelay")->setText(delay);
    ui.click("cmdSet");

    QCOMPARE(ui->session().m_strAutoReply, reply);
    QCOMPARE(ui->session().m_strReplyDelay, storedDelay);
    const QList<LogEntry> expected{{LogCaption::Set, QStringLiteral("AutoReply\"%1\", Delay=%2").arg(reply, storedDelay)}};
    QCOMPARE(ui.log(), expected);
    QVERIFY(ui.boxes.isEmpty());
}

void tst_AutoReply::setFailureFromButton()
{
    MainWindowFixture &ui = fixture();
    ui.control<QComboBox>("cmbVTType")->clear(); // no type selected at all
    ui.click("cmdSet");
    const QList<LogEntry> expected{{LogCaption::Set, LogOutcome::Failed}};
    QCOMPARE(ui.log(), expected);
    QCOMPARE(ui.boxes.texts().size(), 1);
    QCOMPARE(ui.status(), StatusText::Ready);
}

KEL_WINDOW_TEST_MAIN(tst_AutoReply)
#include "tst_autoreply.moc"
