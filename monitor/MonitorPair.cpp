#include "MonitorPair.h"

#include "KelLink.h"
#include "KelSettings.h"
#include "KelTransport.h"
#include "MivError.h"
#include "MonitorStats.h"

#include <chrono>
#include <utility>

namespace {

using namespace std::chrono;

int Index(MonitorSide side)
{
    return side == MonitorSide::Host ? 0 : 1;
}

MonitorSide Opposite(MonitorSide side)
{
    return side == MonitorSide::Host ? MonitorSide::Device : MonitorSide::Host;
}

bool Gone(const KelLink *link)
{
    return !link || link->isFinished();
}

} // namespace

MonitorPair::MonitorPair(quint64 id, KelLink &host, const KelSettings &hostSettings,
                         const KelSettings &deviceSettings, MonitorStats &stats, QObject *parent)
    : QObject(parent), m_id(id), m_name(host.address()), m_waitLimitMs(deviceSettings.timeoutMs), m_host(&host),
      m_hostCopy(hostSettings.packet), m_deviceCopy(deviceSettings.packet),
      m_pairing(milliseconds(deviceSettings.timeoutMs)), m_stats(stats)
{
    m_expiry.setSingleShot(true);
    connect(&m_expiry, &QTimer::timeout, this, &MonitorPair::expire);
    m_linger.setSingleShot(true);
    m_linger.setInterval(kCloseLingerMs);
    connect(&m_linger, &QTimer::timeout, this, [this] {
        if (m_lingering)
            closeNow(*m_lingering);
    });
}

MonitorPair::~MonitorPair() = default;

void MonitorPair::setDevice(std::unique_ptr<KelTransport> device)
{
    m_deviceTransport = device.release();
    m_deviceTransport->setParent(this);
    const QList<KelLink *> links = m_deviceTransport->links();
    m_device = links.isEmpty() ? nullptr : links.first();
}

KelLink *MonitorPair::link(MonitorSide side) const
{
    return side == MonitorSide::Host ? m_host.data() : m_device.data();
}

KelLink *MonitorPair::other(const KelLink &link) const
{
    return this->link(Opposite(sideOf(link)));
}

qint64 MonitorPair::queuedBytes() const
{
    return (m_host ? m_host->bytesToWrite() : 0) + (m_device ? m_device->bytesToWrite() : 0);
}

bool MonitorPair::takes(const KelLink &from) const
{
    // Bytes for a side that has gone are shown, not kept.
    const KelLink *to = other(from);
    return !to || !to->isOpen() || to->bytesToWrite() < kForwardQueueBytes;
}

void MonitorPair::stalled(const KelLink &from)
{
    KelLink *to = other(from);
    if (from.isOpen() || !to || m_linger.isActive())
        return;
    if (m_closeWhy.isEmpty())
        m_closeWhy = QStringLiteral("closed: it took nothing for %1 ms after the other side closed").arg(kCloseLingerMs);
    m_lingering = to;
    m_linger.start();
}

void MonitorPair::pass(KelLink &from, const char *data, qsizetype size)
{
    const MonitorSide side = sideOf(from);
    const MivTapTime at;
    KelLink *to = other(from);
    if (to && to->isOpen()) {
        try {
            to->writeBytes(QByteArray::fromRawData(data, size), KelLink::Batching::Bypass);
        } catch (const MivError &e) {
            emitEvent(Opposite(side), MivTapEventKind::Error, to->address(), e.description());
            close(e.description());
        }
    }
    // Once the pair has closed no later turn would frame the rest.
    const qsizetype now = !m_queued.isEmpty() ? 0 : m_closed ? size : qMin(size, kCopyTurnBytes);
    observe(side, data, now, at);
    if (now < size) {
        m_queued.append(side, data + now, size - now, at);
        scheduleCopy();
    }
}

void MonitorPair::scheduleCopy()
{
    if (std::exchange(m_copyScheduled, true))
        return;
    QMetaObject::invokeMethod(this, &MonitorPair::copyTurn, Qt::QueuedConnection);
}

