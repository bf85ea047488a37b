#include "KelMonitor.h"

#include "KelSerialLine.h"
#include "KelTransport.h"
#include "MivError.h"
#include "MonitorPair.h"

#include <QList>

#include <utility>

namespace {

const QString kStopped = QStringLiteral("the monitor stopped");

// The transport of the settings, owned by parent from now on.
KelTransport *Adopt(std::unique_ptr<KelTransport> transport, QObject *parent)
{
    transport->setParent(parent);
    return transport.release();
}

} // namespace

KelMonitor::KelMonitor(QObject *parent) : QObject(parent) {}

KelMonitor::~KelMonitor()
{
    // Links go while the sink they report to is whole; nothing is reported on the way.
    blockSignals(true);
    for (const auto &[id, pair] : m_pairs) {
        pair->blockSignals(true);
        delete pair;
    }
    m_pairs.clear();
    delete m_host;
}

void KelMonitor::start(const QString &hostOption, const QString &deviceOption)
{
    stop();
    m_sides = ParseMonitorSides(hostOption, deviceOption);
    if (m_sides.host.kind == KelConnKind::Serial) {
        // A serial pair is one pair: both lines open now, or neither.
        std::unique_ptr<KelTransport> device = OpenKelTransport(m_sides.device, *this);
        m_host = Adopt(OpenKelTransport(m_sides.host, *this), this);
        emitEvent(0, MonitorSide::Host, MivTapEventKind::Opened, m_host->localAddress(), hostOption);
        for (KelLink *link : m_host->links()) {
            MonitorPair *pair = addPair(*link);
            pair->setDevice(std::move(device));
            emitEvent(pair->id(), MonitorSide::Host, MivTapEventKind::Connected, link->address(), {});
            if (KelLink *deviceLink = pair->link(MonitorSide::Device))
                emitEvent(pair->id(), MonitorSide::Device, MivTapEventKind::Connected, deviceLink->address(), {});
        }
        return;
    }
    m_host = Adopt(OpenKelTransport(m_sides.host, *this), this);
    emitEvent(0, MonitorSide::Host, MivTapEventKind::Opened, m_host->localAddress(), hostOption);
}

void KelMonitor::stop()
{
    if (!m_host)
        return;
    m_stopping = true;
    QList<MonitorPair *> pairs;
    for (const auto &[id, pair] : m_pairs)
        pairs.append(pair);
    for (MonitorPair *pair : pairs)
        pair->close(kStopped);
    const QString address = m_host->localAddress();
    m_host->deleteLater();
    m_host = nullptr;
    m_stopping = false;
    emitEvent(0, MonitorSide::Host, MivTapEventKind::Closed, address, kStopped);
    emit finished();
}

QString KelMonitor::hostAddress() const
{
    return m_host ? m_host->localAddress() : QString();
}

qint64 KelMonitor::queuedBytes() const
{
    qint64 queued = 0;
    for (const auto &[id, pair] : m_pairs)
        queued += pair->queuedBytes();
    return queued;
}

MonitorPair *KelMonitor::addPair(KelLink &host)
{
    auto *pair = new MonitorPair(++m_lastPair, host, m_sides.host, m_sides.device, m_stats, this);
    connect(pair, &MonitorPair::frame, this, &KelMonitor::frame);
    connect(pair, &MonitorPair::event, this, &KelMonitor::event);
    connect(pair, &MonitorPair::closed, this, &KelMonitor::pairDone);
    m_pairs[pair->id()] = pair;
    return pair;
}

void KelMonitor::linkOpened(KelLink &link)
{
    if (m_sides.device.kind == KelConnKind::Serial && !m_pairs.empty()) {
        const MonitorPair *serving = m_pairs.begin()->second;
        emitEvent(0, MonitorSide::Host, MivTapEventKind::Error, m_host->localAddress(),
                  QStringLiteral("Client %1 refused: the device line serves %2 already")
                      .arg(link.address(), serving->name()));
        link.close();
        return;
    }
    MonitorPair *pair = addPair(link);
    emitEvent(pair->id(), MonitorSide::Host, MivTapEventKind::Connected, link.address(), {});
    openDevice(*pair);
}

void KelMonitor::openDevice(MonitorPair &pair)
{
    try {
        pair.setDevice(OpenKelTransport(m_sides.device, *this));
    } catch (const MivError &e) {
        emitEvent(pair.id(), MonitorSide::Device, MivTapEventKind::Error, deviceTarget(), e.description());
        pair.close(QStringLiteral("the device side did not open: ") + e.description());
        return;
    }
    if (KelLink *device = pair.link(MonitorSide::Device))
        emitEvent(pair.id(), MonitorSide::Device, MivTapEventKind::Connected, device->address(), {});
}

QString KelMonitor::deviceTarget() const
{
    if (m_sides.device.kind == KelConnKind::Serial)
        return KelSerialLine::devicePath(m_sides.device.serial.comPort);
    return QStringLiteral("%1:%2").arg(m_sides.device.host).arg(m_sides.device.port);
}

MonitorPair *KelMonitor::pairOf(const KelLink &link) const
{
    for (const auto &[id, pair] : m_pairs) {
        if (pair->has(link))
            return pair;
    }
    return nullptr;
}

void KelMonitor::linkClosed(KelLink &link)
{
    if (MonitorPair *pair = pairOf(link))
        pair->linkClosed(link);
}

void KelMonitor::pairDone(quint64 id)
{
    const auto found = m_pairs.find(id);
    if (found == m_pairs.end())
        return;
    // It may be on the stack: a link of its own reported the close.
    found->second->deleteLater();
    m_pairs.erase(found);
    emit pairClosed(id);
    // A serial host line is the one pair: with it the host side has gone.
    if (!m_stopping && m_host && m_sides.host.kind == KelConnKind::Serial) {
        const QString address = m_host->localAddress();
        m_host->deleteLater();
        m_host = nullptr;
        emitEvent(0, MonitorSide::Host, MivTapEventKind::Closed, address, QStringLiteral("the host line closed"));
        emit finished();
    }
}

void KelMonitor::transportError(const QString &description)
{
    emitEvent(0, MonitorSide::Host, MivTapEventKind::Error, m_host ? m_host->localAddress() : QString(), description);
}

int KelMonitor::framesWanted(const KelLink &link) const
{
    MonitorPair *pair = pairOf(link);
    if (!pair)
        return 1;
    // Read on once the copy has been framed: the pair does that in turns of its own.
    if (pair->copyFull())
        return 0;
    if (pair->takes(link))
        return 1;
    pair->stalled(link);
    return 0;
}

void KelMonitor::linkInputArrived(KelLink &link)
{
    link.drain();
}

qsizetype KelMonitor::linkBytes(KelLink &link, const char *data, qsizetype size)
{
    // Passed on whole, at once: a burst's copy is what waits for later turns.
    if (MonitorPair *pair = pairOf(link))
        pair->pass(link, data, size);
    return size;
}

void KelMonitor::linkWritten(KelLink &link)
{
    // A link held back is read again in a turn of its own, with its budget like any other.
    MonitorPair *pair = pairOf(link);
    if (KelLink *resumed = pair ? pair->written(link) : nullptr)
        linkInputArrived(*resumed);
}

void KelMonitor::emitEvent(quint64 pair, MonitorSide side, MivTapEventKind kind, const QString &peer,
                           const QString &text)
{
    emit event(MonitorEvent{pair, side, kind, peer, text, {}});
}
