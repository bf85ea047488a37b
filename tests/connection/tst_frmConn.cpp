#include "UserActions.h"
#include "WindowControls.h"
#include "frmConn.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <memory>

namespace {

const QString kComClientDefault =
    QStringLiteral("Conn=com:1:38400:N:8:1:0,PacketOpt=4:0:0:0,Timeout=500,Sync=True");

// Through the window, so the focus-leave guard sees the press before the focus moves.
void click(QWidget *widget)
{
    UserActions::Click(widget);
}

void typeInto(QLineEdit *field, const QString &text)
{
    field->setFocus();
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Delete);
    // Key clicks carry Latin-1 only; other characters are pasted in.
    if (std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; }))
        QTest::keyClicks(field, text);
    else
        field->insert(text);
}

QString option(frmConn *dialog)
{
    return Control<QPlainTextEdit>(dialog, "txtCmdOpt")->toPlainText();
}

// The stored setting behind a numeric field.
qint64 storedValue(const frmConn *dialog, const QString &field)
{
    if (field == u"txtComPort")
        return dialog->m_iComPort;
    if (field == u"txtPortNumber")
        return dialog->m_lPortNumber;
    if (field == u"txtConnMax")
        return dialog->m_lConnMax;
    if (field == u"txtConnTimeout")
        return dialog->m_lConnTimeout;
    if (field == u"txtEscape")
        return dialog->m_lEscape;
    return dialog->m_lTimeout;
}

// A type on which the field is shown and usable.
int typeShowing(const QString &field)
{
    if (field == u"txtComPort")
        return ComClient;
    if (field == u"txtPortNumber" || field == u"txtConnMax" || field == u"txtConnTimeout")
        return EtherServer;
    return EtherClient;
}

enum class CancelWay { Button, Escape, CloseBox };

} // namespace

Q_DECLARE_METATYPE(CancelWay)

class tst_frmConn : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

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
    void cancelRestoresLastOK_data();
    void cancelRestoresLastOK();
    void valueTooLargeForItsSetting_data();
    void valueTooLargeForItsSetting();
    void returnKeyDoesNotAccept();
    void reopenAfterOK();
    void reopenAfterCloseBox();
    void execReturnsOnOK();
    void singleInstance();

private:
    void open();
    std::unique_ptr<frmConn> m_dialog;
};

void tst_frmConn::init()
{
    m_dialog = std::make_unique<frmConn>();
    open();
}

void tst_frmConn::cleanup()
{
    m_dialog.reset();
}

void tst_frmConn::open()
{
    m_dialog->show();
    QVERIFY(QTest::qWaitForWindowActive(m_dialog.get()));
}

void tst_frmConn::defaults()
{
    frmConn *d = m_dialog.get();
    QCOMPARE(d->windowTitle(), QStringLiteral("Connect"));
    QCOMPARE(option(d), kComClientDefault);
    QVERIFY(d->m_strConnectOption.isEmpty());
    QCOMPARE(d->m_strIPAddress, QStringLiteral("127.0.0.1"));
    QCOMPARE(d->m_lConnMax, 10);
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
    QCOMPARE(option(d), BuildConnectOption(d->CurrentInput()));
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
    QVERIFY(!d->m_bOK);
    QVERIFY(box->hasFocus());
    QCOMPARE(option(d), before);

    // Escape still cancels and puts the stored value back.
    QTest::keyClick(box, Qt::Key_Escape);
    QVERIFY(!d->isVisible());
    QVERIFY(!d->m_bOK);
    QCOMPARE(box->text(), QString::number(storedValue(d, field)));
}

void tst_frmConn::cancelRestoresLastOK_data()
{
    QTest::addColumn<CancelWay>("way");
    QTest::newRow("Cancel button") << CancelWay::Button;
    QTest::newRow("Escape") << CancelWay::Escape;
    QTest::newRow("close box") << CancelWay::CloseBox;
}

