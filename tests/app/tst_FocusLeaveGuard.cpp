#include "FocusLeaveGuard.h"
#include "modMain.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QSpontaneKeyEvent>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <QWindow>

#include <memory>

namespace {

enum class Action { Tab, Backtab, Click, DoubleClick, ClickButton, Wheel, Return, Mnemonic, Escape };

// A dialog with two checked fields, a combo box, a default button with a mnemonic and a
// cancel button on Escape.
struct TestWindow
{
    TestWindow()
    {
        auto *layout = new QVBoxLayout(&dialog);
        for (QLineEdit *&field : fields) {
            field = new QLineEdit(&dialog);
            layout->addWidget(field);
        }
        fields[0]->setObjectName(QStringLiteral("txtFirst"));
        fields[1]->setObjectName(QStringLiteral("txtSecond"));
        combo = new QComboBox(&dialog);
        combo->addItems({ QStringLiteral("one"), QStringLiteral("two"), QStringLiteral("three") });
        layout->addWidget(combo);
        apply = new QPushButton(QStringLiteral("&Apply"), &dialog);
        apply->setDefault(true);
        layout->addWidget(apply);
        cancel = new QPushButton(QStringLiteral("Cancel"), &dialog);
        cancel->setShortcut(QKeySequence(Qt::Key_Escape));
        QObject::connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);
        layout->addWidget(cancel);

        guard = new FocusLeaveGuard(&dialog);
        for (QLineEdit *field : fields) {
            guard->addField(field, [this, field] {
                ++checks;
                if (IsAllDigits(field->text()))
                    return true;
                SelectAllText(field);
                return false;
            });
        }
    }

    QPoint centreOf(const QWidget *w) const { return w->mapTo(&dialog, w->rect().center()); }

    QDialog dialog;
    QLineEdit *fields[2] {};
    QComboBox *combo = nullptr;
    QPushButton *apply = nullptr;
    QPushButton *cancel = nullptr;
    FocusLeaveGuard *guard = nullptr;
    int checks = 0;
};

void sendWheel(QWindow *window, QPoint pos)
{
    QWheelEvent wheel(pos, window->mapToGlobal(pos), QPoint(), QPoint(0, -120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QSpontaneKeyEvent::setSpontaneous(&wheel);
    QApplication::sendEvent(window, &wheel);
}

} // namespace

Q_DECLARE_METATYPE(Action)

class tst_FocusLeaveGuard : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void actions_data();
    void actions();
    void clickInsideFieldIsNotChecked();
    void unguardedFocusIsNotChecked();
    void eventsDuringACheckAreNotChecked();

private:
    std::unique_ptr<TestWindow> m_w;
    QWindow *showAndFocus(const QString &text);
};

void tst_FocusLeaveGuard::init()
{
    m_w = std::make_unique<TestWindow>();
}

void tst_FocusLeaveGuard::cleanup()
{
    m_w.reset();
}

QWindow *tst_FocusLeaveGuard::showAndFocus(const QString &text)
{
    m_w->fields[0]->setText(text);
    m_w->dialog.show();
    m_w->dialog.activateWindow();
    if (!QTest::qWaitForWindowActive(&m_w->dialog))
        return nullptr;
    m_w->fields[0]->setFocus();
    if (QApplication::focusWidget() != m_w->fields[0])
        return nullptr;
    return m_w->dialog.windowHandle();
}

void tst_FocusLeaveGuard::actions_data()
{
    QTest::addColumn<Action>("action");
    QTest::addColumn<bool>("passing");
    const struct
    {
        const char *name;
        Action action;
    } rows[] = {
        { "Tab", Action::Tab },
        { "Backtab", Action::Backtab },
        { "click on the other field", Action::Click },
        { "double-click on the other field", Action::DoubleClick },
        { "click on a button", Action::ClickButton },
        { "wheel over the combo box", Action::Wheel },
        { "Return", Action::Return },
        { "mnemonic", Action::Mnemonic },
        { "Escape", Action::Escape },
    };
    for (const auto &row : rows) {
        QTest::addRow("%s, failing", row.name) << row.action << false;
        QTest::addRow("%s, passing", row.name) << row.action << true;
    }
}

