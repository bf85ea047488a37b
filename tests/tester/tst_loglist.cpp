// The log list: line format, the chkLog switch, selection, the pop-up menu and the line limit.

#include "EngineObjects.h"
#include "MainWindowDriver.h"
#include "UserActions.h"
#include "MessagingHarness.h"

#include "LogDelegate.h"
#include "LogModel.h"
#include "MivConverter.h"
#include "MivEngine.h"
#include "MivError.h"
#include "frmKELTester.h"
#include "modMain.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFontMetricsF>
#include <QListView>
#include <QMenu>
#include <QRegularExpression>
#include <QTest>

#include <cmath>
#include <memory>

using namespace Messaging;
using namespace MainWindowDriver;

Q_DECLARE_METATYPE(MivVariant)

namespace {

int SelectedRow(const frmKELTester &w)
{
    const QModelIndexList rows = w.lstLog->selectionModel()->selectedIndexes();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void ClickMenuItem(QMenu *menu, QAction *action)
{
    QTest::mouseClick(menu->windowHandle(), Qt::LeftButton, {}, menu->actionGeometry(action).center());
}

} // namespace

class tst_LogList : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void lineFormat_data();
    void lineFormat();
    void valueWithoutTextFails_data();
    void valueWithoutTextFails();
    void logOffWritesNothing();
    void newLineIsSelected();
    void menuEnableRule_data();
    void menuEnableRule();
    void copyCopyAllClear_data();
    void copyCopyAllClear();
    void rightClickKeepsSelection();
    void lineLimit_data();
    void lineLimit();
    void captionsLineUp_data();
    void captionsLineUp();

private:
    std::unique_ptr<frmKELTester> m_window;
};

void tst_LogList::initTestCase()
{
    QApplication::setQuitOnLastWindowClosed(false);
    g_mivEngine = new MivEngine;
    g_mivConverter = new MivConverter;
}

