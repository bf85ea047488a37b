// Saves the main window, connected to kelpeer after a short session, as the README's picture.
// Runs only when KEL_SCREENSHOT names the file to write.

#include "MainWindowDriver.h"
#include "MessagingHarness.h"

#include "MivConverter.h"
#include "MivEngine.h"
#include "PeerProcess.h"
#include "frmConn.h"
#include "frmKELTester.h"
#include "modMain.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QTest>

using namespace Messaging;
using namespace MainWindowDriver;

class tst_Screenshot : public QObject
{
    Q_OBJECT

private slots:
    void mainWindow();
};

void tst_Screenshot::mainWindow()
{
    const QString path = qEnvironmentVariable("KEL_SCREENSHOT");
    if (path.isEmpty())
        QSKIP("KEL_SCREENSHOT is not set");
    MessageBoxSpy boxes;
    g_mivEngine = new MivEngine;
    g_mivConverter = new MivConverter;
    {
        PeerProcess device;
        QVERIFY(device.start({QStringLiteral("--option"), EtherServerOption(0)}));
        frmKELTester window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(ConnectWith(window, [&device](frmConn *d) {
            d->cmbConnType->setCurrentIndex(2);
            d->txtIPAddress->setText(QStringLiteral("127.0.0.1"));
            d->txtPortNumber->setText(QString::number(device.port()));
            d->chkSync->setChecked(true);
        }));
        const QStringList requests[] = {
            {QStringLiteral("START"), {}, {}, {}, {}},
            {QStringLiteral("PUT"), QStringLiteral("A"), QStringLiteral("1"), QStringLiteral("X"), QStringLiteral("3,100")},
            {QStringLiteral("GET"), QStringLiteral("A"), QStringLiteral("1"), QStringLiteral("X"), {}},
        };
        for (const QStringList &request : requests) {
            window.cmbTopCmd->setCurrentText(request[0]);
            for (int i = 0; i < 4; ++i)
                window.txtKELCmd[i]->setText(request[i + 1]);
            ClickThroughWindow(window.cmdSend);
        }
        window.txtVarName[0]->setText(QStringLiteral("A"));
        window.txtVarName[1]->setText(QStringLiteral("1"));
        window.txtVarName[2]->setText(QStringLiteral("X"));
        QTest::qWait(300);
        QVERIFY(window.grab().save(path));
        QVERIFY(boxes.texts().isEmpty());
        window.mnuFileDisconn_Click();
    }
    delete g_mivEngine;
    g_mivEngine = nullptr;
    delete g_mivConverter;
    g_mivConverter = nullptr;
}

QTEST_MAIN(tst_Screenshot)
#include "tst_screenshot.moc"
