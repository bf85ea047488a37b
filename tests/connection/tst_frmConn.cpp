// The connection dialog's controls and rules: defaults, focus order, the layout of each
// connection type, the check box rules and the numeric field checks.

#include "DialogTest.h"

#include <QApplication>
#include <QClipboard>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QTextLayout>
#include <QTimer>
#include <QWindow>

class tst_frmConn : public DialogTest
{
    Q_OBJECT
private slots:
    void defaults();
    void focusOrder();
    void typeLayout_data();
    void typeLayout();
    void typeSwitchResetsSync();
    void isoEiaExclusion();
    void unicodeCannotChange();
    void numericFieldPasses_data();
    void numericFieldPasses();
    void numericFieldFails_data();
    void numericFieldFails();
};

void tst_frmConn::defaults()
{
    frmConn *d = m_dialog.get();
    QCOMPARE(d->windowTitle(), QStringLiteral("Connect"));
    QCOMPARE(option(d), kComClientDefault);
    QVERIFY(d->connectOption().isEmpty());
    QCOMPARE(d->storedSettings().ipAddress, QStringLiteral("127.0.0.1"));
    QCOMPARE(d->storedSettings().connMax, QStringLiteral("10"));
    QVERIFY(Control(d, "picCom")->isVisible());
    QVERIFY(!Control(d, "picEther")->isVisible());
    QVERIFY(Control<QCheckBox>(d, "chkUnicode")->isChecked());
    QVERIFY(!Control<QCheckBox>(d, "chkUnicode")->isEnabled());
    QVERIFY(!Control<QLineEdit>(d, "txtConnMax")->isEnabled());
    QVERIFY(!Control<QLineEdit>(d, "txtConnTimeout")->isEnabled());
    QCOMPARE(Control<QCheckBox>(d, "chkSync")->checkState(), Qt::Checked);
    QVERIFY(Control<QCheckBox>(d, "chkSync")->isEnabled());
    QVERIFY(!Control<QComboBox>(d, "cmbConnType")->isEditable());
    QVERIFY(Control<QLineEdit>(d, "txtMyIP")->text().isEmpty());
    QVERIFY(Control<QLineEdit>(d, "txtPort")->text().isEmpty());
}

void tst_frmConn::focusOrder()
{
    const QStringList expected{"cmbConnType", "txtIPAddress", "txtPortNumber", "txtConnMax",
                               "txtConnTimeout", "txtMyIP", "txtPort", "txtComPort",
                               "cmbBaudRate", "cmbParity", "cmbDataBits", "cmbStopBits",
                               "chkXonXoff", "chkHWCtrl", "chkISO", "chkEIA", "chkUnicode",
                               "cmbHeader", "cmbTerm", "txtEscape", "txtTimeout", "chkSync",
                               "txtCmdOpt", "cmdOK", "cmdCancel"};
    QStringList actual;
    QWidget *start = Control<QComboBox>(m_dialog.get(), "cmbConnType");
    QWidget *w = start;
    do {
        if (expected.contains(w->objectName()))
            actual << w->objectName();
        w = w->nextInFocusChain();
    } while (w != start);
    QCOMPARE(actual, expected);
}

void tst_frmConn::typeLayout_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("com");
    // txtIPAddress, txtPortNumber, txtConnMax, txtConnTimeout, txtPort
    QTest::addColumn<QList<bool>>("etherEnabled");
    QTest::addColumn<bool>("syncChecked");
    QTest::addColumn<bool>("syncEnabled");
    QTest::addColumn<QString>("expected");

    QTest::newRow("COM(Client)") << int(ComClient) << true
                                 << QList<bool>{true, true, false, false, true} << true << true
                                 << kComClientDefault;
    QTest::newRow("COM(Server)") << int(ComServer) << true
                                 << QList<bool>{true, true, false, false, true} << false << false
                                 << "Conn=com:1:38400:N:8:1:0,PacketOpt=4:0:0:0,Timeout=500,Sync=False";
    QTest::newRow("Ether(Client)") << int(EtherClient) << false
                                   << QList<bool>{true, true, false, false, true} << true << true
                                   << "Conn=eth:127.0.0.1:5006,PacketOpt=4:0:0:0,EtherOpt=0,Timeout=500,Sync=True";
    QTest::newRow("Ether(Server)") << int(EtherServer) << false
                                   << QList<bool>{false, true, true, true, false} << true << false
                                   << "Conn=eth::5006,PacketOpt=4:0:0:0,EtherOpt=1:10:900,Timeout=500";
}

