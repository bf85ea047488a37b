// The menus, the log list's pop-up menu and the performance window's buttons, driven by their
// mnemonics from the keyboard alone.

#include "KeyboardTest.h"
#include "MessageBoxRecorder.h"
#include "WindowControls.h"

#include "LogModel.h"
#include "TrafficMonitor.h"
#include "frmConn.h"
#include "frmKELTester.h"
#include "frmPerfChk.h"

#include <QAbstractItemView>
#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QClipboard>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>

#include <memory>
#include <optional>

using namespace KeyboardTest;

namespace {

const QString kNotConnected = QStringLiteral("KELTester - (No Connection)");

enum class MenuEffect { ConnectDialog, Disconnect, DisabledItem, Exit, Version };
enum class PerfEffect { Start, Clear, Exit, ExitRefusedByCheck };
enum class ShortcutEffect { ShowTraffic, RecordDialog, StopRecording };

// What the connection dialog showed while it was answered from the keyboard.
struct DialogVisit
{
    bool opened = false;
    QString focusOnOpen, focusOnAnswer;
};

// Answers the connection dialog, once it is the active window, with Shift+Tab to Cancel and
// Space. The timer lives as long as the caller's scope, so it never outlasts the test.
void AnswerDialogWithCancel(QTimer &timer, DialogVisit &visit)
{
    timer.setInterval(10);
    auto tries = std::make_shared<int>(0);
    QObject::connect(&timer, &QTimer::timeout, &timer, [&timer, &visit, tries] {
        frmConn *dialog = frmConn::instance();
        if (!dialog->isVisible() || !dialog->isActiveWindow()) {
            if (++*tries > 500)
                timer.stop();
            return;
        }
        timer.stop();
        visit.opened = true;
        visit.focusOnOpen = FocusName();
        Press(Qt::Key_Backtab, Qt::ShiftModifier);
        visit.focusOnAnswer = FocusName();
        Press(Qt::Key_Space);
        if (dialog->isVisible())
            dialog->reject(); // never leave the modal loop running
    });
    timer.start();
}

} // namespace

Q_DECLARE_METATYPE(MenuEffect)
Q_DECLARE_METATYPE(PerfEffect)
Q_DECLARE_METATYPE(ShortcutEffect)

class tst_Mnemonics : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void menu_data();
    void menu();
    void logPopup_data();
    void logPopup();
    void shortcuts_data();
    void shortcuts();
    void perfButtons_data();
    void perfButtons();
    void perfStopDuringRun();

private:
    std::unique_ptr<frmKELTester> m_window;
    std::optional<MessageBoxRecorder> m_boxes;
};

void tst_Mnemonics::initTestCase()
{
    QApplication::setApplicationVersion(QStringLiteral(KEL_VERSION));
    QApplication::setQuitOnLastWindowClosed(false);
}

void tst_Mnemonics::init()
{
    m_boxes.emplace();
}

void tst_Mnemonics::cleanup()
{
    m_window.reset();
    m_boxes.reset();
}

void tst_Mnemonics::menu_data()
{
    QTest::addColumn<char>("menuKey");
    QTest::addColumn<char>("itemKey");
    QTest::addColumn<MenuEffect>("effect");
    QTest::newRow("Alt+F, C: Connect") << 'f' << 'c' << MenuEffect::ConnectDialog;
    QTest::newRow("Alt+F, D: Disconnect") << 'f' << 'd' << MenuEffect::Disconnect;
    QTest::newRow("Alt+F, D while not connected") << 'f' << 'd' << MenuEffect::DisabledItem;
    QTest::newRow("Alt+F, X: Exit") << 'f' << 'x' << MenuEffect::Exit;
    QTest::newRow("Alt+H, V: Version") << 'h' << 'v' << MenuEffect::Version;
}

