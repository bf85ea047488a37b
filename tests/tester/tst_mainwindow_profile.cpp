// Profiles through the main window's Tools menu: what Save Profile... writes, Open Profile...
// sets again and connects with; a refused file changes nothing.

#include "MainWindowFixture.h"
#include "WindowTestMain.h"
#include "frmConn.h"

#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>

namespace {

// Answers the next file dialog with the path, typed into its file name box as a user does.
void ChooseFile(const QString &path)
{
    UserActions::WhenModal<QFileDialog>(
        [path](QFileDialog *dialog) {
            Control<QLineEdit>(dialog, "fileNameEdit")->setText(path);
            static_cast<QDialog *>(dialog)->accept();
        },
        [] { QFAIL("no file dialog"); });
}

} // namespace

class tst_MainWindowProfile : public MainWindowTest
{
    Q_OBJECT
private slots:
    void saveThenOpen();
    void refusedChangesNothing();

private:
    QTemporaryDir m_dir;
};

void tst_MainWindowProfile::saveThenOpen()
{
    ConnChoice server;
    server.type = EtherServer;
    server.connMax = 7;
    server.timeoutMs = 1500;
    QVERIFY(fixture().connect(server));
    fixture().setAutoReply(QStringLiteral("-5"), 4, QStringLiteral("42"), QStringLiteral("250"));
    Command(fixture().window.get(), "mnuToolsReconnect")->trigger();
    const Profile saved = fixture()->currentProfile();
    const QString path = m_dir.filePath(QStringLiteral("server.toml"));
    ChooseFile(path);
    Command(fixture().window.get(), "mnuToolsSaveProfile")->trigger();
    QVERIFY(QFile::exists(path));

    // A new window, and the dialog back at its defaults.
    cleanup();
    frmConn::instance()->acceptSettings(ConnSettings());
    init();
    ChooseFile(path);
    Command(fixture().window.get(), "mnuToolsOpenProfile")->trigger();

    QVERIFY2(fixture().boxes.isEmpty(), qPrintable(fixture().boxes.texts().join(u'\n')));
    QVERIFY(fixture()->currentProfile() == saved);
    QCOMPARE(frmConn::instance()->storedSettings().connMax, QStringLiteral("7"));
    QCOMPARE(fixture().control<QLineEdit>("txtHRESULT")->text(), QStringLiteral("-5"));
    QCOMPARE(fixture().control<QComboBox>("cmbVTType")->currentText(), QStringLiteral("VT_I4"));
    QCOMPARE(fixture().control<QLineEdit>("txtValue")->text(), QStringLiteral("42"));
    QCOMPARE(fixture().control<QLineEdit>("txtDelay")->text(), QStringLiteral("250"));
    QVERIFY(Command(fixture().window.get(), "mnuToolsReconnect")->isChecked());
    // Saved connected, so connected as File > Connect's OK does.
    QCOMPARE(fixture()->windowTitle(), QStringLiteral("KELTester - (Ether[Server], 7)"));
    const QList<LogEntry> expected{{QStringLiteral("Connect\t\t"), QStringLiteral("Succeeded")},
                                   {QStringLiteral("Set\t\t"), QStringLiteral("AutoReply\"-5,3,42\", Delay=250")}};
    QCOMPARE(fixture().log(), expected);
}

void tst_MainWindowProfile::refusedChangesNothing()
{
    const Profile before = fixture()->currentProfile();
    const QString path = m_dir.filePath(QStringLiteral("bad.toml"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[reply]\nhresult = 1\ndelay = \"soon\"\n");
    file.close();
    ChooseFile(path);
    Command(fixture().window.get(), "mnuToolsOpenProfile")->trigger();

    QCOMPARE(fixture().boxes.texts(),
             QStringList{path + QStringLiteral(":3: delay must be a whole number from -2147483648 to 2147483647")});
    QVERIFY(fixture()->currentProfile() == before);
    QCOMPARE(fixture().logCount(), 0);
}

KEL_WINDOW_TEST_MAIN(tst_MainWindowProfile)
#include "tst_mainwindow_profile.moc"
