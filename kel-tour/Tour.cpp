#include "Tour.h"

#include "Captions.h"
#include "ConnectDialog.h"
#include "LogModel.h"
#include "LoopbackPort.h"
#include "MivController.h"
#include "PeerOptions.h"
#include "TesterSession.h"
#include "UserActions.h"
#include "WindowControls.h"
#include "frmConn.h"
#include "frmKELTester.h"
#include "frmPerfChk.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>
#include <QTextStream>
#include <QTreeWidget>

using namespace UserActions;

namespace {

constexpr int kStepTimeoutMs = 10000;

constexpr int kPeerTimeoutMs = 2000;
constexpr int kRequests = 3;
constexpr int kPerfCycles = 200;
constexpr int kPerfTimeoutMs = 60000;

} // namespace

Tour::Tour(const QDir &pictureFolder, QTextStream &progress)
    : m_folder(pictureFolder), m_progress(progress)
{
    m_boxes.onShow = [this](const QString &text) { say(QStringLiteral("message box: ") + text); };
}

Tour::~Tour()
{
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
    // An unattended check keeps its line: one that goes is opened again.
    Command(m_window.get(), "mnuToolsReconnect")->trigger();
    say(QStringLiteral("Tools > Reconnect Automatically: a client connection or serial line that goes is opened again"));
    const bool done = startRecording()
                      && connectTo(EtherClient, m_device.port(), true, QStringLiteral("connect-dialog.png"))
                      && sendSynchronously() && sendAsynchronously() && answerHost() && watchTraffic()
                      && runTestPlan() && watchMonitor()
                      && runPerformanceCheck() && saveProfile();
    if (done)
        Command(m_window.get(), "mnuFileDisconn")->trigger();
    if (done && !stopRecording())
        return false;
    if (!done)
        sayLogTail();
    return done && check(m_boxes.isEmpty(), QStringLiteral("end without a message box"));
}

bool Tour::startDevice()
{
    if (!check(!PeerProcess::program().isEmpty(), QStringLiteral("find kelpeer")))
        return false;
    const bool started = m_device.start({QStringLiteral("--option"), EtherServerOption(0, kPeerTimeoutMs)});
    if (!check(started, QStringLiteral("start %1 as the device: %2 %3")
                            .arg(PeerProcess::program(), m_device.startError(), m_device.errorOutput().trimmed())))
        return false;
    say(QStringLiteral("kelpeer plays the device on ") + m_device.address());
    return true;
}

bool Tour::connectTo(ConnType type, quint16 port, bool sync, const QString &picture)
{
    ConnChoice settings;
    settings.type = type;
    settings.port = port;
    settings.sync = sync;
    bool pictured = true;
    const bool accepted = ConnectThroughDialog(*m_window, settings, true, [&](frmConn *dialog) {
        if (!picture.isEmpty())
            pictured = snapshot(dialog, picture);
    });
    const QString what = QStringLiteral("connect as %1 to port %2")
                             .arg(Control<QComboBox>(frmConn::instance(), "cmbConnType")->itemText(type))
                             .arg(port);
    if (!check(pictured, QStringLiteral("save ") + picture)
        || !check(accepted && m_window->mivCtrl() && m_boxes.isEmpty(), what))
        return false;
    say(QStringLiteral("connected: ") + m_window->windowTitle());
    return true;
}