void tst_Mnemonics::menu()
{
    QFETCH(char, menuKey);
    QFETCH(char, itemKey);
    QFETCH(MenuEffect, effect);

    m_window = std::make_unique<frmKELTester>();
    frmKELTester &w = *m_window;
    const QString connected = QStringLiteral("KELTester - (COM[Client], 1, Sync)");
    if (effect == MenuEffect::Disconnect) {
        w.setWindowTitle(connected);
        Control<QAction>(&w, "mnuFileDisconn")->setEnabled(true);
        w.EnableRequest(true);
    }
    QVERIFY(ShowActive(&w));

    Type(menuKey, Qt::AltModifier);
    QTRY_COMPARE(QApplication::activePopupWidget(), menuKey == 'f' ? Control<QMenu>(&w, "mnuFile") : Control<QMenu>(&w, "mnuHelp"));

    QTimer answer;
    DialogVisit visit;
    if (effect == MenuEffect::ConnectDialog)
        AnswerDialogWithCancel(answer, visit);
    Type(itemKey);

    switch (effect) {
    case MenuEffect::ConnectDialog:
        QVERIFY(visit.opened);
        QCOMPARE(visit.focusOnOpen, QStringLiteral("cmbConnType"));
        QCOMPARE(visit.focusOnAnswer, QStringLiteral("cmdCancel"));
        QVERIFY(!frmConn::instance()->isVisible());
        QVERIFY(!frmConn::instance()->isAccepted());
        QCOMPARE(w.windowTitle(), kNotConnected);
        break;
    case MenuEffect::Disconnect:
        QCOMPARE(w.windowTitle(), kNotConnected);
        QVERIFY(!Control<QAction>(&w, "mnuFileDisconn")->isEnabled());
        QVERIFY(!Control<QPushButton>(&w, "cmdSend")->isEnabled());
        break;
    case MenuEffect::DisabledItem:
        QCOMPARE(QApplication::activePopupWidget(), Control<QMenu>(&w, "mnuFile"));
        Press(Qt::Key_Escape);
        QVERIFY(!Control<QMenu>(&w, "mnuFile")->isVisible());
        QVERIFY(w.isVisible());
        QCOMPARE(w.windowTitle(), kNotConnected);
        break;
    case MenuEffect::Exit:
        QVERIFY(!w.isVisible());
        break;
    case MenuEffect::Version: {
        const QString base = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
        QCOMPARE(m_boxes->texts(), QStringList{base + QStringLiteral(" version " KEL_VERSION)});
        break;
    }
    }
    QVERIFY(!QApplication::activePopupWidget());
}

void tst_Mnemonics::logPopup_data()
{
    QTest::addColumn<char>("itemKey");
    QTest::addColumn<int>("opener"); // 0 right click, else the key that opens it
    QTest::addColumn<int>("openerModifiers");
    QTest::newRow("C: Copy") << 'c' << 0 << 0;
    QTest::newRow("A: Copy All") << 'a' << 0 << 0;
    QTest::newRow("L: Clear Log") << 'l' << 0 << 0;
    QTest::newRow("Menu key, C: Copy") << 'c' << int(Qt::Key_Menu) << 0;
    QTest::newRow("Shift+F10, A: Copy All") << 'a' << int(Qt::Key_F10) << int(Qt::ShiftModifier);
}

// The pop-up opens on a right click, or from the keyboard on the list; its items then work by
// their letters.
void tst_Mnemonics::logPopup()
{
    QFETCH(char, itemKey);
    QFETCH(int, opener);
    QFETCH(int, openerModifiers);

    m_window = std::make_unique<frmKELTester>();
    frmKELTester &w = *m_window;
    w.AddLog(QStringLiteral("First\t\t"), QStringLiteral("one"));
    w.AddLog(QStringLiteral("Second\t\t"), QStringLiteral("two"));
    QVERIFY(ShowActive(&w));
    QGuiApplication::clipboard()->setText(QStringLiteral("stale"));

    QWidget *viewport = Control<QAbstractItemView>(&w, "lstLog")->viewport();
    if (opener == 0) {
        QTest::mouseClick(w.windowHandle(), Qt::RightButton, {},
                          viewport->mapTo(&w, viewport->rect().center()));
    } else {
        Control<QAbstractItemView>(&w, "lstLog")->setFocus(Qt::TabFocusReason);
        QTest::keyClick(Control<QAbstractItemView>(&w, "lstLog"), Qt::Key(opener), Qt::KeyboardModifiers(openerModifiers));
    }
    QTRY_COMPARE(QApplication::activePopupWidget(), Control<QMenu>(&w, "mnuRight"));
    Type(itemKey);
    QVERIFY(!QApplication::activePopupWidget());

    switch (itemKey) {
    case 'c':
        QCOMPARE(QGuiApplication::clipboard()->text(), w.logModel()->line(1));
        break;
    case 'a':
        QCOMPARE(QGuiApplication::clipboard()->text(), w.logModel()->joined());
        break;
    default:
        QCOMPARE(w.logModel()->count(), 0);
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("stale"));
        break;
    }
}

void tst_Mnemonics::shortcuts_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<ShortcutEffect>("effect");
    QTest::newRow("Ctrl+Shift+T: Traffic") << int(Qt::Key_T) << ShortcutEffect::ShowTraffic;
    QTest::newRow("Ctrl+Shift+R: Record Session...") << int(Qt::Key_R) << ShortcutEffect::RecordDialog;
    QTest::newRow("Ctrl+Shift+S: Stop Recording") << int(Qt::Key_S) << ShortcutEffect::StopRecording;
}

