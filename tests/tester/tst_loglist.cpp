// The log list: line format, the chkLog switch, selection, the pop-up menu and the line limit.

#include "Captions.h"
#include "LogDelegate.h"
#include "LogModel.h"
#include "MainWindowFixture.h"
#include "MivError.h"
#include "MivVariant.h"
#include "WindowTestMain.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QClipboard>
#include <QFontMetricsF>
#include <QMenu>
#include <QRegularExpression>

#include <cmath>

Q_DECLARE_METATYPE(MivVariant)

namespace {

int SelectedRow(const MainWindowFixture &ui)
{
    const QModelIndexList rows = ui.control<QAbstractItemView>("lstLog")->selectionModel()->selectedIndexes();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void ClickMenuItem(QMenu *menu, QAction *action)
{
    QTest::mouseClick(menu->windowHandle(), Qt::LeftButton, {}, menu->actionGeometry(action).center());
}

// Opens the pop-up menu with a right click on the list, as a user does.
QMenu *OpenPopup(const MainWindowFixture &ui)
{
    UserActions::Click(ui.control<QAbstractItemView>("lstLog")->viewport(), Qt::RightButton);
    return ui.control<QMenu>("mnuRight");
}

} // namespace

class tst_LogList : public MainWindowTest
{
    Q_OBJECT

private slots:
    void lineFormat_data();
    void lineFormat();
    void valueWithoutTextFails_data();
    void valueWithoutTextFails();
    void logOffWritesNothing();
    void newLineIsSelected();
    void readersSeeLineAtOnce();
    void keysMoveCurrentLine_data();
    void keysMoveCurrentLine();
    void menuEnableRule_data();
    void menuEnableRule();
    void copyCopyAllClear_data();
    void copyCopyAllClear();
    void rightClickKeepsSelection();
    void lineLimit_data();
    void lineLimit();
    void captionsLineUp_data();
    void captionsLineUp();
    void describedTexts_data();
    void describedTexts();

private:
};

void tst_LogList::lineFormat_data()
{
    QTest::addColumn<MivVariant>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("text") << MivVariant(QStringLiteral("a,b\tc")) << "a,b\tc";
    QTest::newRow("empty") << MivVariant() << "";
    QTest::newRow("long") << MivVariant(qint32(-2147467259)) << "-2147467259";
    QTest::newRow("double") << MivVariant(12.5) << "12.5";
    QTest::newRow("boolean") << MivVariant(true) << "True";
}

void tst_LogList::lineFormat()
{
    QFETCH(MivVariant, value);
    QFETCH(QString, text);
    MainWindowFixture &ui = fixture();
    ui->AddLog(QStringLiteral("[ Receive ]\t"), value);
    const QString line = ui->logModel()->line(0);
    static const QRegularExpression format(QStringLiteral("^\\[ Receive \\]\\t\\((\\d\\d):(\\d\\d):(\\d\\d)\\) : (.*)$"),
                                           QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = format.match(line);
    QVERIFY2(match.hasMatch(), qPrintable(line));
    QVERIFY(match.captured(1).toInt() < 24);
    QCOMPARE(match.captured(4), text);
    const QAbstractItemModel *model = ui.control<QAbstractItemView>("lstLog")->model();
    QCOMPARE(model->data(model->index(0, 0)).toString(), line);
}

void tst_LogList::valueWithoutTextFails_data()
{
    QTest::addColumn<MivVariant>("value");
    QTest::newRow("null") << MivVariant::null();
    MivArray array;
    array.elementType = VT_I4;
    array.elements = {MivVariant(qint32(1))};
    QTest::newRow("array") << MivVariant(array);
}

void tst_LogList::valueWithoutTextFails()
{
    QFETCH(MivVariant, value);
    QVERIFY_THROWS_EXCEPTION(MivError, fixture()->AddLog(QStringLiteral("x\t"), value));
    QCOMPARE(fixture().logCount(), 0);
}

void tst_LogList::logOffWritesNothing()
{
    MainWindowFixture &w = fixture();
    w->AddLog(QStringLiteral("a\t"), QStringLiteral("1"));
    w->SetStatus(QStringLiteral("kept"));
    w.click("chkLog");
    QVERIFY(!w.control<QCheckBox>("chkLog")->isChecked());
    w->AddLog(QStringLiteral("b\t"), QStringLiteral("2"));
    w->AddLog(QStringLiteral("b\t"), MivVariant::null()); // no text needed when nothing is logged
    w->SetStatus(QStringLiteral("changed"));
    QCOMPARE(w.logCount(), 1);
    QCOMPARE(w.status(), QStringLiteral("kept"));
    w.click("chkLog");
    w->AddLog(QStringLiteral("c\t"), QStringLiteral("3"));
    QCOMPARE(w.logCount(), 2); // unticking removed nothing
}

void tst_LogList::newLineIsSelected()
{
    MainWindowFixture &w = fixture();
    for (int i = 0; i < 3; ++i)
        w->AddLog(QStringLiteral("n\t"), QString::number(i));
    QTRY_COMPARE_WITH_TIMEOUT(SelectedRow(w), 2, 2000);
    // Copy right after an event copies that event's line, even before the view caught up.
    w->AddLog(QStringLiteral("last\t"), QStringLiteral("3"));
    w->mnuRightCopy_Click();
    QCOMPARE(QGuiApplication::clipboard()->text(), w->logModel()->line(3));
    QCOMPARE(SelectedRow(w), 3);
}

void tst_LogList::readersSeeLineAtOnce()
{
    MainWindowFixture &w = fixture();
    const int lines = 500; // more than the list shows
    for (int i = 0; i < lines; ++i)
        w->AddLog(QStringLiteral("n\t"), QString::number(i));
    // No event has run: the clipboard, the selection and the current line already have it.
    w->mnuRightCopyAll_Click();
    QCOMPARE(QGuiApplication::clipboard()->text().count(QStringLiteral("\r\n")), lines);
    QCOMPARE(SelectedRow(w), lines - 1);
    auto *list = w.control<QAbstractItemView>("lstLog");
    QCOMPARE(list->currentIndex().row(), lines - 1);
    // The view scrolls with its next frame, and the newest line is then in view.
    QTRY_VERIFY_WITH_TIMEOUT(list->viewport()->rect().contains(list->visualRect(list->currentIndex())), 2000);
    QCOMPARE(list->indexAt(list->visualRect(list->currentIndex()).center()).row(), lines - 1);
}

void tst_LogList::keysMoveCurrentLine_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::newRow("down") << int(Qt::Key_Down) << 3 << 4;
    QTest::newRow("up at the top") << int(Qt::Key_Up) << 0 << 0;
    QTest::newRow("end") << int(Qt::Key_End) << 3 << 99;
    QTest::newRow("home") << int(Qt::Key_Home) << 50 << 0;
    QTest::newRow("down at the bottom") << int(Qt::Key_Down) << 99 << 99;
}

void tst_LogList::keysMoveCurrentLine()
{
    QFETCH(int, key);
    QFETCH(int, from);
    QFETCH(int, to);
    MainWindowFixture &w = fixture();
    for (int i = 0; i < 100; ++i)
        w->AddLog(QStringLiteral("n\t"), QString::number(i));
    auto *list = w.control<QAbstractItemView>("lstLog");
    list->setCurrentIndex(w->logModel()->index(from));
    list->setFocus();
    QTest::keyClick(list, Qt::Key(key));
    QCOMPARE(SelectedRow(w), to);
    w->mnuRightCopy_Click();
    QCOMPARE(QGuiApplication::clipboard()->text(), w->logModel()->line(to));
}

void tst_LogList::menuEnableRule_data()
{
    QTest::addColumn<int>("lines");
    QTest::newRow("empty") << 0;
    QTest::newRow("one line") << 1;
}

void tst_LogList::menuEnableRule()
{
    QFETCH(int, lines);
    MainWindowFixture &w = fixture();
    for (int i = 0; i < lines; ++i)
        w->AddLog(QStringLiteral("n\t"), QString::number(i));
    QMenu *menu = OpenPopup(w);
    QTRY_VERIFY_WITH_TIMEOUT(menu->isVisible(), 2000);
    QCOMPARE(Command(menu, "mnuRightCopy")->isEnabled(), lines > 0);
    QCOMPARE(Command(menu, "mnuRightCopyAll")->isEnabled(), lines > 0);
    QCOMPARE(Command(menu, "mnuRightClear")->isEnabled(), lines > 0);
    QCOMPARE(menu->actions().size(), 4);
    QVERIFY(Command(menu, "mnuRightSP1")->isSeparator());
    menu->hide();
}

void tst_LogList::copyCopyAllClear_data()
{
    QTest::addColumn<QString>("item");
    QTest::newRow("Copy") << "mnuRightCopy";
    QTest::newRow("Copy All") << "mnuRightCopyAll";
    QTest::newRow("Clear Log") << "mnuRightClear";
}

void tst_LogList::copyCopyAllClear()
{
    QFETCH(QString, item);
    MainWindowFixture &w = fixture();
    w->AddLog(QStringLiteral("Connect\t\t"), QStringLiteral("Succeeded"));
    w->AddLog(QStringLiteral("[ Receive ]\t"), QStringLiteral("0,8,a\tb"));
    w->SetStatus(QStringLiteral("status"));
    const QString first = w->logModel()->line(0);
    const QString second = w->logModel()->line(1);
    QGuiApplication::clipboard()->setText(QStringLiteral("stale"));

    QMenu *menu = OpenPopup(w);
    QTRY_VERIFY_WITH_TIMEOUT(menu->isVisible(), 2000);
    ClickMenuItem(menu, Command(menu, item));
    QTRY_VERIFY_WITH_TIMEOUT(!menu->isVisible(), 2000);

    const QString clip = QGuiApplication::clipboard()->text();
    if (item == QLatin1String("mnuRightCopy")) {
        QCOMPARE(clip, second);
        QVERIFY(clip.startsWith(QStringLiteral("[ Receive ]\t(")));
    } else if (item == QLatin1String("mnuRightCopyAll")) {
        QCOMPARE(clip, first + QStringLiteral("\r\n") + second + QStringLiteral("\r\n"));
    } else {
        QCOMPARE(w.logCount(), 0);
        QCOMPARE(clip, QStringLiteral("stale"));
        w->mnuRightCopy_Click();
        QCOMPARE(QGuiApplication::clipboard()->text(), QString()); // nothing selected: empty text
    }
    QCOMPARE(w.status(), QStringLiteral("status"));
}

void tst_LogList::rightClickKeepsSelection()
{
    MainWindowFixture &w = fixture();
    for (int i = 0; i < 3; ++i)
        w->AddLog(QStringLiteral("n\t"), QString::number(i));
    QTRY_COMPARE_WITH_TIMEOUT(SelectedRow(w), 2, 2000);
    auto *list = w.control<QAbstractItemView>("lstLog");
    UserActions::Click(list->viewport(), Qt::LeftButton, list->visualRect(w->logModel()->index(0)).center());
    QCOMPARE(SelectedRow(w), 0);
    UserActions::Click(list->viewport(), Qt::RightButton, list->visualRect(w->logModel()->index(1)).center());
    auto *menu = w.control<QMenu>("mnuRight");
    QTRY_VERIFY_WITH_TIMEOUT(menu->isVisible(), 2000);
    ClickMenuItem(menu, Command(menu, "mnuRightCopy"));
    QCOMPARE(QGuiApplication::clipboard()->text(), w->logModel()->line(0));
}

void tst_LogList::lineLimit_data()
{
    QTest::addColumn<int>("added");
    QTest::newRow("at the limit") << LogModel::kMaxLines;
    QTest::newRow("one past") << LogModel::kMaxLines + 1;
    QTest::newRow("several chunks past") << LogModel::kMaxLines + 3 * LogModel::kDropChunk + 7;
}

void tst_LogList::lineLimit()
{
    QFETCH(int, added);
    MainWindowFixture &w = fixture();
    for (int i = 0; i < added; ++i)
        w->AddLog(QStringLiteral("n\t"), QString::number(i));
    const int count = w.logCount();
    QVERIFY(count <= LogModel::kMaxLines);
    QVERIFY(count > LogModel::kMaxLines - LogModel::kDropChunk);
    // The newest lines are kept, in order; the oldest went.
    const QList<LogEntry> entries = w.log();
    QCOMPARE(entries.last().value, QString::number(added - 1));
    QCOMPARE(entries.first().value, QString::number(added - count));
    for (int row = 1; row < count; row += 997)
        QCOMPARE(entries[row].value.toInt(), entries[row - 1].value.toInt() + 1);
    QTRY_COMPARE_WITH_TIMEOUT(SelectedRow(w), count - 1, 5000);
    w->mnuRightCopyAll_Click();
    QCOMPARE(QGuiApplication::clipboard()->text().count(QStringLiteral("\r\n")), count);
}

void tst_LogList::captionsLineUp_data()
{
    QTest::addColumn<int>("pointSize");
    for (int size : {8, 9, 10, 12, 14})
        QTest::newRow(qPrintable(QStringLiteral("%1 pt").arg(size))) << size;
}

void tst_LogList::captionsLineUp()
{
    QFETCH(int, pointSize);
    QFont font = fixture().control("lstLog")->font();
    font.setPointSize(pointSize);
    const QFontMetricsF metrics(font);
    const qreal stop = LogDelegate::tabStopFor(metrics);
    QVERIFY(stop > 0);
    const QStringList &captions = LogCaption::All;
    QList<qreal> ends;
    for (const QString &caption : captions) {
        const QString text = caption.left(caption.indexOf(u'\t'));
        qreal x = metrics.horizontalAdvance(text);
        for (qsizetype tabs = caption.size() - text.size(); tabs > 0; --tabs)
            x = (std::floor(x / stop) + 1) * stop;
        ends << x;
    }
    for (qsizetype i = 1; i < ends.size(); ++i)
        QVERIFY2(qFuzzyCompare(ends[i], ends[0]), qPrintable(captions[i]));
}

// The texts the description gives, exactly: the other tests use the window's own names for them.
void tst_LogList::describedTexts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("described");
    QTest::newRow("Connect") << LogCaption::Connect << "Connect\t\t";
    QTest::newRow("Disconnect") << LogCaption::Disconnect << "Disconnect\t";
    QTest::newRow("Send") << LogCaption::Send << "[ Send ]\t\t";
    QTest::newRow("Result") << LogCaption::Result << "[ Result ]\t\t";
    QTest::newRow("Receive") << LogCaption::Receive << "[ Receive ]\t";
    QTest::newRow("Reply") << LogCaption::Reply << "[ Reply ]\t\t";
    QTest::newRow("Clear") << LogCaption::Clear << "Clear\t\t";
    QTest::newRow("Set") << LogCaption::Set << "Set\t\t";
    QTest::newRow("Performance") << LogCaption::Performance << "Performance\t";
    QTest::newRow("Succeeded") << LogOutcome::Succeeded << "Succeeded";
    QTest::newRow("Failed") << LogOutcome::Failed << "Failed";
    QTest::newRow("Ready") << StatusText::Ready << "Ready.";
    QTest::newRow("Connecting") << StatusText::Connecting << "Connecting...";
    QTest::newRow("Sending") << StatusText::Sending << "Sending...";
    QTest::newRow("Wait") << StatusText::Wait << "Wait.";
    QTest::newRow("Receiving") << StatusText::Receiving << "Receiving...";
    QTest::newRow("not connected") << WindowTitle::NotConnected << "KELTester - (No Connection)";
}

void tst_LogList::describedTexts()
{
    QFETCH(QString, text);
    QFETCH(QString, described);
    QCOMPARE(text, described);
}

KEL_WINDOW_TEST_MAIN(tst_LogList)
#include "tst_loglist.moc"
