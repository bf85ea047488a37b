#include "KelProvider.h"

#include "KelOptions.h"
#include "KelSerialLine.h"
#include "KelTcpClient.h"
#include "KelTcpServer.h"
#include "MivError.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QPointer>

KelProvider::KelProvider(const QString &option) : m_settings(ParseKelOptions(option))
{
    KelLinkSink &sink = *this;
    switch (m_settings.kind) {
    case KelConnKind::Serial:
        m_transport = std::make_unique<KelSerialLine>(m_settings, sink);
        break;
    case KelConnKind::TcpClient:
        m_transport = std::make_unique<KelTcpClient>(m_settings, sink);
        break;
    case KelConnKind::TcpServer:
        m_transport = std::make_unique<KelTcpServer>(m_settings, sink);
        break;
    }
    for (KelLink *link : m_transport->links())
        linkOpened(*link);
}

KelProvider::~KelProvider()
{
    // Links report their closing to this object: they go while it is still whole.
    m_transport.reset();
}

QString KelProvider::localAddress() const
{
    return m_transport->localAddress();
}

QString KelProvider::transact(const QString &request)
{
    KelLink *target = m_transport->target();
    QPointer<KelLink> link(target);
    // Frames already here came before the request: they are not its answer.
    link->drain();
    if (link->lateAnswers > 0 && KelSteadyMs() >= link->lateUntilMs)
        link->lateAnswers = 0;
    link->answer.reset();
    link->sendText(request);
    link->waiting = true;
    const QDeadlineTimer deadline(m_settings.timeoutMs);
    while (link && link->isOpen() && !link->answer) {
        const qint64 left = deadline.remainingTime();
        if (left <= 0)
            break;
        link->waitAndDrain(int(left));
    }
    if (!link || !link->isOpen())
        throw MivError(MivCode::NotConnected,
                       QStringLiteral("The connection closed before the answer to \"%1\"").arg(request));
    link->waiting = false;
    if (!link->answer) {
        ++link->lateAnswers;
        link->lateUntilMs = KelSteadyMs() + 2 * qint64(m_settings.timeoutMs);
        throw MivError(MivCode::Timeout,
                       QStringLiteral("Timeout: no answer within %1 ms").arg(m_settings.timeoutMs));
    }
    QString answer = std::move(*link->answer);
    link->answer.reset();
    return answer;
}

void KelProvider::send(const QString &text)
{
    m_transport->target()->sendText(text);
}

void KelProvider::clear()
{
    for (KelLink *link : m_transport->links())
        link->clearInput();
    std::erase_if(m_queue, [](const MivMessage &m) { return m.Kind() == 0 || m.Kind() == 1; });
}

void KelProvider::linkOpened(KelLink &link)
{
    enqueue(3, link.address());
}

void KelProvider::linkReceived(KelLink &link, const QList<KelFrameEvent> &events)
{
    for (const KelFrameEvent &event : events) {
        if (event.kind == KelFrameEvent::Error) {
            enqueue(2, event.text);
            continue;
        }
        link.frameSeq = ++m_frameSeq;
        if (link.lateAnswers > 0) {
            if (KelSteadyMs() < link.lateUntilMs) {
                --link.lateAnswers;
                enqueue(1, event.text, &link);
                continue;
            }
            link.lateAnswers = 0;
        }
        if (link.waiting && !link.answer)
            link.answer = event.text;
        else
            enqueue(m_transport && m_transport->isServer() ? 0 : 1, event.text, &link);
    }
}

void KelProvider::linkClosed(KelLink &link)
{
    enqueue(4, link.address());
}

void KelProvider::transportError(const QString &description)
{
    enqueue(2, description);
}

void KelProvider::enqueue(qint32 kind, const QString &value, const KelLink *link)
{
    m_queue.emplace_back(kind, MivVariant(value), link ? link->replyChannel() : nullptr);
    if (!m_deliveryPosted && !m_delivering) {
        m_deliveryPosted = true;
        QMetaObject::invokeMethod(this, &KelProvider::deliver, Qt::QueuedConnection);
    }
}

void KelProvider::deliver()
{
    m_deliveryPosted = false;
    if (m_delivering)
        return;
    m_delivering = true;
    const QPointer<KelProvider> self(this);
    // A burst is handed out in slices so that the window keeps repainting and taking input.
    QElapsedTimer slice;
    slice.start();
    while (!m_queue.empty() && slice.elapsed() < kDeliverySliceMs) {
        MivMessage message = std::move(m_queue.front());
        m_queue.pop_front();
        emit this->message(&message);
        if (!self)
            return; // the controller was removed from inside the slot
    }
    m_delivering = false;
    if (!m_queue.empty() && !m_deliveryPosted) {
        m_deliveryPosted = true;
        QMetaObject::invokeMethod(this, &KelProvider::deliver, Qt::QueuedConnection);
    }
}
