#include "ShownWindow.h"
#include "WindowTestMain.h"
#include "frmPerfChk.h"
#include "modAPI.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTreeWidget>

class tst_frmPerfChk : public QObject
{
    Q_OBJECT
private slots:
    void designState();
    void layout();
    void enableRules_data();
    void enableRules();
    void typeRule_data();
    void typeRule();
    void fieldCheck_data();
    void fieldCheck();
    void fieldCheckStopsStart();
    void upDownRule_data();
    void upDownRule();
    void upArrowClick();
    void digitsOnlyTyping();
    void escapeDoesNotClose();
    void priorityWhileOpen();
    void startsFromSettings_data();
    void startsFromSettings();
};

Q_DECLARE_METATYPE(PerfSettings)

namespace {

using PerfWindow = ShownWindow<frmPerfChk>;

// Enabled state of the controls the rules govern, in this order.
const QStringList kGoverned = {
    QStringLiteral("txtHour"),        QStringLiteral("lblTimeDelimiter"), QStringLiteral("txtMinute"),
    QStringLiteral("txtPatternCount"), QStringLiteral("udPatternCount"),  QStringLiteral("lblValue"),
    QStringLiteral("cmbValueType"),    QStringLiteral("txtValue"),        QStringLiteral("chkDataCheck"),
    QStringLiteral("cmdStart"),        QStringLiteral("cmdStop")};

QString enabledPattern(const PerfWindow &w)
{
    QString bits;
    for (const QString &name : kGoverned)
        bits += w.control(name)->isEnabled() ? u'1' : u'0';
    return bits;
}

} // namespace

void tst_frmPerfChk::designState()
{
    PerfWindow w;
    QVERIFY(w.ready);
    QCOMPARE(w->windowTitle(), QStringLiteral("[ Performance Check ]"));
    QVERIFY(w.control<QRadioButton>(QStringLiteral("optPattern(1)"))->isChecked());
    QVERIFY(w.control<QRadioButton>(QStringLiteral("optReadWrite(0)"))->isChecked());
    QCOMPARE(w.control<QLineEdit>(QStringLiteral("txtPatternCount"))->text(), QStringLiteral("1"));
    QCOMPARE(w.control<QLineEdit>(QStringLiteral("txtHour"))->text(), QStringLiteral("0"));
    QCOMPARE(w.control<QLineEdit>(QStringLiteral("txtMinute"))->text(), QStringLiteral("1"));
    auto *types = w.control<QComboBox>(QStringLiteral("cmbValueType"));
    QCOMPARE(types->count(), 22);
    QCOMPARE(types->currentText(), QStringLiteral("BSTR"));
    QVERIFY(!w.control<QCheckBox>(QStringLiteral("chkDataCheck"))->isChecked());
    //                          hour : min cnt ud lbl cmb val chk start stop
    QCOMPARE(enabledPattern(w), QStringLiteral("000" "11" "000" "0" "1" "0"));
    QVERIFY(w.boxes.isEmpty());
}

// The window is at least its designed size; every column shows its caption and a whole time
// stamp from the start, and the list grows with the window.
void tst_frmPerfChk::layout()
{
    PerfWindow w;
    QCOMPARE(w.window->objectName(), QStringLiteral("frmPerfChk"));
    auto *list = w.control<QTreeWidget>(QStringLiteral("lvResult"));
    // The described controls keep at least the designed size beside the statistics.
    QVERIFY(list->parentWidget()->width() >= 500 && list->parentWidget()->height() >= 332);
    QCOMPARE(list->columnCount(), 3);
    const QList<int> widths = {60, 120, 113};
    const QStringList captions = {QStringLiteral("Action"), QStringLiteral("Time"),
                                  QStringLiteral("Time Required (ms)")};
    int total = 0;
    for (int c = 0; c < 3; ++c) {
        QVERIFY(list->columnWidth(c) >= widths[c]);
        QVERIFY(list->columnWidth(c) >= list->header()->sectionSizeHint(c));
        QCOMPARE(list->headerItem()->text(c), captions[c]);
        total += list->columnWidth(c);
    }
    QVERIFY(list->columnWidth(1) > list->fontMetrics().horizontalAdvance(QStringLiteral("12/31 23:59:59.999")));
    // In the designed proportion 900:1800:1700, to the pixel a rounding up may add.
    const int twips[] = {900, 1800, 1700};
    for (int c = 1; c < 3; ++c) {
        const double pixelsPerTwip = double(list->columnWidth(c)) / twips[c];
        QVERIFY2(std::abs(pixelsPerTwip - double(list->columnWidth(0)) / twips[0]) <= 1.0 / twips[0],
                 qPrintable(QStringLiteral("%1 px of %2").arg(list->columnWidth(c)).arg(list->columnWidth(0))));
    }
    QVERIFY(list->viewport()->width() >= total);
    QVERIFY(list->headerItem()->textAlignment(2) & Qt::AlignRight);
    // Every named control, the statistics' included, lies inside the client area.
    for (QWidget *child : w.window->findChildren<QWidget *>()) {
        if (child->objectName().isEmpty() || child->objectName().startsWith(QLatin1String("qt_")))
            continue;
        const QRect area(child->mapTo(w.window.get(), QPoint()), child->size());
        QVERIFY2(w.window->rect().contains(area), qPrintable(child->objectName()));
    }
    QCOMPARE(w.control<QRadioButton>(QStringLiteral("optReadWrite(2)"))->text(), QStringLiteral("Write && Read"));

    const QSize before = list->size();
    w.window->resize(w.window->size() + QSize(100, 80));
    QTRY_VERIFY(list->width() > before.width() && list->height() > before.height());
}