void tst_LogList::init()
{
    m_window = std::make_unique<frmKELTester>();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void tst_LogList::cleanup()
{
    m_window.reset();
}

void tst_LogList::cleanupTestCase()
{
    delete g_mivEngine;
    g_mivEngine = nullptr;
    delete g_mivConverter;
    g_mivConverter = nullptr;
}

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
    m_window->AddLog(QStringLiteral("[ Receive ]\t"), value);
    const QString line = m_window->logModel()->line(0);
    static const QRegularExpression format(QStringLiteral("^\\[ Receive \\]\\t\\((\\d\\d):(\\d\\d):(\\d\\d)\\) : (.*)$"),
                                           QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = format.match(line);
    QVERIFY2(match.hasMatch(), qPrintable(line));
    QVERIFY(match.captured(1).toInt() < 24);
    QCOMPARE(match.captured(4), text);
    QCOMPARE(m_window->lstLog->model()->data(m_window->lstLog->model()->index(0, 0)).toString(), line);
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
    QVERIFY_THROWS_EXCEPTION(MivError, m_window->AddLog(QStringLiteral("x\t"), value));
    QCOMPARE(LogCount(*m_window), 0);
}

void tst_LogList::logOffWritesNothing()
{
    frmKELTester &w = *m_window;
    w.AddLog(QStringLiteral("a\t"), QStringLiteral("1"));
    w.SetStatus(QStringLiteral("kept"));
    UserActions::Click(w.chkLog);
    QVERIFY(!w.chkLog->isChecked());
    w.AddLog(QStringLiteral("b\t"), QStringLiteral("2"));
    w.AddLog(QStringLiteral("b\t"), MivVariant::null()); // no text needed when nothing is logged
    w.SetStatus(QStringLiteral("changed"));
    QCOMPARE(LogCount(w), 1);
    QCOMPARE(w.statusText(), QStringLiteral("kept"));
    UserActions::Click(w.chkLog);
    w.AddLog(QStringLiteral("c\t"), QStringLiteral("3"));
    QCOMPARE(LogCount(w), 2); // unticking removed nothing
}

void tst_LogList::newLineIsSelected()
{
    frmKELTester &w = *m_window;
    for (int i = 0; i < 3; ++i)
        w.AddLog(QStringLiteral("n\t"), QString::number(i));
    QTRY_COMPARE_WITH_TIMEOUT(SelectedRow(w), 2, 2000);
    // Copy right after an event copies that event's line, even before the view caught up.
    w.AddLog(QStringLiteral("last\t"), QStringLiteral("3"));
    w.mnuRightCopy_Click();
    QCOMPARE(QGuiApplication::clipboard()->text(), w.logModel()->line(3));
    QCOMPARE(SelectedRow(w), 3);
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
    frmKELTester &w = *m_window;
    for (int i = 0; i < lines; ++i)
        w.AddLog(QStringLiteral("n\t"), QString::number(i));
    UserActions::Click(w.lstLog->viewport(), Qt::RightButton);
    QTRY_VERIFY_WITH_TIMEOUT(w.mnuRight->isVisible(), 2000);
    QCOMPARE(w.mnuRightCopy->isEnabled(), lines > 0);
    QCOMPARE(w.mnuRightCopyAll->isEnabled(), lines > 0);
    QCOMPARE(w.mnuRightClear->isEnabled(), lines > 0);
    QCOMPARE(w.mnuRight->actions().size(), 4);
    QVERIFY(w.mnuRightSP1->isSeparator());
    w.mnuRight->hide();
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
    frmKELTester &w = *m_window;
    w.AddLog(QStringLiteral("Connect\t\t"), QStringLiteral("Succeeded"));
    w.AddLog(QStringLiteral("[ Receive ]\t"), QStringLiteral("0,8,a\tb"));
    w.SetStatus(QStringLiteral("status"));
    const QString first = w.logModel()->line(0);
    const QString second = w.logModel()->line(1);
    QGuiApplication::clipboard()->setText(QStringLiteral("stale"));

    UserActions::Click(w.lstLog->viewport(), Qt::RightButton);
    QTRY_VERIFY_WITH_TIMEOUT(w.mnuRight->isVisible(), 2000);
    auto *action = w.mnuRight->findChild<QAction *>(item);
    QVERIFY(action);
    ClickMenuItem(w.mnuRight, action);
    QTRY_VERIFY_WITH_TIMEOUT(!w.mnuRight->isVisible(), 2000);

    const QString clip = QGuiApplication::clipboard()->text();
    if (item == QLatin1String("mnuRightCopy")) {
        QCOMPARE(clip, second);
        QVERIFY(clip.startsWith(QStringLiteral("[ Receive ]\t(")));
    } else if (item == QLatin1String("mnuRightCopyAll")) {
        QCOMPARE(clip, first + QStringLiteral("\r\n") + second + QStringLiteral("\r\n"));
    } else {
        QCOMPARE(LogCount(w), 0);
        QCOMPARE(clip, QStringLiteral("stale"));
        w.mnuRightCopy_Click();
        QCOMPARE(QGuiApplication::clipboard()->text(), QString()); // nothing selected: empty text
    }
    QCOMPARE(w.statusText(), QStringLiteral("status"));
}

void tst_LogList::rightClickKeepsSelection()
{
    frmKELTester &w = *m_window;
    for (int i = 0; i < 3; ++i)
        w.AddLog(QStringLiteral("n\t"), QString::number(i));
    QTRY_COMPARE_WITH_TIMEOUT(SelectedRow(w), 2, 2000);
    const QRect firstRow = w.lstLog->visualRect(w.logModel()->index(0));
    const QPoint inWindow = w.lstLog->viewport()->mapTo(&w, firstRow.center());
    QTest::mouseClick(w.windowHandle(), Qt::LeftButton, {}, inWindow);
    QCOMPARE(SelectedRow(w), 0);
    QTest::mouseClick(w.windowHandle(), Qt::RightButton, {},
                      w.lstLog->viewport()->mapTo(&w, w.lstLog->visualRect(w.logModel()->index(1)).center()));
    QTRY_VERIFY_WITH_TIMEOUT(w.mnuRight->isVisible(), 2000);
    ClickMenuItem(w.mnuRight, w.mnuRightCopy);
    QCOMPARE(QGuiApplication::clipboard()->text(), w.logModel()->line(0));
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
    frmKELTester &w = *m_window;
    for (int i = 0; i < added; ++i)
        w.AddLog(QStringLiteral("n\t"), QString::number(i));
    const int count = LogCount(w);
    QVERIFY(count <= LogModel::kMaxLines);
    QVERIFY(count > LogModel::kMaxLines - LogModel::kDropChunk);
    // The newest lines are kept, in order; the oldest went.
    const QList<LogEntry> entries = LogEntries(w);
    QCOMPARE(entries.last().value, QString::number(added - 1));
    QCOMPARE(entries.first().value, QString::number(added - count));
    for (int row = 1; row < count; row += 997)
        QCOMPARE(entries[row].value.toInt(), entries[row - 1].value.toInt() + 1);
    QTRY_COMPARE_WITH_TIMEOUT(SelectedRow(w), count - 1, 5000);
    w.mnuRightCopyAll_Click();
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
    QFont font = m_window->lstLog->font();
    font.setPointSize(pointSize);
    const QFontMetricsF metrics(font);
    const qreal stop = LogDelegate::tabStopFor(metrics);
    QVERIFY(stop > 0);
    const QStringList captions{QStringLiteral("Connect\t\t"),   QStringLiteral("Disconnect\t"),
                               QStringLiteral("[ Send ]\t\t"),  QStringLiteral("[ Result ]\t\t"),
                               QStringLiteral("[ Receive ]\t"), QStringLiteral("[ Reply ]\t\t"),
                               QStringLiteral("Clear\t\t"),     QStringLiteral("Set\t\t")};
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

QTEST_MAIN(tst_LogList)
#include "tst_loglist.moc"
