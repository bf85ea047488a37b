#include "MivReconnector.h"

#include "MivController.h"
#include "MivError.h"
#include "MivProvider.h"

#include <QFileInfo>
#include <QFileSystemWatcher>

#include <algorithm>
#include <iterator>

MivReconnector::MivReconnector(QObject *parent) : QObject(parent)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &MivReconnector::tryOnce);
}

MivReconnector::~MivReconnector() = default;

int MivReconnector::backOffMs(int triesDone)
{
    return kBackOffMs[std::clamp<int>(triesDone, 0, int(std::size(kBackOffMs)) - 1)];
}

QString MivReconnector::describe(int attempt, const QString &reason)
{
    return QStringLiteral("try %1: %2").arg(attempt).arg(reason);
}

void MivReconnector::setEnabled(bool enabled)
{
    m_enabled = enabled;
    if (!enabled)
        stop();
}

void MivReconnector::watch(MivController *controller)
{
    stop();
    m_controller = controller;
}

MivController *MivReconnector::controller() const
{
    return m_controller;
}

void MivReconnector::start(const QString &reason)
{
    if (!m_enabled || m_trying || !m_controller || m_controller->isOpen())
        return;
    if (!m_controller->provider().canReopen()) {
        giveUp(QStringLiteral("a server's connection is not reopened"));
        return;
    }
    m_trying = true;
    m_attempt = 0;
    m_reason = reason;
    // From the event loop even for the first try: the loss may be reported from inside the
    // link that is to be replaced.
    m_timer.start(backOffMs(0));
}

void MivReconnector::stop()
{
    m_trying = false;
    m_timer.stop();
    watchPath({});
}

void MivReconnector::tryOnce()
{
    if (!m_trying)
        return;
    if (!m_controller) {
        giveUp(QStringLiteral("the connection was removed"));
        return;
    }
    ++m_attempt;
    const QPointer<MivReconnector> self(this);
    MivTapEvent event;
    event.kind = MivTapEventKind::Reconnecting;
    event.peer = m_controller->provider().openedTo();
    event.text = m_reason;
    event.attempt = m_attempt;
    m_controller->provider().tapNotice(event);
    emit reconnecting(m_attempt, m_reason);
    if (!self || !m_trying || !m_controller)
        return; // stopped, replaced or destroyed from a slot
    try {
        m_controller->Reopen();
    } catch (const MivError &e) {
        m_reason = e.description();
        scheduleNext();
        return;
    }
    stop();
    emit opened();
}

void MivReconnector::scheduleNext()
{
    if (m_maxAttempts > 0 && m_attempt >= m_maxAttempts) {
        giveUp(QStringLiteral("%1 tries failed; the last: %2").arg(m_attempt).arg(m_reason));
        return;
    }
    m_timer.start(backOffMs(m_attempt));
    const QString path = m_controller->provider().reopenPath();
    watchPath(!path.isEmpty() && !QFileInfo::exists(path) ? path : QString());
}

void MivReconnector::giveUp(const QString &reason)
{
    stop();
    emit gaveUp(reason);
}

// A device that is unplugged leaves its path; the folder it lived in says when it is back.
void MivReconnector::watchPath(const QString &path)
{
    if (path == m_waitedPath)
        return;
    if (m_pathWatcher) {
        // Maybe inside its own signal: it goes once that is over.
        m_pathWatcher->disconnect(this);
        m_pathWatcher->deleteLater();
        m_pathWatcher = nullptr;
    }
    m_waitedPath = path;
    if (path.isEmpty())
        return;
    m_pathWatcher = new QFileSystemWatcher(this);
    m_pathWatcher->addPath(QFileInfo(path).absolutePath());
    connect(m_pathWatcher, &QFileSystemWatcher::directoryChanged, this, &MivReconnector::pathChanged);
}

void MivReconnector::pathChanged()
{
    if (!m_trying || !QFileInfo::exists(m_waitedPath))
        return;
    watchPath({});
    m_timer.start(0);
}
