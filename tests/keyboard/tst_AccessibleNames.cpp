// The names a screen reader announces for the controls of the three windows, read through the
// accessibility interface as well as from the widgets.

#include "frmConn.h"
#include "frmKELTester.h"
#include "frmPerfChk.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QComboBox>
#include <QLabel>
#include <QMenuBar>
#include <QTest>

#include <memory>

namespace {

enum class Window { Main, Conn, Perf };

// Where Qt reads a drop-down list by its selected item (as the desktop's own lists are), the
// list's name reaches the reader through the label relation, or its hint as the description.
#ifdef Q_OS_UNIX
constexpr bool kListReadByItem = true;
#else
constexpr bool kListReadByItem = false;
#endif

} // namespace

Q_DECLARE_METATYPE(Window)

class tst_AccessibleNames : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void name_data();
    void name();
    void menuBarItems();
    void statusLine();

private:
    QWidget *window(Window which) const;

    std::unique_ptr<frmKELTester> m_main;
    std::unique_ptr<frmConn> m_conn;
    std::unique_ptr<frmPerfChk> m_perf;
};

void tst_AccessibleNames::initTestCase()
{
    m_main = std::make_unique<frmKELTester>();
    m_conn = std::make_unique<frmConn>();
    m_perf = std::make_unique<frmPerfChk>();
}

void tst_AccessibleNames::cleanupTestCase()
{
    m_perf.reset();
    m_conn.reset();
    m_main.reset();
}

QWidget *tst_AccessibleNames::window(Window which) const
{
    switch (which) {
    case Window::Main:
        return m_main.get();
    case Window::Conn:
        return m_conn.get();
    case Window::Perf:
        return m_perf.get();
    }
    return nullptr;
}

void tst_AccessibleNames::name_data()
{
    QTest::addColumn<Window>("window");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("label"); // the label that names the control, if any

    const auto row = [](Window window, const char *control, const char *expected, const char *label = "") {
        QTest::addRow("%s", control) << window << QString::fromLatin1(control)
                                     << QString::fromLatin1(expected) << QString::fromLatin1(label);
    };

    // Captions, hints, and the one field named by its label.
    row(Window::Main, "fraKelReq", "Request");
    row(Window::Main, "cmbTopCmd", "TopCommand");
    row(Window::Main, "txtKELCmd(0)", "PartName");
    row(Window::Main, "txtKELCmd(1)", "PartNumber");
    row(Window::Main, "txtKELCmd(2)", "SubCommand");
    row(Window::Main, "txtKELCmd(3)", "Parameter");
    row(Window::Main, "lblReq(0)", ":");
    row(Window::Main, "cmdSend", "Send");
    row(Window::Main, "cmdClear", "Clear");
    row(Window::Main, "fraKelRep", "Reply");
    row(Window::Main, "txtHRESULT", "HRESULT");
    row(Window::Main, "cmbVTType", "VTType");
    row(Window::Main, "txtValue", "Value");
    row(Window::Main, "txtDelay", "Delay", "lblRep(2)");
    row(Window::Main, "cmdSet", "Set");
    row(Window::Main, "Frame1", "Performance");
    row(Window::Main, "lblRep(3)", "Target : ");
    row(Window::Main, "txtVarName(0)", "PartName");
    row(Window::Main, "txtVarName(1)", "PartNumber");
    row(Window::Main, "txtVarName(2)", "SubCommand");
    row(Window::Main, "cmdPerfchk", "Performance");
    row(Window::Main, "chkLog", "Log");
    row(Window::Main, "chkInterp", "Interpret");
    row(Window::Main, "lstLog", "Log list");
    row(Window::Main, "mnuFile", "File");
    row(Window::Main, "mnuHelp", "Help");
    row(Window::Main, "mnuRight", "RightClick");

    // Nearly every field of the dialog is named by the label before it.
    row(Window::Conn, "lblConn(0)", "Connect Type  :");
    row(Window::Conn, "cmbConnType", "Connect Type", "lblConn(0)");
    row(Window::Conn, "fraConn", "Conn Option");
    row(Window::Conn, "txtIPAddress", "IP Address", "lblConn(1)");
    row(Window::Conn, "txtPortNumber", "Port Number", "lblConn(2)");
    row(Window::Conn, "txtConnMax", "Max", "lblConn(3)");
    row(Window::Conn, "txtConnTimeout", "Timeout", "lblConn(4)");
    row(Window::Conn, "txtMyIP", "MyIP", "lblConn(5)");
    row(Window::Conn, "txtPort", "MyIP Port", "lblConn(19)");
    row(Window::Conn, "txtComPort", "COM Port", "lblConn(6)");
    row(Window::Conn, "cmbBaudRate", "Baud Rate", "lblConn(7)");
    row(Window::Conn, "cmbParity", "Parity", "lblConn(8)");
    row(Window::Conn, "cmbDataBits", "Data Bits", "lblConn(9)");
    row(Window::Conn, "cmbStopBits", "Stop Bits", "lblConn(10)");
    row(Window::Conn, "chkXonXoff", "XOn/XOff");
    row(Window::Conn, "chkHWCtrl", "Hardware Control");
    row(Window::Conn, "fraPacket", "Packet Option");
    row(Window::Conn, "chkISO", "ISO");
    row(Window::Conn, "chkEIA", "EIA");
    row(Window::Conn, "chkUnicode", "Unicode");
    row(Window::Conn, "cmbHeader", "Header", "lblConn(13)");
    row(Window::Conn, "cmbTerm", "Term", "lblConn(14)");
    row(Window::Conn, "txtEscape", "Escape", "lblConn(15)");
    row(Window::Conn, "txtTimeout", "Timeout", "lblConn(16)");
    row(Window::Conn, "chkSync", "Sync", "lblConn(17)");
    row(Window::Conn, "txtCmdOpt", "AddController Option", "lblConn(18)");
    row(Window::Conn, "cmdOK", "OK");
    row(Window::Conn, "cmdCancel", "Cancel");

    // Mnemonic marks are not read out; a doubled ampersand is one.
    row(Window::Perf, "fraPattern", "Check Pattern");
    row(Window::Perf, "optPattern(0)", "Time(H:M) :");
    row(Window::Perf, "txtHour", "Hour");
    row(Window::Perf, "txtMinute", "Minute");
    row(Window::Perf, "optPattern(1)", "No. Times :");
    row(Window::Perf, "txtPatternCount", "No. Times");
    row(Window::Perf, "udPatternCount", "No. Times");
    row(Window::Perf, "optPattern(2)", "Infinite");
    row(Window::Perf, "fraReadWrite", "Read / Write");
    row(Window::Perf, "optReadWrite(0)", "Read");
    row(Window::Perf, "optReadWrite(1)", "Write");
    row(Window::Perf, "optReadWrite(2)", "Write & Read");
    row(Window::Perf, "chkDataCheck", "Check Data");
    row(Window::Perf, "cmbValueType", "Value", "lblValue");
    row(Window::Perf, "txtValue", "Value text");
    row(Window::Perf, "chkIgnore", "Ignore Error");
    row(Window::Perf, "chkOutput", "OutputDebugString value");
    row(Window::Perf, "cmdStart", "Start");
    row(Window::Perf, "cmdStop", "Stop");
    row(Window::Perf, "cmdClear", "Clear");
    row(Window::Perf, "lvResult", "Result", "lblResult");
    row(Window::Perf, "cmdExit", "Exit");
}

