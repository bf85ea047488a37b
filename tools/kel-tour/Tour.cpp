#include "Tour.h"

#include "LogModel.h"
#include "LoopbackPort.h"
#include "MessageBox.h"
#include "MivController.h"
#include "UserActions.h"
#include "frmConn.h"
#include "frmKELTester.h"
#include "frmPerfChk.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTextStream>
#include <QTreeWidget>

using namespace UserActions;

namespace {

constexpr int kStepTimeoutMs = 10000;

QString DeviceOption()
{
    return QStringLiteral("Conn=eth::0,PacketOpt=4:0:0:0,EtherOpt=1:10:900,Timeout=2000,MyIP=127.0.0.1");
}

QString HostOption(quint16 port)
{
    return QStringLiteral("Conn=eth:127.0.0.1:%1,PacketOpt=4:0:0:0,EtherOpt=0,Timeout=2000").arg(port);
}

} // namespace

Tour::Tour(const QDir &pictureFolder, QTextStream &progress)
    : m_folder(pictureFolder), m_progress(progress)
{
    SetMessageBoxHook([this](const QString &text) {
        m_boxes << text;
        say(QStringLiteral("message box: ") + text);
    });
}

Tour::~Tour()
{
    SetMessageBoxHook({});
    m_window.reset();
    m_device.stop();
}

bool Tour::run()
{
    if (!check(m_folder.mkpath(QStringLiteral(".")), QStringLiteral("make the folder ") + m_folder.path())
        || !startDevice())
        return false;
    m_window = std::make_unique<frmKELTester>();
    m_window->show();
    if (!check(WaitFor([this] { return m_window->isVisible(); }, kStepTimeoutMs),
               QStringLiteral("show the main window")))
        return false;
    const bool done = connectTo(EtherClient, m_device.port(), true, QStringLiteral("connect-dialog.png"))
                      && sendSynchronously() && sendAsynchronously() && answerHost()
                      && runPerformanceCheck();
    if (done)
        m_window->mnuFileDisconn->trigger();
    else
        sayLogTail();
    return done && check(m_boxes.isEmpty(), QStringLiteral("end without a message box"));
}

bool Tour::startDevice()
{
    if (!check(!PeerProcess::program().isEmpty(), QStringLiteral("find kelpeer")))
        return false;
    const bool started = m_device.start({QStringLiteral("--option"), DeviceOption()});
    if (!check(started, QStringLiteral("start %1 as the device: %2 %3")
                            .arg(PeerProcess::program(), m_device.startError(), m_device.errorOutput().trimmed())))
        return false;
    say(QStringLiteral("kelpeer plays the device on ") + m_device.address());
    return true;
}

bool Tour::connectTo(ConnType type, quint16 port, bool sync, const QString &picture)
{
    struct Outcome
    {
        bool seen = false;
        bool accepted = false;
        bool missing = false;
        bool pictured = true;
    };
    auto outcome = std::make_shared<Outcome>();
    WhenModal<frmConn>(
        [this, outcome, type, port, sync, picture](frmConn *dialog) {
            outcome->seen = true;
            Choose(dialog->cmbConnType, dialog->cmbConnType->itemText(type));
            if (type == EtherClient)
                Type(dialog->txtIPAddress, QStringLiteral("127.0.0.1"));
            Type(dialog->txtPortNumber, QString::number(port));
            Leave(dialog->txtPortNumber); // a text field counts once its check has passed
            if (dialog->chkSync->isEnabled())
                Tick(dialog->chkSync, sync);
            if (!picture.isEmpty())
                outcome->pictured = snapshot(dialog, picture);
            Click(dialog->cmdOK);
            outcome->accepted = !dialog->isVisible();
            if (dialog->isVisible())
                Click(dialog->cmdCancel);
        },
        [outcome] { outcome->missing = true; });
    m_window->mnuFileConn->trigger();
    // The poll must be over before this frame goes, also when the dialog never opened.
    WaitFor([outcome] { return outcome->seen || outcome->missing; }, kStepTimeoutMs);
    const QString what = QStringLiteral("connect as %1 to port %2")
                             .arg(frmConn::instance()->cmbConnType->itemText(type))
                             .arg(port);
    if (!check(outcome->seen, QStringLiteral("open the connection dialog"))
        || !check(outcome->pictured, QStringLiteral("save ") + picture)
        || !check(outcome->accepted && m_window->mivCtrl() && m_boxes.isEmpty(), what))
        return false;
    say(QStringLiteral("connected: ") + m_window->windowTitle());
    return true;
}