void tst_frmConn::cancelRestoresLastOK()
{
    QFETCH(CancelWay, way);
    frmConn *d = m_dialog.get();

    Control<QComboBox>(d, "cmbConnType")->setCurrentIndex(EtherClient);
    typeInto(Control<QLineEdit>(d, "txtIPAddress"), QStringLiteral("10.1.2.3"));
    typeInto(Control<QLineEdit>(d, "txtPortNumber"), QStringLiteral("7000"));
    click(Control<QCheckBox>(d, "chkEIA"));
    Control<QComboBox>(d, "cmbTerm")->setCurrentIndex(1);
    click(Control<QPushButton>(d, "cmdOK"));
    QVERIFY(!d->isVisible());
    QVERIFY(d->m_bOK);
    const QString accepted =
        QStringLiteral("Conn=eth:10.1.2.3:7000,PacketOpt=6:0:1:0,EtherOpt=0,Timeout=500,Sync=True");
    QCOMPARE(d->m_strConnectOption, accepted);
    QCOMPARE(d->m_strIPAddress, QStringLiteral("10.1.2.3"));

    open();
    QVERIFY(!d->m_bOK);
    Control<QComboBox>(d, "cmbConnType")->setCurrentIndex(ComServer);
    typeInto(Control<QLineEdit>(d, "txtComPort"), QStringLiteral("9"));
    Control<QComboBox>(d, "cmbBaudRate")->setCurrentIndex(0);
    click(Control<QCheckBox>(d, "chkEIA"));
    click(Control<QCheckBox>(d, "chkISO"));
    click(Control<QCheckBox>(d, "chkXonXoff"));
    Control<QComboBox>(d, "cmbTerm")->setCurrentIndex(2);
    Control<QComboBox>(d, "cmbConnType")->setCurrentIndex(EtherServer);
    typeInto(Control<QLineEdit>(d, "txtConnMax"), QStringLiteral("3"));
    typeInto(Control<QLineEdit>(d, "txtMyIP"), QStringLiteral("127.0.0.2"));
    Control<QLineEdit>(d, "txtPort")->setText(QStringLiteral("6001")); // disabled in Ether(Server), but keeps its text
    typeInto(Control<QLineEdit>(d, "txtTimeout"), QStringLiteral("250"));

    switch (way) {
    case CancelWay::Button:
        click(Control<QPushButton>(d, "cmdCancel"));
        break;
    case CancelWay::Escape:
        QTest::keyClick(Control<QLineEdit>(d, "txtTimeout"), Qt::Key_Escape);
        break;
    case CancelWay::CloseBox:
        d->windowHandle()->close();
        break;
    }

    QTRY_VERIFY(!d->isVisible());
    QVERIFY(!d->m_bOK);
    QCOMPARE(d->m_strConnectOption, accepted);
    QCOMPARE(Control<QComboBox>(d, "cmbConnType")->currentIndex(), int(EtherClient));
    QVERIFY(Control(d, "picEther")->isVisibleTo(d));
    QVERIFY(!Control(d, "picCom")->isVisibleTo(d));
    QVERIFY(Control<QLineEdit>(d, "txtIPAddress")->isEnabled());
    QVERIFY(!Control<QLineEdit>(d, "txtConnMax")->isEnabled());
    QCOMPARE(Control<QLineEdit>(d, "txtComPort")->text(), QStringLiteral("1"));
    QCOMPARE(Control<QLineEdit>(d, "txtConnMax")->text(), QStringLiteral("10"));
    QCOMPARE(Control<QLineEdit>(d, "txtTimeout")->text(), QStringLiteral("500"));
    QVERIFY(Control<QCheckBox>(d, "chkEIA")->isChecked());
    QVERIFY(!Control<QCheckBox>(d, "chkISO")->isChecked());
    QVERIFY(!Control<QCheckBox>(d, "chkISO")->isEnabled());
    QVERIFY(Control<QCheckBox>(d, "chkEIA")->isEnabled());
    QVERIFY(!Control<QCheckBox>(d, "chkXonXoff")->isChecked());
    QCOMPARE(Control<QComboBox>(d, "cmbBaudRate")->currentIndex(), 3);
    QCOMPARE(Control<QLineEdit>(d, "txtMyIP")->text(), QStringLiteral("127.0.0.2"));
    QCOMPARE(Control<QLineEdit>(d, "txtPort")->text(), QStringLiteral("6001"));
    QCOMPARE(option(d), accepted + QStringLiteral(",MyIP=127.0.0.2:6001"));
    QCOMPARE(Control<QComboBox>(d, "cmbConnType"), d->focusWidget());
}

void tst_frmConn::valueTooLargeForItsSetting_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("inOption");

    QTest::newRow("COM port above 32767") << "txtComPort" << "40000" << "Conn=com:40000:";
    QTest::newRow("COM port at 32767 fits") << "txtComPort" << "32767" << "Conn=com:32767:";
    QTest::newRow("timeout above 2^31-1") << "txtTimeout" << "2147483648" << ",Timeout=2147483648";
    QTest::newRow("escape in exponent form") << "txtEscape" << "12345678901234567" << ":1.23456789012346E+16,";
    QTest::newRow("port number fits") << "txtPortNumber" << "2147483647" << "Conn=eth::2147483647,";
}

void tst_frmConn::valueTooLargeForItsSetting()
{
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(QString, inOption);

    frmConn *d = m_dialog.get();
    Control<QComboBox>(d, "cmbConnType")->setCurrentIndex(typeShowing(field));
    const qint64 before = storedValue(d, field);
    auto *box = Control<QLineEdit>(d, field);
    typeInto(box, typed);
    click(Control<QPushButton>(d, "cmdOK"));

    QVERIFY(!d->isVisible());
    QVERIFY(d->m_bOK);
    QVERIFY2(d->m_strConnectOption.contains(inOption), qPrintable(d->m_strConnectOption));
    bool plain = false;
    const qint64 typedValue = typed.toLongLong(&plain);
    const bool fits = plain
        && typedValue <= (field == u"txtComPort" ? qint64(32767) : qint64(2147483647));
    QCOMPARE(storedValue(d, field), fits ? typedValue : before);

    open();
    click(Control<QPushButton>(d, "cmdCancel"));
    QCOMPARE(box->text(), QString::number(storedValue(d, field)));
    QVERIFY(!option(d).contains(inOption) || fits);
}