void MonitorPair::copyTurn()
{
    m_copyScheduled = false;
    for (qsizetype left = kCopyTurnBytes; left > 0 && !m_queued.isEmpty();) {
        const MonitorCopyQueue::Slice slice = m_queued.take(left);
        left -= slice.bytes.size();
        observe(slice.side, slice.bytes.constData(), slice.bytes.size(), slice.at);
    }
    if (!m_queued.isEmpty())
        scheduleCopy();
    for (const MonitorSide side : {MonitorSide::Host, MonitorSide::Device}) {
        // Read on, as a turn of its own would: drain() asks again whether it may.
        KelLink *from = link(side);
        if (from && from->isPaused() && !copyFull())
            from->drain();
    }
}

void MonitorPair::copyAll()
{
    while (!m_queued.isEmpty()) {
        const MonitorCopyQueue::Slice slice = m_queued.take(kCopyQueueBytes);
        observe(slice.side, slice.bytes.constData(), slice.bytes.size(), slice.at);
    }
}

void MonitorPair::observe(MonitorSide side, const char *data, qsizetype size, const MivTapTime &at)
{
    QList<MonitorFramedCopy::Result> results;
    (side == MonitorSide::Host ? m_hostCopy : m_deviceCopy).feed(data, size, results);
    for (MonitorFramedCopy::Result &result : results) {
        MonitorFrame row;
        row.pair = m_id;
        row.side = side;
        row.peer = m_name;
        row.text = std::move(result.event.text);
        row.wire = std::move(result.wire);
        row.at = at;
        if (result.event.kind == KelFrameEvent::Error) {
            row.role = MonitorFrame::Error;
            m_stats.addError();
        } else if (side == MonitorSide::Host) {
            request(row);
        } else {
            answer(row);
        }
        emit frame(row);
    }
}

void MonitorPair::request(MonitorFrame &row)
{
    row.role = MonitorFrame::Request;
    m_stats.addRequest(row.text);
    if (m_pairing.request(row.text, row.at.steady) == MonitorPairing::Added::Overflowed) {
        emit event(MonitorEvent{m_id, MonitorSide::Host, MivTapEventKind::Error, m_name,
                                QStringLiteral("Pairing overflow: more than %1 requests wait for answers; "
                                               "the answers to later ones are shown untimed")
                                    .arg(MonitorPairing::kMaxWaiting),
                                row.at});
    }
    armExpiry();
}

void MonitorPair::answer(MonitorFrame &row)
{
    giveUpExpired(row.at.steady);
    if (const auto answered = m_pairing.answer(row.at.steady)) {
        row.role = MonitorFrame::Answer;
        if (answered->request) {
            row.answerTime = answered->time;
            row.request = answered->request->text;
            m_stats.addAnswer(row.request, answered->time);
        }
    } else {
        row.role = MonitorFrame::Stray;
        m_stats.addStray();
    }
    armExpiry();
}

void MonitorPair::giveUp(const MonitorPairing::GivenUp &givenUp, const QString &why)
{
    for (const MonitorPairing::Request &request : givenUp.requests) {
        m_stats.addUnanswered(request.text);
        emit event(MonitorEvent{m_id, MonitorSide::Device, MivTapEventKind::Error, m_name,
                                QStringLiteral("No answer to \"%1\" %2").arg(request.text, why), {}});
    }
    if (givenUp.counted == 0)
        return;
    // Their commands were not kept: the statistics cannot say which ones went unanswered.
    emit event(MonitorEvent{m_id, MonitorSide::Device, MivTapEventKind::Error, m_name,
                            QStringLiteral("No answer to %1 untimed requests %2").arg(QString::number(givenUp.counted), why),
                            {}});
}