void tst_AccessibleNames::name()
{
    QFETCH(Window, window);
    QFETCH(QString, control);
    QFETCH(QString, expected);
    QFETCH(QString, label);

    QWidget *widget = this->window(window)->findChild<QWidget *>(control);
    QVERIFY2(widget, qPrintable(control));
    QCOMPARE(widget->accessibleName(), expected);
    QAccessibleInterface *face = QAccessible::queryAccessibleInterface(widget);
    QVERIFY(face);
    const auto *list = qobject_cast<QComboBox *>(widget);
    if (list && kListReadByItem) {
        QCOMPARE(face->text(QAccessible::Name), list->currentText());
        // Without a label the hint is what names the list.
        if (label.isEmpty())
            QCOMPARE(face->text(QAccessible::Description), expected);
    } else {
        QCOMPARE(face->text(QAccessible::Name), expected);
    }

    if (label.isEmpty())
        return;
    auto *labelWidget = this->window(window)->findChild<QLabel *>(label);
    QVERIFY2(labelWidget, qPrintable(label));
    QCOMPARE(labelWidget->buddy(), widget);
    if (qobject_cast<QAbstractItemView *>(widget))
        return; // item views report no label relation: their name carries the label's text
    // The reader learns which label belongs to the field.
    bool related = false;
    const auto relations = face->relations(QAccessible::Label);
    for (const auto &relation : relations)
        related = related || relation.first->object() == labelWidget;
    QVERIFY(related);
}

// The menu bar's items are read without their mnemonic marks.
void tst_AccessibleNames::menuBarItems()
{
    QAccessibleInterface *bar = QAccessible::queryAccessibleInterface(m_main->menuBar());
    QVERIFY(bar);
    QStringList names;
    for (int i = 0; i < bar->childCount(); ++i)
        names << bar->child(i)->text(QAccessible::Name);
    QCOMPARE(names, (QStringList{"File", "View", "Tools", "Help"}));
}

// The status text is read as a label's would be. (Its name-changed notice reaches a reader only
// where the platform's accessibility is active, which offscreen it never is.)
void tst_AccessibleNames::statusLine()
{
    auto *line = m_main->findChild<QWidget *>(QStringLiteral("stbMainText"));
    QVERIFY(line);
    QAccessibleInterface *face = QAccessible::queryAccessibleInterface(line);
    QVERIFY(face);
    QCOMPARE(face->role(), QAccessible::StaticText);
    for (const QString &text : {QStringLiteral("Sending..."), QStringLiteral("Ready.")}) {
        QVERIFY(line->setProperty("text", text));
        QCOMPARE(line->property("text").toString(), text);
        QCOMPARE(face->text(QAccessible::Name), text);
    }
}

QTEST_MAIN(tst_AccessibleNames)
#include "tst_AccessibleNames.moc"