// The View menu's items have keys of their own, which no other item of the window shares.
void tst_Mnemonics::shortcuts()
{
    QFETCH(int, key);
    QFETCH(ShortcutEffect, effect);
    m_window = std::make_unique<frmKELTester>();
    frmKELTester &w = *m_window;
    QSet<QKeySequence> taken;
    for (const QAction *action : w.findChildren<QAction *>()) {
        for (const QKeySequence &sequence : action->shortcuts()) {
            QVERIFY2(!taken.contains(sequence), qPrintable(sequence.toString()));
            taken << sequence;
        }
    }
    QTemporaryDir folder;
    if (effect == ShortcutEffect::StopRecording)
        QVERIFY(w.traffic()->startRecording(folder.filePath(QStringLiteral("s.jsonl"))));
    QVERIFY(ShowActive(&w));

    QTimer answer;
    QString dialogShown;
    answer.setInterval(10);
    connect(&answer, &QTimer::timeout, &answer, [&] {
        if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget())) {
            answer.stop();
            dialogShown = dialog->objectName();
            dialog->reject();
        }
    });
    if (effect == ShortcutEffect::RecordDialog)
        answer.start();
    Press(Qt::Key(key), Qt::ControlModifier | Qt::ShiftModifier);

    switch (effect) {
    case ShortcutEffect::ShowTraffic:
        QVERIFY(!Control<QWidget>(&w, "dckTraffic")->isHidden());
        Press(Qt::Key(key), Qt::ControlModifier | Qt::ShiftModifier);
        QVERIFY(Control<QWidget>(&w, "dckTraffic")->isHidden());
        break;
    case ShortcutEffect::RecordDialog:
        QCOMPARE(dialogShown, QStringLiteral("dlgRecordSession"));
        QVERIFY(!w.traffic()->isRecording());
        break;
    case ShortcutEffect::StopRecording:
        QVERIFY(!w.traffic()->isRecording());
        break;
    }
}

void tst_Mnemonics::perfButtons_data()
{
    QTest::addColumn<char>("key");
    QTest::addColumn<PerfEffect>("effect");
    QTest::newRow("Alt+A: Start") << 'a' << PerfEffect::Start;
    QTest::newRow("Alt+C: Clear") << 'c' << PerfEffect::Clear;
    QTest::newRow("Alt+X: Exit") << 'x' << PerfEffect::Exit;
    QTest::newRow("Alt+X with a failing count") << 'x' << PerfEffect::ExitRefusedByCheck;
}

void tst_Mnemonics::perfButtons()
{
    QFETCH(char, key);
    QFETCH(PerfEffect, effect);

    frmPerfChk w;
    new QTreeWidgetItem(Control<QTreeWidget>(&w, "lvResult"), {QStringLiteral("Start")});
    QVERIFY(ShowActive(&w));
    if (effect == PerfEffect::ExitRefusedByCheck) {
        Control<QLineEdit>(&w, "txtPatternCount")->setFocus();
        Control<QLineEdit>(&w, "txtPatternCount")->setText(QStringLiteral("0"));
    }

    Type(key, Qt::AltModifier);

    switch (effect) {
    case PerfEffect::Start:
        // One count, no variable: the read fails and the run ends with its two rows.
        QTRY_COMPARE(Control<QTreeWidget>(&w, "lvResult")->topLevelItemCount(), 3);
        QTRY_VERIFY(!w.isRunning());
        break;
    case PerfEffect::Clear:
        QTRY_COMPARE(Control<QTreeWidget>(&w, "lvResult")->topLevelItemCount(), 0);
        break;
    case PerfEffect::Exit:
        QTRY_VERIFY(!w.isVisible());
        break;
    case PerfEffect::ExitRefusedByCheck:
        QCOMPARE(m_boxes->texts(),
                 QStringList{QStringLiteral("Input the integer of 1 to 65535 into the number of times.")});
        QTest::qWait(200); // longer than a button's animated click
        QVERIFY(w.isVisible());
        QCOMPARE(FocusName(), QStringLiteral("txtPatternCount"));
        break;
    }
}

// During an endless run only Stop acts; Alt+O reaches it while the run yields to the event loop.
void tst_Mnemonics::perfStopDuringRun()
{
    frmPerfChk w;
    Control<QRadioButton>(&w, Element("optPattern", 2))->setChecked(true);
    Control<QCheckBox>(&w, "chkIgnore")->setChecked(true); // the reads fail without a variable: keep going
    QVERIFY(ShowActive(&w));

    QTimer stopKey, backstop;
    bool pressed = false, forced = false;
    stopKey.setInterval(10);
    connect(&stopKey, &QTimer::timeout, &stopKey, [&] {
        if (!w.isRunning() || !Control<QPushButton>(&w, "cmdStop")->isEnabled())
            return;
        stopKey.stop();
        pressed = true;
        Type('o', Qt::AltModifier);
    });
    backstop.setSingleShot(true);
    connect(&backstop, &QTimer::timeout, &backstop, [&] {
        forced = true;
        w.cmdStop_Click();
    });
    stopKey.start();
    backstop.start(10000);

    // Start clicks after its press animation, so the whole run happens inside this wait.
    Type('a', Qt::AltModifier);
    QTRY_VERIFY_WITH_TIMEOUT(pressed && !w.isRunning(), 15000);
    QVERIFY(!forced);
    QCOMPARE(Control<QTreeWidget>(&w, "lvResult")->topLevelItemCount(), 2);
    QVERIFY(Control<QPushButton>(&w, "cmdStart")->isEnabled());
    QVERIFY(!Control<QPushButton>(&w, "cmdStop")->isEnabled());
}

QTEST_MAIN(tst_Mnemonics)
#include "tst_Mnemonics.moc"