bool Tour::sendRequest(const QStringList &fields)
{
    if (!check(Choose(Control<QComboBox>(m_window.get(), "cmbTopCmd"), fields[0]), QStringLiteral("choose ") + fields[0]))
        return false;
    for (int i = 0; i < 4; ++i)
        Type(Control<QLineEdit>(m_window.get(), Element("txtKELCmd", i)), fields.value(i + 1));
    Click(Control(m_window.get(), "cmdSend"));
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
    const QString receive = LogCaption::Receive;
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
    QWidget *window = m_window.get();
    Type(Control<QLineEdit>(window, "txtHRESULT"), QStringLiteral("0"));
    if (!check(Choose(Control<QComboBox>(window, "cmbVTType"), QStringLiteral("VT_I4")), QStringLiteral("choose VT_I4")))
        return false;
    Type(Control<QLineEdit>(window, "txtValue"), QStringLiteral("42"));
    Type(Control<QLineEdit>(window, "txtDelay"), QStringLiteral("0"));
    Click(Control(window, "cmdSet"));
    if (!check(m_window->session().m_strAutoReply == QLatin1String("0,3,42"), QStringLiteral("set the reply 0,3,42")))
        return false;

    PeerProcess host;
    const int from = m_window->logModel()->count();
    const bool started = host.start(HostArgs(EtherClientOption(port, kPeerTimeoutMs), QStringLiteral("GET:A:1:X:"), kRequests));
    if (!check(started, QStringLiteral("start kelpeer as the host: ") + host.errorOutput().trimmed()))
        return false;
    const bool answered = host.waitForAnswers(kRequests, kStepTimeoutMs)
                          && host.answers() == QStringList(kRequests, QStringLiteral("0,3,42"));
    if (!check(answered, QStringLiteral("answer kelpeer's requests with 0,3,42, it got: ")
                             + host.answers().join(QLatin1String(" | ")))
        || !check(WaitFor([&] { return !logLine(LogCaption::Reply, from).isNull(); }, kStepTimeoutMs),
                  QStringLiteral("log the replies")))
        return false;
    host.waitForFinished(kStepTimeoutMs);
    say(QStringLiteral("answered %1 requests from kelpeer with 0,3,42").arg(kRequests));
    return snapshot(window, QStringLiteral("main-autoreply.png"));
}

bool Tour::runPerformanceCheck()
{
    if (!connectTo(EtherClient, m_device.port(), true))
        return false;
    const QStringList variable{QStringLiteral("A"), QStringLiteral("1"), QStringLiteral("X")};
    for (int i = 0; i < int(variable.size()); ++i)
        Type(Control<QLineEdit>(m_window.get(), Element("txtVarName", i)), variable[i]);

    struct Outcome
    {
        bool seen = false;
        bool missing = false;
        bool finished = false;
        bool pictured = false;
        QString endRow;
        QString cycles; // as the statistics panel counts them
        QString readP50;
    };
    auto outcome = std::make_shared<Outcome>();
    WhenModal<frmPerfChk>(
        [this, outcome](frmPerfChk *window) {
            outcome->seen = true;
            auto *results = Control<QTreeWidget>(window, "lvResult");
            Click(Control(window, Element("optPattern", PatternCount)));
            Type(Control<QLineEdit>(window, "txtPatternCount"), QString::number(kPerfCycles));
            Click(Control(window, Element("optReadWrite", ModeWriteRead)));
            Choose(Control<QComboBox>(window, "cmbValueType"), QStringLiteral("I4"));
            Type(Control<QLineEdit>(window, "txtValue"), QStringLiteral("7"));
            Tick(Control<QCheckBox>(window, "chkDataCheck"), true);
            Click(Control(window, "cmdStart"));
            outcome->finished = WaitFor([window, results] {
                return !window->isRunning() && results->topLevelItemCount() >= 2;
            }, kPerfTimeoutMs);
            if (results->topLevelItemCount() >= 2) {
                const QTreeWidgetItem *end = results->topLevelItem(1);
                outcome->endRow = end->text(0) + u' ' + end->text(2) + QLatin1String(" ms");
            }
            outcome->cycles = Control<QLabel>(window, "lblCycles")->text();
            outcome->readP50 = Control<QTableWidget>(window, "tblLatency")->item(1, 2)->text();
            outcome->pictured = snapshot(window, QStringLiteral("perfcheck.png"));
            Click(Control(window, "cmdExit"));
        },
        [outcome] { outcome->missing = true; });
    Click(Control(m_window.get(), "cmdPerfchk"));
    WaitFor([outcome] { return outcome->seen || outcome->missing; }, kStepTimeoutMs);
    if (!check(outcome->seen, QStringLiteral("open the performance check"))
        || !check(outcome->finished && outcome->endRow.startsWith(QLatin1String("END ")),
                  QStringLiteral("run %1 write-and-read cycles with the data check: ").arg(kPerfCycles) + outcome->endRow)
        || !check(outcome->cycles == QString::number(kPerfCycles),
                  QStringLiteral("count %1 cycles in the statistics, it shows: ").arg(kPerfCycles) + outcome->cycles)
        || !check(outcome->pictured, QStringLiteral("save perfcheck.png")))
        return false;
    say(QStringLiteral("performance check, %1 x Write && Read with Check Data: ").arg(kPerfCycles) + outcome->endRow
        + QStringLiteral(", read p50 ") + outcome->readP50);
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
            m_failure += QStringLiteral(" (message box: ") + m_boxes.texts().join(QLatin1String("; ")) + u')';
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
