// The tour's stage for View > Monitor: the pane between kelpeer as the host and kelpeer as the
// device, each request shown on its way in and its answer on its way back, with the time.
#include "Tour.h"

#include "LoopbackPort.h"
#include "MonitorPane.h"
#include "MonitorRowModel.h"
#include "PeerOptions.h"
#include "UserActions.h"
#include "WindowControls.h"
#include "frmKELTester.h"

#include <QLabel>
#include <QLineEdit>

using namespace UserActions;

namespace {

constexpr int kWaitMs = 10000;
constexpr int kPeerTimeoutMs = 2000;
constexpr int kMonitorWidth = 1100;
constexpr int kMonitorHeight = 760;

} // namespace

bool Tour::watchMonitor()
{
    frmKELTester *window = m_window.get();
    const QSize size = window->size();
    window->resize(kMonitorWidth, kMonitorHeight);
    Command(window, "mnuViewMonitor")->trigger();
    auto *pane = Control<MonitorPane>(window, "dckMonitor");
    if (!check(pane->isVisible(), QStringLiteral("open View > Monitor")))
        return false;
    const quint16 port = FreePort();
    Type(Control<QLineEdit>(window, "txtMonHost"), EtherServerOption(port, kPeerTimeoutMs));
    Type(Control<QLineEdit>(window, "txtMonDevice"), EtherClientOption(m_device.port(), kPeerTimeoutMs));
    Click(Control(window, "cmdMonStart"));
    if (!check(pane->isRunning(), QStringLiteral("start the monitor on port %1").arg(port)))
        return false;

    PeerProcess host;
    const QStringList requests{QStringLiteral("START"), QStringLiteral("PUT:A:1:X:3,7"), QStringLiteral("GET:A:1:X:")};
    QStringList args{QStringLiteral("--option"), EtherClientOption(port, kPeerTimeoutMs)};
    for (const QString &request : requests)
        args << QStringLiteral("--send") << request;
    if (!check(host.start(args), QStringLiteral("start kelpeer as the host: ") + host.errorOutput().trimmed())
        || !check(host.waitForFinished(kWaitMs) && host.answers().size() == requests.size(),
                  QStringLiteral("pass kelpeer's requests through, it got: ") + host.answers().join(QLatin1String(" | "))))
        return false;
    // a request and its answer per request, besides the connections
    const MonitorRowModel *rows = pane->model();
    if (!check(WaitFor([rows, &requests] { return rows->rowCount() >= 2 * requests.size(); }, kWaitMs),
               QStringLiteral("show the frames of both sides"))
        || !check(WaitFor([window] { return Control<QLabel>(window, "lblMonStats")->text().contains(QLatin1String("GET")); },
                          kWaitMs),
                  QStringLiteral("count the answer times per command")))
        return false;
    say(QStringLiteral("View > Monitor: kelpeer's requests to kelpeer on port %1, each answer with its time").arg(m_device.port()));
    const bool pictured = snapshot(window, QStringLiteral("main-monitor.png"));
    Click(Control(window, "cmdMonStop"));
    Command(window, "mnuViewMonitor")->trigger();
    window->resize(size);
    return pictured;
}
