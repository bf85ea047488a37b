#include "MessageBox.h"
#include "modMain.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTest>

#include <memory>

namespace {

enum class Kind { TextBox, ComboBox, ListBox, Label, CommandButton, CheckBox };

std::unique_ptr<QWidget> make(Kind kind)
{
    switch (kind) {
    case Kind::TextBox: return std::make_unique<QLineEdit>(QStringLiteral("text"));
    case Kind::ComboBox: return std::make_unique<QComboBox>();
    case Kind::ListBox: return std::make_unique<QListView>();
    case Kind::Label: return std::make_unique<QLabel>(QStringLiteral("label"));
    case Kind::CommandButton: return std::make_unique<QPushButton>(QStringLiteral("OK"));
    case Kind::CheckBox: return std::make_unique<QCheckBox>(QStringLiteral("check"));
    }
    return nullptr;
}

QColor systemColour(const QWidget *w, QPalette::ColorGroup group, QPalette::ColorRole role)
{
    return QApplication::palette(w).color(group, role);
}

} // namespace

Q_DECLARE_METATYPE(Kind)

class tst_ControlLook : public QObject
{
    Q_OBJECT
private slots:
    void setCtlEnabled_data();
    void setCtlEnabled();
    void setCtlEditable_data();
    void setCtlEditable();
    void selectAllText();
    void messageBoxHook();
};

void tst_ControlLook::setCtlEnabled_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<bool>("coloured");
    QTest::addColumn<int>("backgroundRole");
    QTest::addColumn<int>("textRole");
    QTest::newRow("text box") << Kind::TextBox << true << int(QPalette::Base) << int(QPalette::Text);
    QTest::newRow("combo box") << Kind::ComboBox << true << int(QPalette::Base) << int(QPalette::Text);
    QTest::newRow("list") << Kind::ListBox << true << int(QPalette::Base) << int(QPalette::Text);
    QTest::newRow("label") << Kind::Label << true << int(QPalette::Window) << int(QPalette::WindowText);
    QTest::newRow("command button") << Kind::CommandButton << false << int(QPalette::Button)
                                    << int(QPalette::ButtonText);
}

void tst_ControlLook::setCtlEnabled()
{
    QFETCH(Kind, kind);
    QFETCH(bool, coloured);
    QFETCH(int, backgroundRole);
    QFETCH(int, textRole);
    const auto background = QPalette::ColorRole(backgroundRole);
    const auto text = QPalette::ColorRole(textRole);
    const auto w = make(kind);
    const QPalette before = w->palette();

    SetCtlEnabled(w.get(), false);
    QVERIFY(!w->isEnabled());
    if (coloured) {
        QCOMPARE(w->palette().color(QPalette::Disabled, background),
                 systemColour(w.get(), QPalette::Active, QPalette::Button));
        QCOMPARE(w->palette().color(QPalette::Disabled, text),
                 systemColour(w.get(), QPalette::Disabled, QPalette::Text));
    } else {
        QCOMPARE(w->palette(), before);
    }

    SetCtlEnabled(w.get(), true);
    QVERIFY(w->isEnabled());
    if (coloured) {
        QCOMPARE(w->palette().color(QPalette::Active, background),
                 systemColour(w.get(), QPalette::Active, QPalette::Base));
        QCOMPARE(w->palette().color(QPalette::Active, text),
                 systemColour(w.get(), QPalette::Active, QPalette::Text));
    } else {
        QCOMPARE(w->palette(), before);
    }
}

void tst_ControlLook::setCtlEditable_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<bool>("followsEnabled");
    QTest::newRow("text box") << Kind::TextBox << true;
    QTest::newRow("command button") << Kind::CommandButton << true;
    QTest::newRow("combo box") << Kind::ComboBox << true;
    QTest::newRow("label") << Kind::Label << false;
    QTest::newRow("check box") << Kind::CheckBox << false;
}

void tst_ControlLook::setCtlEditable()
{
    QFETCH(Kind, kind);
    QFETCH(bool, followsEnabled);
    const auto w = make(kind);
    const QPalette before = w->palette();
    auto *textBox = qobject_cast<QLineEdit *>(w.get());

    SetCtlEditable(w.get(), false);
    QCOMPARE(w->isEnabled(), !followsEnabled);
    if (textBox) {
        QVERIFY(textBox->isReadOnly());
        QCOMPARE(w->palette().color(QPalette::Base), systemColour(w.get(), QPalette::Active, QPalette::Button));
    } else {
        QCOMPARE(w->palette(), before);
    }

    SetCtlEditable(w.get(), true);
    QVERIFY(w->isEnabled());
    if (textBox) {
        QVERIFY(!textBox->isReadOnly());
        QCOMPARE(w->palette().color(QPalette::Base), systemColour(w.get(), QPalette::Active, QPalette::Base));
    } else {
        QCOMPARE(w->palette(), before);
    }
}

void tst_ControlLook::selectAllText()
{
    QLineEdit box(QStringLiteral("12abc"));
    box.setCursorPosition(2);
    SelectAllText(&box);
    QCOMPARE(box.selectionStart(), 0);
    QCOMPARE(box.selectedText(), QStringLiteral("12abc"));
}

void tst_ControlLook::messageBoxHook()
{
    QStringList shown;
    SetMessageBoxHook([&shown](const QString &text) {
        shown << text;
        SetMessageBoxHook([&shown](const QString &again) { shown << QStringLiteral("second ") + again; });
    });
    ShowMessageBox(nullptr, QStringLiteral("one"));
    ShowMessageBox(nullptr, QStringLiteral("two"));
    SetMessageBoxHook({});
    QCOMPARE(shown, QStringList({ QStringLiteral("one"), QStringLiteral("second two") }));
}

QTEST_MAIN(tst_ControlLook)
#include "tst_ControlLook.moc"
