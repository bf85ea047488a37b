// Walks each window's tab order with real Tab and Shift+Tab presses.

#include "KeyboardTest.h"
#include "WindowControls.h"

#include "frmConn.h"
#include "frmKELTester.h"
#include "frmPerfChk.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>

#include <memory>

using namespace KeyboardTest;

namespace {

enum class Scene {
    MainStart,
    MainPanels,
    MainPanelsWithValue,
    ConnComClient,
    ConnComServer,
    ConnEtherClient,
    ConnEtherServer,
    PerfStart,
    PerfTimeWriteRead,
};

std::unique_ptr<QWidget> Build(Scene scene)
{
    switch (scene) {
    case Scene::MainStart:
    case Scene::MainPanels:
    case Scene::MainPanelsWithValue: {
        auto window = std::make_unique<frmKELTester>();
        if (scene != Scene::MainStart) {
            window->EnableRequest(true);
            window->EnableReply(true);
            window->EnablePerformance(true);
        }
        if (scene == Scene::MainPanelsWithValue) {
            auto *types = Control<QComboBox>(window.get(), "cmbVTType");
            types->setCurrentIndex(types->findText(QStringLiteral("VT_I4")));
            // A list with lines and a selection still hands Tab on.
            window->AddLog(QStringLiteral("First\t\t"), QStringLiteral("one"));
            window->AddLog(QStringLiteral("Second\t\t"), QStringLiteral("two"));
        }
        return window;
    }
    case Scene::ConnComClient:
    case Scene::ConnComServer:
    case Scene::ConnEtherClient:
    case Scene::ConnEtherServer: {
        auto dialog = std::make_unique<frmConn>();
        Control<QComboBox>(dialog.get(), "cmbConnType")->setCurrentIndex(int(scene) - int(Scene::ConnComClient));
        return dialog;
    }
    case Scene::PerfStart:
    case Scene::PerfTimeWriteRead: {
        auto window = std::make_unique<frmPerfChk>();
        if (scene == Scene::PerfTimeWriteRead) {
            Control<QRadioButton>(window.get(), Element("optPattern", 0))->setChecked(true);
            Control<QRadioButton>(window.get(), Element("optReadWrite", 2))->setChecked(true);
        }
        return window;
    }
    }
    return nullptr;
}

QStringList Walk(qsizetype presses, bool forward)
{
    QStringList names;
    for (qsizetype i = 0; i < presses; ++i) {
        if (forward)
            Press(Qt::Key_Tab);
        else
            Press(Qt::Key_Backtab, Qt::ShiftModifier);
        names << FocusName();
    }
    return names;
}

QStringList Indexed(const QString &name, int count)
{
    QStringList names;
    for (int i = 0; i < count; ++i)
        names << QStringLiteral("%1(%2)").arg(name).arg(i);
    return names;
}

} // namespace

Q_DECLARE_METATYPE(Scene)

class tst_TabOrder : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void walk_data();
    void walk();
    void dialogReopensOnConnectionType();
    void arrowsStayInOptionGroup();
};

void tst_TabOrder::initTestCase()
{
    QApplication::setQuitOnLastWindowClosed(false);
}