void MonitorPair::giveUpExpired(steady_clock::time_point at)
{
    const MonitorPairing::GivenUp expired = m_pairing.expire(at);
    if (!expired.requests.empty() || expired.counted > 0)
        giveUp(expired, QStringLiteral("within %1 ms").arg(m_waitLimitMs));
}

void MonitorPair::expire()
{
    // An answer may wait in the queued copy: what came after it has no bearing yet.
    giveUpExpired(m_queued.oldest().value_or(steady_clock::now()));
    armExpiry();
}

void MonitorPair::armExpiry()
{
    // A timer that fires early (its request was answered) finds nothing to give up and is armed
    // again: restarting it for every frame would cost more than that.
    if (m_expiry.isActive())
        return;
    const auto deadline = m_pairing.nextDeadline();
    if (!deadline)
        return;
    // A millisecond past the deadline: a request is given up once it has waited longer. Never
    // at once: a deadline that has passed while its answer may wait in the queued copy is looked
    // at again a millisecond later, not in a loop.
    const auto left = ceil<milliseconds>(*deadline - steady_clock::now()) + milliseconds(1);
    m_expiry.start(int(qMax<qint64>(1, left.count())));
}

KelLink *MonitorPair::written(KelLink &link)
{
    if (&link == m_lingering && link.bytesToWrite() == 0) {
        // Not from inside the device's own signal.
        QMetaObject::invokeMethod(this, [this] {
            if (m_lingering)
                closeNow(*m_lingering);
        }, Qt::QueuedConnection);
        return nullptr;
    }
    KelLink *from = other(link);
    return from && from->isPaused() ? from : nullptr;
}

void MonitorPair::linkClosed(KelLink &link)
{
    copyAll();
    const MonitorSide side = sideOf(link);
    QString why = link.endReason();
    if (m_closing[Index(side)] && !m_closeWhy.isEmpty())
        why = m_closeWhy;
    emitEvent(side, MivTapEventKind::Disconnected, link.address(), why);
    giveUp(m_pairing.takeAll(), QStringLiteral("before the connection closed"));
    m_expiry.stop();
    if (KelLink *to = other(link); to && !to->isFinished()) {
        const QString closer = side == MonitorSide::Host ? QStringLiteral("the host") : QStringLiteral("the device");
        // Not from inside this call: the other link may be the one passing bytes now (its write
        // met the close), and what it still holds would go unshown.
        QMetaObject::invokeMethod(this, [this, to = QPointer<KelLink>(to),
                                         reason = QStringLiteral("closed because %1 side closed (%2)").arg(closer, why)] {
            if (!Gone(to))
                closeAfterQueue(*to, reason);
        }, Qt::QueuedConnection);
    }
    checkClosed();
}

void MonitorPair::close(const QString &why)
{
    m_closeWhy = why;
    // Held by pointers that a close may clear.
    const QPointer<KelLink> host = m_host;
    const QPointer<KelLink> device = m_device;
    if (!Gone(host))
        closeNow(*host);
    if (!Gone(device))
        closeNow(*device);
    checkClosed();
}

void MonitorPair::closeAfterQueue(KelLink &link, const QString &why)
{
    if (m_closeWhy.isEmpty())
        m_closeWhy = why;
    if (link.bytesToWrite() == 0 || !link.isOpen()) {
        closeNow(link);
        return;
    }
    m_lingering = &link;
    m_linger.start();
}

void MonitorPair::closeNow(KelLink &link)
{
    m_closing[Index(sideOf(link))] = true;
    if (&link == m_lingering) {
        m_lingering = nullptr;
        m_linger.stop();
    }
    link.close();
}

void MonitorPair::emitEvent(MonitorSide side, MivTapEventKind kind, const QString &peer, const QString &text)
{
    emit event(MonitorEvent{m_id, side, kind, peer, text, {}});
}

void MonitorPair::checkClosed()
{
    if (m_closed || !Gone(m_host) || !Gone(m_device))
        return;
    m_closed = true;
    m_expiry.stop();
    m_linger.stop();
    emit closed(m_id);
}
