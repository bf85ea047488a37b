// The connection dialog's settings: what OK keeps, what Cancel, Escape and the close box put
// back, and how the dialog opens again.

#include "DialogTest.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QWindow>

namespace {
enum class CancelWay { Button, Escape, CloseBox };
} // namespace

Q_DECLARE_METATYPE(CancelWay)

class tst_frmConnSettings : public DialogTest
{
    Q_OBJECT
private slots:
    void cancelRestoresLastOK_data();
    void cancelRestoresLastOK();
    void valueTooLargeForItsSetting_data();
    void valueTooLargeForItsSetting();
    void returnKeyDoesNotAccept();
    void reopenAfterOK();
    void reopenAfterCloseBox();
    void execReturnsOnOK();
    void singleInstance();
    void showsGivenSettings();
    void editOnItsOwn();
};

void tst_frmConnSettings::cancelRestoresLastOK_data()
{
    QTest::addColumn<CancelWay>("way");
    QTest::newRow("Cancel button") << CancelWay::Button;
    QTest::newRow("Escape") << CancelWay::Escape;
    QTest::newRow("close box") << CancelWay::CloseBox;
}

void tst_frmConnSettings::cancelRestoresLastOK()
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
    QVERIFY(d->isAccepted());
    const QString accepted =
        QStringLiteral("Conn=eth:10.1.2.3:7000,PacketOpt=6:0:1:0,EtherOpt=0,Timeout=500,Sync=True");
    QCOMPARE(d->connectOption(), accepted);
    QCOMPARE(d->storedSettings().ipAddress, QStringLiteral("10.1.2.3"));

    open();
    QVERIFY(!d->isAccepted());
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
    QVERIFY(!d->isAccepted());
    QCOMPARE(d->connectOption(), accepted);
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

void tst_frmConnSettings::valueTooLargeForItsSetting_data()
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

void tst_frmConnSettings::valueTooLargeForItsSetting()
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
    QVERIFY(d->isAccepted());
    QVERIFY2(d->connectOption().contains(inOption), qPrintable(d->connectOption()));
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

void tst_frmConnSettings::returnKeyDoesNotAccept()
{
    frmConn *d = m_dialog.get();
    typeInto(Control<QLineEdit>(d, "txtTimeout"), QStringLiteral("070"));
    QTest::keyClick(Control<QLineEdit>(d, "txtTimeout"), Qt::Key_Return);
    QVERIFY(d->isVisible());
    QVERIFY(!d->isAccepted());
    QCOMPARE(Control<QLineEdit>(d, "txtTimeout")->text(), QStringLiteral("70"));
}

void tst_frmConnSettings::reopenAfterOK()
{
    frmConn *d = m_dialog.get();
    Control<QComboBox>(d, "cmbConnType")->setCurrentIndex(EtherServer);
    typeInto(Control<QLineEdit>(d, "txtPortNumber"), QStringLiteral("6000"));
    typeInto(Control<QLineEdit>(d, "txtConnMax"), QStringLiteral("4"));
    Control<QComboBox>(d, "cmbHeader")->setCurrentIndex(1);
    click(Control<QPushButton>(d, "cmdOK"));
    QVERIFY(d->isAccepted());
    QCOMPARE(d->storedSettings().connMax, QStringLiteral("4"));
    const QString accepted = QStringLiteral("Conn=eth::6000,PacketOpt=4:1:0:0,EtherOpt=1:4:900,Timeout=500");
    QCOMPARE(d->connectOption(), accepted);

    open();
    QVERIFY(!d->isAccepted());
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
void tst_frmConnSettings::reopenAfterCloseBox()
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
    QVERIFY(!d->isAccepted());
    QVERIFY(timeout->hasFocus());
    QCOMPARE(timeout->selectedText(), QStringLiteral("12a"));
}

void tst_frmConnSettings::execReturnsOnOK()
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
    QVERIFY(d->isAccepted());
    QCOMPARE(d->connectOption(),
             QStringLiteral("Conn=eth:127.0.0.1:5006,PacketOpt=4:0:0:0,EtherOpt=0,Timeout=500,Sync=True"));
}

void tst_frmConnSettings::singleInstance()
{
    frmConn *first = frmConn::instance();
    QCOMPARE(frmConn::instance(), first);
    first->show();
    QVERIFY(QTest::qWaitForWindowActive(first));
    click(Control<QPushButton>(first, "cmdOK"));
    QVERIFY(!first->isVisible());
    QCOMPARE(frmConn::instance(), first);
}

// Shown on a value, the dialog builds its option string and OK gives the value back whole.
void tst_frmConnSettings::showsGivenSettings()
{
    ConnSettings given;
    given.connType = EtherServer;
    given.portNumber = QStringLiteral("6000");
    given.connMax = QStringLiteral("4");
    given.eia = CheckOn;
    given.term = 2;
    given.myIP = QStringLiteral("127.0.0.2");
    given.sync = CheckOff;
    frmConn *d = m_dialog.get();
    d->setSettings(given);
    QCOMPARE(option(d), BuildConnectOption(given));
    QVERIFY(!Control<QCheckBox>(d, "chkISO")->isEnabled());

    click(Control<QPushButton>(d, "cmdOK"));
    QVERIFY(d->isAccepted());
    QVERIFY(d->settings() == given);
    QVERIFY(d->storedSettings() == given);
    QCOMPARE(d->connectOption(), BuildConnectOption(given));
}

void tst_frmConnSettings::editOnItsOwn()
{
    ConnSettings given;
    given.connType = EtherClient;
    given.ipAddress = QStringLiteral("10.9.8.7");
    const auto press = [](const char *button) {
        auto *own = qobject_cast<frmConn *>(QApplication::activeModalWidget());
        if (own && QTest::qWaitForWindowActive(own))
            click(Control<QPushButton>(own, button));
        else if (own)
            own->reject();
    };
    QTimer::singleShot(0, this, [press] { press("cmdOK"); });
    const std::optional<ConnSettings> edited = frmConn::Edit(nullptr, given);
    QVERIFY(edited);
    QVERIFY(*edited == given);

    QTimer::singleShot(0, this, [press] { press("cmdCancel"); });
    QVERIFY(!frmConn::Edit(nullptr, given));
}

QTEST_MAIN(tst_frmConnSettings)
#include "tst_frmConnSettings.moc"