void tst_frmPerfChk::enableRules_data()
{
    QTest::addColumn<int>("pattern");
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("viaEnableSettings");
    QTest::addColumn<QString>("enabled");
    //                                                 hour : min cnt ud lbl cmb val chk start stop
    QTest::newRow("time, read") << 0 << 0 << false << QStringLiteral("111" "00" "000" "0" "1" "0");
    QTest::newRow("count, write") << 1 << 1 << false << QStringLiteral("000" "11" "111" "0" "1" "0");
    QTest::newRow("infinite, write&read") << 2 << 2 << false << QStringLiteral("000" "00" "111" "1" "1" "0");
    QTest::newRow("settings back after run") << 0 << 2 << true << QStringLiteral("111" "00" "111" "1" "1" "0");
}

void tst_frmPerfChk::enableRules()
{
    QFETCH(int, pattern);
    QFETCH(int, mode);
    QFETCH(bool, viaEnableSettings);
    QFETCH(QString, enabled);
    PerfWindow w;
    QVERIFY(w.ready);
    w.click(QStringLiteral("optPattern(%1)").arg(pattern));
    w.click(QStringLiteral("optReadWrite(%1)").arg(mode));
    if (viaEnableSettings) {
        w.window->EnableSettings(false);
        QCOMPARE(enabledPattern(w), QStringLiteral("000" "00" "000" "0" "0" "1"));
        QVERIFY(!w.control(QStringLiteral("cmdExit"))->isEnabled());
        QVERIFY(!w.control(QStringLiteral("optPattern(0)"))->isEnabled());
        w.window->EnableSettings(true);
    }
    QCOMPARE(enabledPattern(w), enabled);
}

void tst_frmPerfChk::typeRule_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("typeIndex");
    QTest::addColumn<bool>("startEnabled");
    QTest::addColumn<bool>("valueEditable");
    QTest::addColumn<bool>("valueEnabled");
    QTest::newRow("unknown in write") << 1 << 21 << false << false << false;
    QTest::newRow("unknown, then read") << 0 << 21 << true << false << false;
    QTest::newRow("empty") << 1 << 0 << true << false << false;
    // The mode choice only enables: the box stays locked.
    QTest::newRow("null, then write&read") << 2 << 1 << true << false << true;
    QTest::newRow("i4") << 1 << 5 << true << true << true;
}

void tst_frmPerfChk::typeRule()
{
    QFETCH(int, mode);
    QFETCH(int, typeIndex);
    QFETCH(bool, startEnabled);
    QFETCH(bool, valueEditable);
    QFETCH(bool, valueEnabled);
    PerfWindow w;
    w.click(QStringLiteral("optReadWrite(1)"));
    w.control<QComboBox>(QStringLiteral("cmbValueType"))->setCurrentIndex(typeIndex);
    w.click(QStringLiteral("optReadWrite(%1)").arg(mode));
    QCOMPARE(w.control(QStringLiteral("cmdStart"))->isEnabled(), startEnabled);
    auto *value = w.control<QLineEdit>(QStringLiteral("txtValue"));
    QCOMPARE(!value->isReadOnly(), valueEditable);
    QCOMPARE(value->isEnabled(), valueEnabled);
}

