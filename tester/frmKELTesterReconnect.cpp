#include "frmKELTester.h"

#include "Captions.h"
#include "Controls.h"
#include "MivError.h"
#include "RecordEntries.h"
#include "TesterSession.h"
#include "TrafficMonitor.h"

#include <QAction>
#include <QDateTime>
#include <QMenu>
#include <QMenuBar>

// Tools > Reconnect Automatically: a client's connection or a serial line that goes is shown
// as a Disconnect shows it, opened again by the session, and shown as a Connect shows it.

void frmKELTester::buildToolsMenu()
{
    auto *tools = findChild<QMenu *>(QStringLiteral("mnuTools"));
    if (!tools) {
        tools = NameMenu(new QMenu(QStringLiteral("&Tools"), this), "mnuTools");
        menuBar()->insertMenu(mnuHelp->menuAction(), tools);
    }
    const QList<QAction *> before = tools->actions();
    mnuToolsReconnect = new QAction(QStringLiteral("&Reconnect Automatically"), tools);
    mnuToolsReconnect->setObjectName(QStringLiteral("mnuToolsReconnect"));
    mnuToolsReconnect->setCheckable(true);
    tools->insertAction(before.isEmpty() ? nullptr : before.constFirst(), mnuToolsReconnect);
    connect(mnuToolsReconnect, &QAction::triggered, this, &frmKELTester::mnuToolsReconnect_Click);

    connect(m_session, &TesterSession::lineLost, this, &frmKELTester::LineLost);
    connect(m_session, &TesterSession::lineReopened, this, &frmKELTester::LineReopened);
    connect(m_session, &TesterSession::outageEnded, this, &frmKELTester::RecordOutage);
}

bool frmKELTester::reconnectAutomatically() const
{
    return mnuToolsReconnect->isChecked();
}

void frmKELTester::setReconnectAutomatically(bool on)
{
    mnuToolsReconnect->setChecked(on);
    mnuToolsReconnect_Click();
}

void frmKELTester::mnuToolsReconnect_Click()
{
    m_session->setReconnect(mnuToolsReconnect->isChecked());
}

void frmKELTester::LineLost()
{
    mnuFileDisconn_Click();
}

void frmKELTester::LineReopened()
{
    try {
        SetStatus(StatusText::Connecting);
        ShowConnected(m_session->reopenedPanels());
    } catch (const MivError &error) {
        reportFailure(LogCaption::Connect, error.description());
    }
}

void frmKELTester::RecordOutage(const QString &peer, const MivTapTime &since, qint64 lengthMs)
{
    RecordedEvent event;
    event.kind = LinkEventKind::Outage;
    event.peer = peer;
    const QDateTime from = QDateTime::fromMSecsSinceEpoch(
        std::chrono::duration_cast<std::chrono::milliseconds>(since.wall.time_since_epoch()).count());
    event.text = QStringLiteral("away since %1 for %2 ms").arg(from.toString(QStringLiteral("HH:mm:ss.zzz"))).arg(lengthMs);
    event.since = since.wall;
    event.lengthMs = lengthMs;
    m_traffic->recorder().addEvent(event);
}
