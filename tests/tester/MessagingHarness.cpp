#include "MessagingHarness.h"

#include "LogModel.h"
#include "MessageBox.h"
#include "MivController.h"
#include "PeerProcess.h"
#include "frmConn.h"
#include "frmKELTester.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include <memory>

namespace Messaging {

bool ConnectThroughDialog(frmKELTester &window, const ConnSettings &settings)
{
    frmConn *dialog = frmConn::instance();
    // Shared with the timer so that a dialog that never opens leaves nothing dangling.
    auto pressed = std::make_shared<bool>(false);
    QTimer::singleShot(0, dialog, [dialog, settings, pressed] {
        dialog->cmbConnType->setCurrentIndex(settings.type);
        dialog->txtIPAddress->setText(settings.ip);
        dialog->txtPortNumber->setText(QString::number(settings.port));
        dialog->txtComPort->setText(QString::number(settings.comPort));
        dialog->txtTimeout->setText(QString::number(settings.timeoutMs));
        dialog->txtConnMax->setText(QString::number(settings.connMax));
        if (dialog->chkSync->isEnabled())
            dialog->chkSync->setChecked(settings.sync);
        dialog->cmdOK->click();
        *pressed = true;
    });
    window.mnuFileConn_Click();
    return *pressed && window.mivCtrl() != nullptr;
}

void SetAutoReply(frmKELTester &window, const QString &hresult, int typeIndex, const QString &value,
                  const QString &delay)
{
    window.txtHRESULT->setText(hresult);
    window.cmbVTType->setCurrentIndex(typeIndex);
    window.txtValue->setText(value);
    window.txtDelay->setText(delay);
    window.cmdSet_Click();
}

QList<LogEntry> LogEntries(const frmKELTester &window, int fromRow)
{
    static const QRegularExpression line(
        QStringLiteral("^(.*?)\\(\\d\\d:\\d\\d:\\d\\d\\) : (.*)$"),
        QRegularExpression::DotMatchesEverythingOption);
    QList<LogEntry> entries;
    const LogModel *model = window.logModel();
    for (int row = fromRow; row < model->count(); ++row) {
        const QRegularExpressionMatch match = line.match(model->line(row));
        entries.append(match.hasMatch() ? LogEntry{match.captured(1), match.captured(2)}
                                        : LogEntry{QStringLiteral("?"), model->line(row)});
    }
    return entries;
}

int LogCount(const frmKELTester &window)
{
    return window.logModel()->count();
}

QString Describe(const QList<LogEntry> &entries)
{
    QStringList lines;
    for (const LogEntry &entry : entries)
        lines << QString(entry.caption).replace(u'\t', QLatin1String("\\t")) + QLatin1String(" | ")
                     + entry.value;
    return lines.join(u'\n');
}

quint16 ServerPort(const frmKELTester &window)
{
    const MivController *controller = window.mivCtrl();
    if (!controller)
        return 0;
    const QString address = controller->localAddress();
    return address.mid(address.lastIndexOf(u':') + 1).toUShort();
}

QString EtherServerOption(quint16 port, int timeoutMs)
{
    return QStringLiteral("Conn=eth::%1,PacketOpt=4:0:0:0,EtherOpt=1:10:900,Timeout=%2,MyIP=127.0.0.1")
        .arg(port)
        .arg(timeoutMs);
}

QString EtherClientOption(quint16 port, int timeoutMs)
{
    return QStringLiteral("Conn=eth:127.0.0.1:%1,PacketOpt=4:0:0:0,EtherOpt=0,Timeout=%2")
        .arg(port)
        .arg(timeoutMs);
}

QString ComOption(int comPort, int timeoutMs)
{
    return QStringLiteral("Conn=com:%1:38400:N:8:1:0,PacketOpt=4:0:0:0,Timeout=%2,Sync=False")
        .arg(comPort)
        .arg(timeoutMs);
}

bool WaitFor(const std::function<bool()> &done, int timeoutMs)
{
    return QTest::qWaitFor(done, timeoutMs);
}

bool WaitForAnswers(PeerProcess &peer, int count, int timeoutMs)
{
    return WaitFor(
        [&peer, count] {
            peer.pump();
            return peer.answers().size() >= count;
        },
        timeoutMs);
}

bool WaitForExit(PeerProcess &peer, int timeoutMs)
{
    return WaitFor(
        [&peer] {
            peer.pump();
            return !peer.isRunning();
        },
        timeoutMs);
}

namespace {
QStringList &BoxTexts()
{
    static QStringList texts;
    return texts;
}
} // namespace

MessageBoxSpy::MessageBoxSpy()
{
    BoxTexts().clear();
    SetMessageBoxHook([](const QString &text) { BoxTexts() << text; });
}

MessageBoxSpy::~MessageBoxSpy()
{
    SetMessageBoxHook({});
}

QStringList MessageBoxSpy::texts() const
{
    return BoxTexts();
}

void MessageBoxSpy::clear()
{
    BoxTexts().clear();
}

} // namespace Messaging