void tst_frmPerfChk::fieldCheck_data()
{
    QTest::addColumn<int>("pattern");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("result"); // the text after a pass; empty when the check fails
    QTest::addColumn<int>("upDown");     // the up-down's value afterwards

    const QString minute = QStringLiteral("txtMinute");
    const QString hour = QStringLiteral("txtHour");
    const QString count = QStringLiteral("txtPatternCount");
    QTest::newRow("minute 59") << 0 << minute << "59" << "59" << 1;
    QTest::newRow("minute 60") << 0 << minute << "60" << "" << 1;
    QTest::newRow("minute 007") << 0 << minute << "007" << "7" << 1;
    QTest::newRow("hour 500") << 0 << hour << "500" << "500" << 1;
    QTest::newRow("hour 501") << 0 << hour << "501" << "" << 1;
    QTest::newRow("hour empty") << 0 << hour << "" << "" << 1;
    QTest::newRow("hour negative pasted") << 0 << hour << "-5" << "" << 1;
    QTest::newRow("count 0") << 1 << count << "0" << "" << 1;
    QTest::newRow("count 65536") << 1 << count << "65536" << "" << 1;
    QTest::newRow("count 65535") << 1 << count << "65535" << "65535" << 65535;
    QTest::newRow("count 00042") << 1 << count << "00042" << "42" << 42;
    QTest::newRow("count pasted letters") << 1 << count << "4x" << "" << 1;
    QTest::newRow("count beyond 32 bits") << 1 << count << "99999999999" << "" << 1;
}

void tst_frmPerfChk::fieldCheck()
{
    QFETCH(int, pattern);
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(QString, result);
    QFETCH(int, upDown);
    static const QHash<QString, QString> messages = {
        {QStringLiteral("txtHour"), QStringLiteral("Input the integer of 0 to 500 into the hour.")},
        {QStringLiteral("txtMinute"), QStringLiteral("Input the integer of 0 to 59 into the minute.")},
        {QStringLiteral("txtPatternCount"),
         QStringLiteral("Input the integer of 1 to 65535 into the number of times.")}};

    PerfWindow w;
    QVERIFY(w.ready);
    w.click(QStringLiteral("optPattern(%1)").arg(pattern));
    auto *box = w.control<QLineEdit>(field);
    UserActions::Click(box);
    QCOMPARE(QApplication::focusWidget(), box);
    box->selectAll();
    box->insert(text); // as pasted: the digits-only filter does not see it
    w.click(QStringLiteral("lblResult"));

    if (result.isEmpty()) {
        QCOMPARE(w.boxes.texts(), QStringList{messages.value(field)});
        QCOMPARE(QApplication::focusWidget(), box);
        QCOMPARE(box->text(), text);
        QCOMPARE(box->selectedText(), text);
    } else {
        QVERIFY2(w.boxes.isEmpty(), qPrintable(w.boxes.texts().join(u'|')));
        QCOMPARE(box->text(), result);
    }
    QCOMPARE(w.control<QSpinBox>(QStringLiteral("udPatternCount"))->value(), upDown);
}

void tst_frmPerfChk::fieldCheckStopsStart()
{
    PerfWindow w;
    auto *count = w.control<QLineEdit>(QStringLiteral("txtPatternCount"));
    UserActions::Click(count);
    count->selectAll();
    count->insert(QStringLiteral("0"));
    w.click(QStringLiteral("cmdStart"));
    QCOMPARE(w.boxes.texts().size(), 1);
    QCOMPARE(w.control<QTreeWidget>(QStringLiteral("lvResult"))->topLevelItemCount(), 0);
}

void tst_frmPerfChk::upDownRule_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("newValue");
    QTest::addColumn<QString>("expected");
    QTest::newRow("empty text") << "" << 7 << "1";
    QTest::newRow("above maximum") << "70000" << 7 << "65535";
    QTest::newRow("already equal") << "0007" << 7 << "0007";
    QTest::newRow("follows value") << "3" << 7 << "7";
}

void tst_frmPerfChk::upDownRule()
{
    QFETCH(QString, text);
    QFETCH(int, newValue);
    QFETCH(QString, expected);
    PerfWindow w;
    w.control<QLineEdit>(QStringLiteral("txtPatternCount"))->setText(text);
    w.control<QSpinBox>(QStringLiteral("udPatternCount"))->setValue(newValue);
    QCOMPARE(w.control<QLineEdit>(QStringLiteral("txtPatternCount"))->text(), expected);
}