void tst_frmConn::typeLayout()
{
    QFETCH(int, type);
    QFETCH(bool, com);
    QFETCH(QList<bool>, etherEnabled);
    QFETCH(bool, syncChecked);
    QFETCH(bool, syncEnabled);
    QFETCH(QString, expected);

    frmConn *d = m_dialog.get();
    // Pass through Ether(Server) first so the client layout has to switch the fields back.
    Control<QComboBox>(d, "cmbConnType")->setCurrentIndex(EtherServer);
    Control<QComboBox>(d, "cmbConnType")->setCurrentIndex(EtherClient);
    Control<QComboBox>(d, "cmbConnType")->setCurrentIndex(type);

    QCOMPARE(Control(d, "picCom")->isVisible(), com);
    QCOMPARE(Control(d, "picEther")->isVisible(), !com);
    QCOMPARE(Control(d, "picCom")->geometry(), Control(d, "picEther")->geometry());
    const QList<bool> actual{Control<QLineEdit>(d, "txtIPAddress")->isEnabled(), Control<QLineEdit>(d, "txtPortNumber")->isEnabled(),
                             Control<QLineEdit>(d, "txtConnMax")->isEnabled(), Control<QLineEdit>(d, "txtConnTimeout")->isEnabled(),
                             Control<QLineEdit>(d, "txtPort")->isEnabled()};
    if (!com)
        QCOMPARE(actual, etherEnabled);
    QVERIFY(Control<QLineEdit>(d, "txtMyIP")->isEnabled());
    QCOMPARE(Control<QCheckBox>(d, "chkSync")->isChecked(), syncChecked);
    QCOMPARE(Control<QCheckBox>(d, "chkSync")->isEnabled(), syncEnabled);
    QCOMPARE(option(d), expected);

    // The box wraps between settings, after a comma, never inside a number; a copy of it is the
    // option string.
    auto *box = Control<OptionBox>(d, "txtCmdOpt");
    const QTextBlock shown = box->document()->firstBlock();
    QVERIFY(shown.layout()->lineCount() > 1 || type != EtherClient); // the longest string
    for (int i = 0; i + 1 < shown.layout()->lineCount(); ++i) {
        const QTextLine line = shown.layout()->lineAt(i);
        const QString text = shown.text().mid(line.textStart(), line.textLength()).remove(QChar(0x200B));
        QVERIFY2(text.endsWith(u','), qPrintable(text));
    }
    box->selectAll();
    box->copy();
    QCOMPARE(QApplication::clipboard()->text(), expected);
}

void tst_frmConn::typeSwitchResetsSync()
{
    frmConn *d = m_dialog.get();
    click(Control<QCheckBox>(d, "chkSync"));
    QCOMPARE(Control<QCheckBox>(d, "chkSync")->checkState(), Qt::Unchecked);
    QVERIFY(option(d).endsWith(u",Sync=False"));

    Control<QComboBox>(d, "cmbConnType")->setCurrentIndex(ComServer);
    QCOMPARE(Control<QCheckBox>(d, "chkSync")->checkState(), Qt::Unchecked);
    QVERIFY(!Control<QCheckBox>(d, "chkSync")->isEnabled());
    Control<QComboBox>(d, "cmbConnType")->setCurrentIndex(ComClient);
    QCOMPARE(Control<QCheckBox>(d, "chkSync")->checkState(), Qt::Checked);
    QVERIFY(Control<QCheckBox>(d, "chkSync")->isEnabled());
    QCOMPARE(option(d), kComClientDefault);
}

void tst_frmConn::isoEiaExclusion()
{
    frmConn *d = m_dialog.get();
    click(Control<QCheckBox>(d, "chkISO"));
    QVERIFY(Control<QCheckBox>(d, "chkISO")->isChecked());
    QVERIFY(!Control<QCheckBox>(d, "chkEIA")->isEnabled());
    QVERIFY(option(d).contains(u",PacketOpt=5:0:0:0,"));
    click(Control<QCheckBox>(d, "chkEIA")); // disabled: no effect
    QVERIFY(!Control<QCheckBox>(d, "chkEIA")->isChecked());

    click(Control<QCheckBox>(d, "chkISO"));
    QVERIFY(Control<QCheckBox>(d, "chkEIA")->isEnabled());
    click(Control<QCheckBox>(d, "chkEIA"));
    QVERIFY(Control<QCheckBox>(d, "chkEIA")->isChecked());
    QVERIFY(!Control<QCheckBox>(d, "chkISO")->isEnabled());
    QVERIFY(option(d).contains(u",PacketOpt=6:0:0:0,"));
    click(Control<QCheckBox>(d, "chkEIA"));
    QVERIFY(Control<QCheckBox>(d, "chkISO")->isEnabled());
    QVERIFY(option(d).contains(u",PacketOpt=4:0:0:0,"));
}