bool Tour::sendRequest(const QStringList &fields)
{
    if (!check(Choose(m_window->cmbTopCmd, fields[0]), QStringLiteral("choose ") + fields[0]))
        return false;
    for (int i = 0; i < 4; ++i)
        Type(m_window->txtKELCmd[i], fields.value(i + 1));
    Click(m_window->cmdSend);
    return check(m_boxes.isEmpty(), QStringLiteral("send ") + fields.join(u':'));
}

QString Tour::logLine(const QString &caption, int fromRow) const
{
    const LogModel *log = m_window->logModel();
    for (int row = fromRow; row < log->count(); ++row)
        if (log->line(row).startsWith(caption))
            return log->line(row);
    return {};
}

bool Tour::sendSynchronously()
{
    const QString receive = QStringLiteral("[ Receive ]\t");
    if (!sendRequest({QStringLiteral("START")})
        || !sendRequest({QStringLiteral("PUT"), QStringLiteral("A"), QStringLiteral("1"),
                         QStringLiteral("X"), QStringLiteral("3,100")})
        || !sendRequest({QStringLiteral("GET"), QStringLiteral("A"), QStringLiteral("1"), QStringLiteral("X")}))
        return false;
    const QString answer = m_window->logModel()->line(m_window->logModel()->count() - 1);
    if (!check(answer.endsWith(QLatin1String("Value=100")), QStringLiteral("read back 100 synchronously, got: ") + answer))
        return false;
    say(QStringLiteral("sent START, PUT and GET synchronously; GET answered 100"));
    return snapshot(m_window.get(), QStringLiteral("main-sync.png"));
}

bool Tour::sendAsynchronously()
{
    if (!connectTo(EtherClient, m_device.port(), false))
        return false;
    const QString receive = QStringLiteral("[ Receive ]\t");
    int from = m_window->logModel()->count();
    if (!sendRequest({QStringLiteral("PUT"), QStringLiteral("A"), QStringLiteral("2"),
                      QStringLiteral("Y"), QStringLiteral("8,hello")})
        || !check(WaitFor([&] { return !logLine(receive, from).isNull(); }, kStepTimeoutMs),
                  QStringLiteral("receive the answer to PUT")))
        return false;
    from = m_window->logModel()->count();
    if (!sendRequest({QStringLiteral("GET"), QStringLiteral("A"), QStringLiteral("2"), QStringLiteral("Y")})
        || !check(WaitFor([&] { return !logLine(receive, from).isNull(); }, kStepTimeoutMs),
                  QStringLiteral("receive the answer to GET")))
        return false;
    const QString answer = logLine(receive, from);
    if (!check(answer.endsWith(QLatin1String("Value=hello")), QStringLiteral("read back hello, got: ") + answer))
        return false;
    say(QStringLiteral("sent PUT and GET asynchronously; the answers came as messages"));
    return snapshot(m_window.get(), QStringLiteral("main-async.png"));
}