void tst_frmPerfChk::upArrowClick()
{
    PerfWindow w;
    QVERIFY(w.ready);
    auto *count = w.control<QLineEdit>(QStringLiteral("txtPatternCount"));
    auto *upDown = w.control<QSpinBox>(QStringLiteral("udPatternCount"));
    UserActions::Click(count);
    count->selectAll();
    QTest::keyClicks(count, QStringLiteral("5"));
    // The press on the arrows checks the field first, which sets the up-down to 5.
    UserActions::Click(upDown, Qt::LeftButton, QPoint(upDown->width() / 2, 2));
    QVERIFY(w.boxes.isEmpty());
    QCOMPARE(upDown->value(), 6);
    QCOMPARE(count->text(), QStringLiteral("6"));
    UserActions::Click(upDown, Qt::LeftButton, QPoint(upDown->width() / 2, upDown->height() - 3));
    QCOMPARE(count->text(), QStringLiteral("5"));
}

void tst_frmPerfChk::digitsOnlyTyping()
{
    PerfWindow w;
    auto *count = w.control<QLineEdit>(QStringLiteral("txtPatternCount"));
    UserActions::Click(count);
    count->selectAll();
    QTest::keyClicks(count, QStringLiteral("1a-2 .3"));
    QCOMPARE(count->text(), QStringLiteral("123"));
    QTest::keyClick(count, Qt::Key_Backspace);
    QCOMPARE(count->text(), QStringLiteral("12"));

    // Pasting goes through; the check then refuses the text.
    QApplication::clipboard()->setText(QStringLiteral("x"));
    QTest::keyClick(count, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(count->text(), QStringLiteral("12x"));
    w.click(QStringLiteral("lblResult"));
    QCOMPARE(w.boxes.texts().size(), 1);
}

void tst_frmPerfChk::escapeDoesNotClose()
{
    PerfWindow w;
    w.click(QStringLiteral("optReadWrite(1)"));
    QTest::keyClick(w.window.get(), Qt::Key_Escape);
    QVERIFY(w.window->isVisible());
}

void tst_frmPerfChk::priorityWhileOpen()
{
    const auto process = modAPI::GetCurrentProcess();
    PerfWindow w;
    if (modAPI::GetPriorityClass(process) != modAPI::HIGH_PRIORITY_CLASS)
        QSKIP("The system refuses the high priority class to this process");
    w.click(QStringLiteral("cmdExit"));
    QVERIFY(!w.window->isVisible());
    QCOMPARE(modAPI::GetPriorityClass(process), modAPI::NORMAL_PRIORITY_CLASS);
}

void tst_frmPerfChk::startsFromSettings_data()
{
    QTest::addColumn<PerfSettings>("settings");
    QTest::addColumn<QString>("enabled");
    PerfSettings timed;
    timed.pattern = PerfSettings::Time;
    timed.hours = 8;
    timed.minutes = 30;
    timed.mode = PerfSettings::WriteRead;
    timed.dataCheck = true;
    timed.valueType = QStringLiteral("I4");
    timed.value = QStringLiteral("7");
    timed.ignoreError = true;
    timed.outputDebug = true;
    //                                       hour : min cnt ud lbl cmb val chk start stop
    QTest::newRow("time, write & read") << timed << QStringLiteral("111" "00" "111" "1" "1" "0");
    PerfSettings counted;
    counted.count = 42;
    counted.valueType = QStringLiteral("(Unkown)");
    QTest::newRow("count, read") << counted << QStringLiteral("000" "11" "000" "0" "1" "0");
    PerfSettings endless = counted;
    endless.pattern = PerfSettings::Infinite;
    endless.mode = PerfSettings::Write;
    QTest::newRow("infinite, write without a type") << endless << QStringLiteral("000" "00" "111" "0" "0" "0");
}

// A profile's settings show as if chosen by hand, every rule applied, and read back the same.
void tst_frmPerfChk::startsFromSettings()
{
    QFETCH(PerfSettings, settings);
    QFETCH(QString, enabled);
    PerfWindow w;
    QVERIFY(w.ready);
    w.window->setSettings(settings);
    QCOMPARE(enabledPattern(w), enabled);
    QCOMPARE(w.control<QSpinBox>(QStringLiteral("udPatternCount"))->value(), settings.count);
    QVERIFY(w.window->settings() == settings);
}

KEL_WINDOW_TEST_MAIN(tst_frmPerfChk)
#include "tst_frmPerfChk.moc"