void tst_TabOrder::walk_data()
{
    QTest::addColumn<Scene>("scene");
    QTest::addColumn<QStringList>("order");

    const QStringList switches{"chkLog", "chkInterp", "lstLog"};
    const QStringList request = QStringList{"cmbTopCmd"} + Indexed("txtKELCmd", 4)
                                + QStringList{"cmdSend", "cmdClear"};
    const QStringList performance = QStringList{"cmdPerfchk"} + Indexed("txtVarName", 3);
    QTest::newRow("main, not connected") << Scene::MainStart << switches;
    QTest::newRow("main, panels on, reply type (nothing)")
        << Scene::MainPanels
        << request + QStringList{"txtHRESULT", "cmbVTType", "txtDelay", "cmdSet"} + switches + performance;
    QTest::newRow("main, panels on, reply type with a value, log lines")
        << Scene::MainPanelsWithValue
        << request + QStringList{"txtHRESULT", "cmbVTType", "txtValue", "txtDelay", "cmdSet"} + switches
               + performance;

    const QStringList packet{"chkISO", "chkEIA", "cmbHeader", "cmbTerm", "txtEscape", "txtTimeout"};
    const QStringList serial{"cmbConnType", "txtComPort", "cmbBaudRate", "cmbParity", "cmbDataBits",
                             "cmbStopBits", "chkXonXoff", "chkHWCtrl"};
    const QStringList bottom{"txtCmdOpt", "cmdOK", "cmdCancel"};
    QTest::newRow("dialog, COM(Client)") << Scene::ConnComClient
                                         << serial + packet + QStringList{"chkSync"} + bottom;
    QTest::newRow("dialog, COM(Server)") << Scene::ConnComServer << serial + packet + bottom;
    QTest::newRow("dialog, Ether(Client)")
        << Scene::ConnEtherClient
        << QStringList{"cmbConnType", "txtIPAddress", "txtPortNumber", "txtMyIP", "txtPort"} + packet
               + QStringList{"chkSync"} + bottom;
    QTest::newRow("dialog, Ether(Server)")
        << Scene::ConnEtherServer
        << QStringList{"cmbConnType", "txtPortNumber", "txtConnMax", "txtConnTimeout", "txtMyIP"} + packet
               + bottom;

    const QStringList perfEnd{"chkIgnore", "chkOutput", "cmdStart", "cmdClear", "lvResult", "cmdExit", "cmdExport"};
    QTest::newRow("performance, after load")
        << Scene::PerfStart
        << QStringList{"optPattern(0)", "optPattern(1)", "txtPatternCount", "udPatternCount",
                       "optPattern(2)"}
               + Indexed("optReadWrite", 3) + perfEnd;
    QTest::newRow("performance, time pattern, write and read")
        << Scene::PerfTimeWriteRead
        << QStringList{"optPattern(0)", "txtHour", "txtMinute", "optPattern(1)", "optPattern(2)"}
               + Indexed("optReadWrite", 3) + QStringList{"chkDataCheck", "cmbValueType", "txtValue"}
               + perfEnd;
}

// From the first control, Tab visits every usable control once in order and comes back round;
// Shift+Tab visits them in reverse.
void tst_TabOrder::walk()
{
    QFETCH(Scene, scene);
    QFETCH(QStringList, order);

    const std::unique_ptr<QWidget> window = Build(scene);
    QVERIFY(ShowActive(window.get()));
    QCOMPARE(FocusName(), order.first());

    QCOMPARE(Walk(order.size(), true), order.mid(1) << order.first());

    QStringList backwards = order;
    std::reverse(backwards.begin(), backwards.end());
    QCOMPARE(Walk(order.size(), false), backwards);
}

// The dialog hides itself with the focus on the connection type, wherever the user left it.
void tst_TabOrder::dialogReopensOnConnectionType()
{
    frmConn dialog;
    QVERIFY(ShowActive(&dialog));
    Press(Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(FocusName(), QStringLiteral("cmdCancel"));
    Press(Qt::Key_Space);
    QVERIFY(!dialog.isVisible());
    QVERIFY(ShowActive(&dialog));
    QCOMPARE(FocusName(), QStringLiteral("cmbConnType"));
}

// The arrow keys choose within an option group; every option stays a Tab stop afterwards.
void tst_TabOrder::arrowsStayInOptionGroup()
{
    frmPerfChk window;
    QVERIFY(ShowActive(&window));
    Control<QRadioButton>(&window, Element("optPattern", 1))->setFocus();
    Press(Qt::Key_Down);
    QCOMPARE(FocusName(), QStringLiteral("optPattern(2)"));
    QVERIFY(Control<QRadioButton>(&window, Element("optPattern", 2))->isChecked());
    QVERIFY(!Control<QLineEdit>(&window, "txtPatternCount")->isEnabled());
    Press(Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(FocusName(), QStringLiteral("optPattern(1)"));
    Press(Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(FocusName(), QStringLiteral("optPattern(0)"));
    QVERIFY(Control<QRadioButton>(&window, Element("optPattern", 2))->isChecked());
}

QTEST_MAIN(tst_TabOrder)
#include "tst_TabOrder.moc"