void tst_FocusLeaveGuard::actions()
{
    QFETCH(Action, action);
    QFETCH(bool, passing);
    QWindow *window = showAndFocus(passing ? QStringLiteral("12") : QStringLiteral("12a"));
    QVERIFY(window);
    QLineEdit *field = m_w->fields[0];
    QSignalSpy applied(m_w->apply, &QPushButton::clicked);
    QSignalSpy rejected(&m_w->dialog, &QDialog::rejected);

    switch (action) {
    case Action::Tab: QTest::keyClick(field, Qt::Key_Tab); break;
    case Action::Backtab: QTest::keyClick(field, Qt::Key_Backtab, Qt::ShiftModifier); break;
    case Action::Click:
        QTest::mouseClick(window, Qt::LeftButton, {}, m_w->centreOf(m_w->fields[1]));
        break;
    case Action::DoubleClick:
        QTest::mouseDClick(window, Qt::LeftButton, {}, m_w->centreOf(m_w->fields[1]));
        break;
    case Action::ClickButton: QTest::mouseClick(window, Qt::LeftButton, {}, m_w->centreOf(m_w->apply)); break;
    case Action::Wheel: sendWheel(window, m_w->centreOf(m_w->combo)); break;
    case Action::Return: QTest::keyClick(field, Qt::Key_Return); break;
    case Action::Mnemonic: QTest::keyClick(field, Qt::Key_A, Qt::AltModifier); break;
    case Action::Escape: QTest::keyClick(field, Qt::Key_Escape); break;
    }

    if (action == Action::Escape) {
        QTRY_COMPARE_WITH_TIMEOUT(rejected.size(), 1, 2000);
        QCOMPARE(m_w->checks, 0);
        return;
    }

    const bool acts = action == Action::ClickButton || action == Action::Return || action == Action::Mnemonic;
    if (passing) {
        QVERIFY(m_w->checks >= 1);
        if (acts)
            QTRY_COMPARE_WITH_TIMEOUT(applied.size(), 1, 2000);
        else if (action == Action::Wheel)
            QCOMPARE(m_w->combo->currentIndex(), 1);
        else
            QVERIFY(QApplication::focusWidget() != field);
        return;
    }

    // A double-click is two presses, each one a try to leave.
    if (action == Action::DoubleClick)
        QVERIFY(m_w->checks >= 1 && m_w->checks <= 2);
    else
        QCOMPARE(m_w->checks, 1);
    QCOMPARE(QApplication::focusWidget(), field);
    QCOMPARE(field->selectedText(), QStringLiteral("12a"));
    QCOMPARE(m_w->combo->currentIndex(), 0);
    if (acts)
        QTest::qWait(300); // a mnemonic clicks after a short animation
    QCOMPARE(applied.size(), 0);
    QCOMPARE(rejected.size(), 0);
}

void tst_FocusLeaveGuard::clickInsideFieldIsNotChecked()
{
    QWindow *window = showAndFocus(QStringLiteral("abc"));
    QVERIFY(window);
    QTest::mouseClick(window, Qt::LeftButton, {}, m_w->centreOf(m_w->fields[0]));
    QTest::keyClick(m_w->fields[0], Qt::Key_X);
    QCOMPARE(m_w->checks, 0);
    QCOMPARE(QApplication::focusWidget(), m_w->fields[0]);
}

void tst_FocusLeaveGuard::unguardedFocusIsNotChecked()
{
    QWindow *window = showAndFocus(QStringLiteral("abc"));
    QVERIFY(window);
    m_w->apply->setFocus(); // focus moved by code is not checked
    QTest::keyClick(m_w->apply, Qt::Key_Tab);
    QTest::mouseClick(window, Qt::LeftButton, {}, m_w->centreOf(m_w->fields[1]));
    QCOMPARE(m_w->checks, 0);
    QCOMPARE(QApplication::focusWidget(), m_w->fields[1]);
}

void tst_FocusLeaveGuard::eventsDuringACheckAreNotChecked()
{
    QWindow *window = showAndFocus(QStringLiteral("abc"));
    QVERIFY(window);
    QLineEdit *field = m_w->fields[0];
    int outer = 0;
    // Stands for a check whose message box runs a nested event loop.
    FocusLeaveGuard nested(&m_w->dialog);
    nested.addField(field, [&outer, window, this] {
        ++outer;
        QTest::mouseClick(window, Qt::LeftButton, {}, m_w->centreOf(m_w->combo));
        return false;
    });
    QTest::mouseClick(window, Qt::LeftButton, {}, m_w->centreOf(m_w->fields[1]));
    QCOMPARE(outer, 1);
    QVERIFY(m_w->checks <= 1);
}

QTEST_MAIN(tst_FocusLeaveGuard)
#include "tst_FocusLeaveGuard.moc"