void tst_frmConn::unicodeCannotChange()
{
    frmConn *d = m_dialog.get();
    click(Control<QCheckBox>(d, "chkUnicode"));
    QTest::keyClick(Control<QCheckBox>(d, "chkUnicode"), Qt::Key_Space);
    QVERIFY(Control<QCheckBox>(d, "chkUnicode")->isChecked());
    click(Control<QCheckBox>(d, "chkISO"));
    click(Control<QCheckBox>(d, "chkISO"));
    QVERIFY(!Control<QCheckBox>(d, "chkUnicode")->isEnabled());
}

void tst_frmConn::numericFieldPasses_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");

    for (const char *field : {"txtComPort", "txtPortNumber", "txtConnMax", "txtConnTimeout",
                              "txtEscape", "txtTimeout"})
        QTest::newRow(qPrintable(QStringLiteral("%1 blanks and zeros").arg(field)))
            << field << " 0042 " << "42";
    QTest::newRow("zero") << "txtTimeout" << "000" << "0";
    QTest::newRow("15 digits stay plain") << "txtTimeout" << "999999999999999" << "999999999999999";
    QTest::newRow("16 digits: exponent form")
        << "txtTimeout" << "1234567890123456" << "1.23456789012346E+15";
    QTest::newRow("10^15") << "txtEscape" << "1000000000000000" << "1E+15";
    QTest::newRow("rounds up to the next power")
        << "txtPortNumber" << "9999999999999999" << "1E+16";
    QTest::newRow("three-digit exponent") << "txtConnMax" << QString(120, u'7') << "7.77777777777778E+119";
}

void tst_frmConn::numericFieldPasses()
{
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(QString, shown);

    frmConn *d = m_dialog.get();
    Control<QComboBox>(d, "cmbConnType")->setCurrentIndex(typeShowing(field));
    auto *box = Control<QLineEdit>(d, field);
    typeInto(box, typed);
    QVERIFY(!option(d).contains(typed)); // typing alone does not rebuild

    QTest::keyClick(box, Qt::Key_Tab);
    QVERIFY(!box->hasFocus());
    QCOMPARE(box->text(), shown);
    QCOMPARE(option(d), BuildConnectOption(d->CurrentSettings()));
    QVERIFY(option(d).contains(shown));
}

void tst_frmConn::numericFieldFails_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("kept");

    for (const char *field : {"txtComPort", "txtPortNumber", "txtConnMax", "txtConnTimeout",
                              "txtEscape", "txtTimeout"})
        QTest::newRow(qPrintable(QStringLiteral("%1 12a").arg(field))) << field << " 12a " << "12a";
    QTest::newRow("negative") << "txtTimeout" << "-5" << "-5";
    QTest::newRow("fraction") << "txtTimeout" << "1.5" << "1.5";
    QTest::newRow("empty") << "txtComPort" << "" << "";
    QTest::newRow("only blanks") << "txtEscape" << "   " << "";
    QTest::newRow("inner blank") << "txtPortNumber" << "1 2" << "1 2";
    QTest::newRow("full-width digit") << "txtTimeout" << QStringLiteral("1\uFF12") << QStringLiteral("1\uFF12");
    QTest::newRow("beyond a double") << "txtTimeout" << QString(400, u'9') << QString(400, u'9');
}

void tst_frmConn::numericFieldFails()
{
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(QString, kept);

    frmConn *d = m_dialog.get();
    Control<QComboBox>(d, "cmbConnType")->setCurrentIndex(typeShowing(field));
    const QString before = option(d);
    auto *box = Control<QLineEdit>(d, field);
    typeInto(box, typed);

    QTest::keyClick(box, Qt::Key_Tab);
    QVERIFY(box->hasFocus());
    QCOMPARE(box->text(), kept);
    QCOMPARE(box->selectedText(), kept);

    click(Control<QPushButton>(d, "cmdOK"));
    click(Control<QPushButton>(d, "cmdCancel"));
    click(box == Control<QLineEdit>(d, "txtTimeout") ? Control<QLineEdit>(d, "txtEscape") : Control<QLineEdit>(d, "txtTimeout"));
    QVERIFY(d->isVisible());
    QVERIFY(!d->isAccepted());
    QVERIFY(box->hasFocus());
    QCOMPARE(option(d), before);

    // Escape still cancels and puts the stored value back.
    QTest::keyClick(box, Qt::Key_Escape);
    QVERIFY(!d->isVisible());
    QVERIFY(!d->isAccepted());
    QCOMPARE(box->text(), QString::number(storedValue(d, field)));
}

QTEST_MAIN(tst_frmConn)
#include "tst_frmConn.moc"