bool Tour::answerHost()
{
    const quint16 port = FreePort();
    if (!connectTo(EtherServer, port, false))
        return false;
    Type(m_window->txtHRESULT, QStringLiteral("0"));
    if (!check(Choose(m_window->cmbVTType, QStringLiteral("VT_I4")), QStringLiteral("choose VT_I4")))
        return false;
    Type(m_window->txtValue, QStringLiteral("42"));
    Type(m_window->txtDelay, QStringLiteral("0"));
    Click(m_window->cmdSet);
    if (!check(m_window->m_strAutoReply == QLatin1String("0,3,42"), QStringLiteral("set the reply 0,3,42")))
        return false;

    PeerProcess host;
    const int requests = 3;
    const int from = m_window->logModel()->count();
    const bool started = host.start({QStringLiteral("--option"), HostOption(port), QStringLiteral("--send"),
                                     QStringLiteral("GET:A:1:X:"), QStringLiteral("--count"),
                                     QString::number(requests)});
    if (!check(started, QStringLiteral("start kelpeer as the host: ") + host.errorOutput().trimmed()))
        return false;
    const bool answered = host.waitForAnswers(requests, kStepTimeoutMs)
                          && host.answers() == QStringList(requests, QStringLiteral("0,3,42"));
    if (!check(answered, QStringLiteral("answer kelpeer's requests with 0,3,42, it got: ")
                             + host.answers().join(QLatin1String(" | ")))
        || !check(WaitFor([&] { return !logLine(QStringLiteral("[ Reply ]\t\t"), from).isNull(); }, kStepTimeoutMs),
                  QStringLiteral("log the replies")))
        return false;
    host.waitForFinished(kStepTimeoutMs);
    say(QStringLiteral("answered %1 requests from kelpeer with 0,3,42").arg(requests));
    return snapshot(m_window.get(), QStringLiteral("main-autoreply.png"));
}

bool Tour::runPerformanceCheck()
{
    if (!connectTo(EtherClient, m_device.port(), true))
        return false;
    Type(m_window->txtVarName[0], QStringLiteral("A"));
    Type(m_window->txtVarName[1], QStringLiteral("1"));
    Type(m_window->txtVarName[2], QStringLiteral("X"));

    struct Outcome
    {
        bool seen = false;
        bool missing = false;
        bool finished = false;
        bool pictured = false;
        QString endRow;
    };
    auto outcome = std::make_shared<Outcome>();
    WhenModal<frmPerfChk>(
        [this, outcome](frmPerfChk *window) {
            outcome->seen = true;
            Click(window->optPattern[1]);
            Type(window->txtPatternCount, QStringLiteral("200"));
            Click(window->optReadWrite[2]);
            Choose(window->cmbValueType, QStringLiteral("I4"));
            Type(window->txtValue, QStringLiteral("7"));
            Tick(window->chkDataCheck, true);
            Click(window->cmdStart);
            outcome->finished = WaitFor([window] {
                return !window->isRunning() && window->lvResult->topLevelItemCount() >= 2;
            }, 60000);
            if (window->lvResult->topLevelItemCount() >= 2) {
                const QTreeWidgetItem *end = window->lvResult->topLevelItem(1);
                outcome->endRow = end->text(0) + u' ' + end->text(2) + QLatin1String(" ms");
            }
            outcome->pictured = snapshot(window, QStringLiteral("perfcheck.png"));
            Click(window->cmdExit);
        },
        [outcome] { outcome->missing = true; });
    Click(m_window->cmdPerfchk);
    WaitFor([outcome] { return outcome->seen || outcome->missing; }, kStepTimeoutMs);
    if (!check(outcome->seen, QStringLiteral("open the performance check"))
        || !check(outcome->finished && outcome->endRow.startsWith(QLatin1String("END ")),
                  QStringLiteral("run 200 write-and-read cycles with the data check: ") + outcome->endRow)
        || !check(outcome->pictured, QStringLiteral("save perfcheck.png")))
        return false;
    say(QStringLiteral("performance check, 200 x Write && Read with Check Data: ") + outcome->endRow);
    return true;
}

bool Tour::snapshot(QWidget *window, const QString &name)
{
    const QString path = m_folder.filePath(name);
    if (!check(window->grab().save(path), QStringLiteral("save ") + path))
        return false;
    m_pictures << path;
    return true;
}

bool Tour::check(bool ok, const QString &what)
{
    if (!ok && m_failure.isEmpty()) {
        m_failure = QStringLiteral("could not ") + what;
        if (!m_boxes.isEmpty())
            m_failure += QStringLiteral(" (message box: ") + m_boxes.join(QLatin1String("; ")) + u')';
    }
    return ok;
}

void Tour::sayLogTail()
{
    const LogModel *log = m_window->logModel();
    say(QStringLiteral("the log's last lines:"));
    for (int row = qMax(0, log->count() - 8); row < log->count(); ++row)
        m_progress << "    " << log->line(row) << Qt::endl;
}

void Tour::say(const QString &text)
{
    m_progress << "kel-tour: " << text << Qt::endl;
}