void tst_frmConn::returnKeyDoesNotAccept()
{
    frmConn *d = m_dialog.get();
    typeInto(Control<QLineEdit>(d, "txtTimeout"), QStringLiteral("070"));
    QTest::keyClick(Control<QLineEdit>(d, "txtTimeout"), Qt::Key_Return);
    QVERIFY(d->isVisible());
    QVERIFY(!d->m_bOK);
    QCOMPARE(Control<QLineEdit>(d, "txtTimeout")->text(), QStringLiteral("70"));
}

void tst_frmConn::reopenAfterOK()
{
    frmConn *d = m_dialog.get();
    Control<QComboBox>(d, "cmbConnType")->setCurrentIndex(EtherServer);
    typeInto(Control<QLineEdit>(d, "txtPortNumber"), QStringLiteral("6000"));
    typeInto(Control<QLineEdit>(d, "txtConnMax"), QStringLiteral("4"));
    Control<QComboBox>(d, "cmbHeader")->setCurrentIndex(1);
    click(Control<QPushButton>(d, "cmdOK"));
    QVERIFY(d->m_bOK);
    QCOMPARE(d->m_lConnMax, 4);
    const QString accepted = QStringLiteral("Conn=eth::6000,PacketOpt=4:1:0:0,EtherOpt=1:4:900,Timeout=500");
    QCOMPARE(d->m_strConnectOption, accepted);

    open();
    QVERIFY(!d->m_bOK);
    QCOMPARE(Control<QComboBox>(d, "cmbConnType")->currentIndex(), int(EtherServer));
    QCOMPARE(Control<QLineEdit>(d, "txtPortNumber")->text(), QStringLiteral("6000"));
    QCOMPARE(Control<QComboBox>(d, "cmbHeader")->currentIndex(), 1);
    QCOMPARE(option(d), accepted);
    QVERIFY(Control<QComboBox>(d, "cmbConnType")->hasFocus());
    QCOMPARE(Control<QCheckBox>(d, "chkSync")->checkState(), Qt::Checked);
    QVERIFY(!Control<QCheckBox>(d, "chkSync")->isEnabled());
}

// The close box hides the dialog as Cancel does: the next opening starts on the connection type
// and a failing field still keeps the focus and blocks OK.
void tst_frmConn::reopenAfterCloseBox()
{
    frmConn *d = m_dialog.get();
    d->windowHandle()->close();
    QTRY_VERIFY(!d->isVisible());
    open();
    QCOMPARE(QApplication::focusWidget(), Control(d, "cmbConnType"));

    auto *timeout = Control<QLineEdit>(d, "txtTimeout");
    click(timeout);
    QVERIFY(timeout->hasFocus());
    typeInto(timeout, QStringLiteral("12a"));
    click(Control(d, "cmdOK"));
    QVERIFY(d->isVisible());
    QVERIFY(!d->m_bOK);
    QVERIFY(timeout->hasFocus());
    QCOMPARE(timeout->selectedText(), QStringLiteral("12a"));
}

void tst_frmConn::execReturnsOnOK()
{
    frmConn *d = m_dialog.get();
    d->hide();
    Control<QComboBox>(d, "cmbConnType")->setCurrentIndex(EtherClient);
    bool clicked = false;
    QTimer::singleShot(0, d, [d, &clicked] {
        if (QTest::qWaitForWindowActive(d)) {
            click(Control<QPushButton>(d, "cmdOK"));
            clicked = true;
        }
    });
    QTimer::singleShot(5000, d, [d] { d->done(QDialog::Rejected); }); // bounds a lost click
    QCOMPARE(d->exec(), int(QDialog::Accepted));
    QVERIFY(clicked);
    QVERIFY(d->m_bOK);
    QCOMPARE(d->m_strConnectOption,
             QStringLiteral("Conn=eth:127.0.0.1:5006,PacketOpt=4:0:0:0,EtherOpt=0,Timeout=500,Sync=True"));
}

void tst_frmConn::singleInstance()
{
    frmConn *first = frmConn::instance();
    QCOMPARE(frmConn::instance(), first);
    first->show();
    QVERIFY(QTest::qWaitForWindowActive(first));
    click(Control<QPushButton>(first, "cmdOK"));
    QVERIFY(!first->isVisible());
    QCOMPARE(frmConn::instance(), first);
}

QTEST_MAIN(tst_frmConn)
#include "tst_frmConn.moc"
