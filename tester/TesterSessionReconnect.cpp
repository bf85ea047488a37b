#include "TesterSession.h"

#include "MivEngine.h"
#include "MivError.h"
#include "MivProvider.h"
#include "ProcessEngine.h"
#include "ReconnectRules.h"
#include "TesterOutput.h"

#include <chrono>

// Reconnect Automatically: a line that goes is let go by the window's disconnect flow but kept,
// with its variables, so that a performance run can go on across the outage; the reconnector
// opens it again with the engine's back-off.

void TesterSession::setReconnect(bool on)
{
    m_reconnector.setEnabled(on);
    if (!on)
        DropLost();
}

bool TesterSession::lineAway() const
{
    if (!reconnects() || !ReopensWhenLost(m_settings.connType))
        return false;
    return isReopening() || (m_mivCtrl && !m_mivCtrl->isOpen());
}

void TesterSession::LineWent(const QString &address)
{
    if (!reconnects() || !ReopensWhenLost(m_settings.connType) || !m_mivCtrl || m_mivCtrl->isOpen()
        || isReopening())
        return;
    m_lost = m_mivCtrl;
    m_lostAt = MivTapTime();
    const QString reason = address.isEmpty() ? QStringLiteral("the line went away")
                                             : QStringLiteral("the line to %1 went away").arg(address);
    emit lineLost(reason);
    // The window's disconnect flow has let it go; a window that did not leaves it connected.
    if (!m_lost || m_mivCtrl) {
        m_lost = nullptr;
        return;
    }
    m_reconnector.watch(m_lost);
    m_reconnector.start(reason);
}

void TesterSession::Reopened()
{
    MivController *controller = m_lost;
    if (!controller)
        return;
    const MivTapTime back;
    const qint64 lengthMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(back.steady - m_lostAt.steady).count();
    m_reconnector.watch(nullptr);
    m_lost = nullptr;
    setMivCtrl(controller);
    emit outageEnded(controller->provider().openedTo(), m_lostAt, lengthMs);
    emit lineReopened();
}

// The tries end without the line: it is closed as a Disconnect would, its line logged already.
void TesterSession::DropLost()
{
    m_reconnector.watch(nullptr);
    if (!m_lost)
        return;
    MivController *controller = m_lost;
    m_lost = nullptr;
    try {
        g_mivEngine->Workspaces().Item(0)->Controllers().Remove(controller->Index());
    } catch (const MivError &error) {
        m_output.NoteFailure(error.description());
    }
    updateLink();
}

void TesterSession::updateLink()
{
    MivController *link = m_mivCtrl ? m_mivCtrl.data() : m_lost.data();
    if (link == m_link)
        return;
    m_link = link;
    emit linkChanged(link);
}
