#include "KelProvider.h"

#include "KelAnswer.h"
#include "KelOptions.h"
#include "KelSerialLine.h"
#include "KelTransport.h"
#include "MivConverter.h"
#include "MivError.h"

#include <QDeadlineTimer>
#include <QPointer>
#include <QScopedValueRollback>

#include <algorithm>

namespace {

// Room for "PUT:", the colon and the longest value text of a number or date.
constexpr qsizetype kPutRoom = 64;

MivLinkRole RoleOf(KelConnKind kind)
{
    switch (kind) {
    case KelConnKind::TcpClient: return MivLinkRole::Client;
    case KelConnKind::TcpServer: return MivLinkRole::Server;
    case KelConnKind::Serial: break;
    }
    return MivLinkRole::Serial;
}

QString ClosedDescription(const KelLink &link, const QString &request)
{
    QString text = QStringLiteral("The connection to %1 closed before the answer to \"%2\": %3")
                       .arg(link.address(), request, link.endReason());
    if (link.lostBytes() > 0)
        text += QStringLiteral("; %1 bytes of a partial answer were lost").arg(link.lostBytes());
    return text;
}

} // namespace

KelProvider::KelProvider(const QString &option)
    : m_settings(ParseKelOptions(option)), m_option(option), m_role(RoleOf(m_settings.kind))
{
    connect(&m_delivery, &KelDelivery::message, this, &KelProvider::message);
    m_pendingTimer.setSingleShot(true);
    m_pendingTimer.setTimerType(Qt::PreciseTimer); // a coarse one may end the wait early
    connect(&m_pendingTimer, &QTimer::timeout, this, [this] {
        // An answer the event loop has not handed over yet still counts.
        if (m_pending && m_pending->link)
            m_pending->link->drain();
        settlePending();
    });
    m_transport = OpenKelTransport(m_settings, *this);
    announceOpened();
}

void KelProvider::announceOpened()
{
    m_openedAt = MivTapTime();
    const QList<KelLink *> links = m_transport->links();
    m_openedTo = m_role == MivLinkRole::Client && !links.isEmpty() ? links.constFirst()->address()
                                                                    : m_transport->localAddress();
    // A listener that attached before is told of a reopened transport as of the first one.
    if (m_tapToldOpen)
        tapTransport(MivTapEventKind::Opened, m_option, m_openedAt);
    for (KelLink *link : links)
        linkOpened(*link);
}

bool KelProvider::isOpen() const
{
    const QList<KelLink *> links = m_transport->links();
    return m_transport->isServer()
           || std::any_of(links.begin(), links.end(), [](const KelLink *link) { return link->isOpen(); });
}

void KelProvider::reopen()
{
    if (!canReopen())
        MivProvider::reopen();
    if (isOpen())
        return;
    std::unique_ptr<KelTransport> fresh = OpenKelTransport(m_settings, *this);
    KelTransport *old = m_transport.release();
    old->setParent(this); // goes with this object if that comes first
    old->deleteLater();
    m_transport = std::move(fresh);
    m_tapToldOpen = tap() != nullptr;
    announceOpened();
}

QString KelProvider::reopenPath() const
{
    return m_settings.kind == KelConnKind::Serial ? KelSerialLine::devicePath(m_settings.serial.comPort) : QString();
}

KelProvider::~KelProvider()
{
    if (m_transport && m_tapToldOpen)
        tapTransport(MivTapEventKind::Closed, QStringLiteral("closed at this end"));
    // Links report their closing to this object: they go while it is still whole.
    m_transport.reset();
}

QString KelProvider::localAddress() const
{
    return m_transport->localAddress();
}

QString KelProvider::requestPeer() const
{
    try {
        return m_transport->target()->address();
    } catch (const MivError &) {
        return m_requestPeer;
    }
}

KelLink &KelProvider::requestLink()
{
    KelLink *link = m_transport->target();
    m_requestPeer = link->address();
    return *link;
}

QString KelProvider::transact(const QString &request)
{
    return transact(request, m_settings.timeoutMs);
}

QString KelProvider::transact(const QString &request, int timeoutMs)
{
    waitOutPending();
    const QScopedValueRollback inSyncCall(m_syncCallDepth, m_syncCallDepth + 1);
    QPointer<KelLink> link(&requestLink());
    // Frames already here came before the request: they are not its answer.
    link->drain();
    link->request().prepare();
    link->sendRequest(request);
    link->request().startWaiting();
    const QDeadlineTimer deadline(timeoutMs);
    // A link that has closed is kept (deleted later) until the event loop runs again.
    while (!link->isFinished() && !link->request().answered()) {
        const qint64 left = deadline.remainingTime();
        if (left <= 0)
            break;
        link->waitAndDrain(int(left));
    }
    KelRequestState &state = link->request();
    if (state.answered())
        return state.takeAnswer();
    if (link->isFinished()) {
        state.stopWaiting();
        throw MivError(MivCode::NotConnected, ClosedDescription(*link, request));
    }
    state.stopWaiting(timeoutMs);
    throw MivError(MivCode::Timeout, QStringLiteral("Timeout: no answer within %1 ms").arg(timeoutMs));
}

void KelProvider::startTransact(const QString &request, int timeoutMs)
{
    waitOutPending();
    if (timeoutMs <= 0)
        timeoutMs = m_settings.timeoutMs;
    {
        const QScopedValueRollback inSyncCall(m_syncCallDepth, m_syncCallDepth + 1);
        KelLink &link = requestLink();
        link.drain(); // what came before is no answer to it
        link.request().prepare();
        link.sendRequest(request);
        link.request().startWaiting();
        m_pending = Pending{&link, request, timeoutMs, QDeadlineTimer(timeoutMs)};
    }
    m_pendingTimer.start(timeoutMs);
}

void KelProvider::waitOutPending()
{
    const QScopedValueRollback inSyncCall(m_syncCallDepth, m_syncCallDepth + 1);
    while (m_pending) {
        KelLink *link = m_pending->link;
        const qint64 left = m_pending->deadline.remainingTime();
        if (!link || link->isFinished() || link->request().answered() || left <= 0)
            break;
        link->waitAndDrain(int(left));
    }
    settlePending();
}

void KelProvider::settlePending()
{
    if (!m_pending)
        return;
    const Pending pending = std::move(*m_pending);
    m_pending.reset();
    m_pendingTimer.stop();
    QString answer;
    qint32 code = 0;
    QString description;
    KelLink *link = pending.link;
    if (link && link->request().answered()) {
        answer = link->request().takeAnswer();
    } else if (!link || link->isFinished()) {
        if (link)
            link->request().stopWaiting();
        code = MivCode::NotConnected;
        description = link ? ClosedDescription(*link, pending.request)
                           : QStringLiteral("The connection closed before the answer to \"%1\"").arg(pending.request);
    } else {
        link->request().stopWaiting(pending.timeoutMs);
        code = MivCode::Timeout;
        description = QStringLiteral("Timeout: no answer within %1 ms").arg(pending.timeoutMs);
    }
    // Never from inside a call: whoever waits may start the next request at once.
    QMetaObject::invokeMethod(
        this, [this, answer, code, description] { emit transactDone(answer, code, description); }, Qt::QueuedConnection);
}

void KelProvider::send(const QString &text)
{
    requestLink().sendText(text);
}

void KelProvider::clear()
{
    const QScopedValueRollback inSyncCall(m_syncCallDepth, m_syncCallDepth + 1);
    for (KelLink *link : m_transport->links())
        link->clearInput();
    m_delivery.dropFrames();
}

MivVariant KelProvider::runCommand(const QStringList &parameters, MivExecuteMode::Mode mode)
{
    const QString request = parameters.join(u':');
    if (mode == MivExecuteMode::SendOnly) {
        send(request);
        return {};
    }
    return KelAnswerValue(ParseKelAnswer(transact(request)), request);
}

MivVariant KelProvider::readVariable(const QString &name)
{
    const QString request = QStringLiteral("GET:%1:").arg(name);
    const QString text = transact(request);
    const KelAnswer answer = ParseKelAnswer(text);
    if (answer.hresult >= 0 && !answer.hasValue)
        throw MivError(MivCode::TypeMismatch,
                       QStringLiteral("Reading %1: the answer \"%2\" holds no value").arg(name, text));
    return KelAnswerValue(answer, request);
}

void KelProvider::writeVariable(const QString &name, const MivVariant &value)
{
    // One allocation: the value text is written into the request, not made apart and copied.
    QString request;
    request.reserve(kPutRoom + name.size() + (value.type() == VT_BSTR ? value.bstr().size() : 0));
    request.append(QLatin1StringView("PUT:")).append(name).append(u':');
    MivConverter().AppendValueText(request, value, 0);
    KelAnswerValue(ParseKelAnswer(transact(request)), request);
}

void KelProvider::linkOpened(KelLink &link)
{
    m_connectedAt[link.id()] = MivTapTime();
    tapEvent(MivTapEventKind::Connected, link.address(), {}, m_connectedAt[link.id()]);
    m_delivery.post(&link, MivMessage(MivMessageKind::Connected, MivVariant(link.address())));
}

void KelProvider::linkReceived(KelLink &link, const QList<KelFrameEvent> &events)
{
    const bool server = m_transport && m_transport->isServer();
    for (const KelFrameEvent &event : events) {
        if (event.kind == KelFrameEvent::Error) {
            m_delivery.post(&link, MivMessage(MivMessageKind::Error, MivVariant(event.text)));
            continue;
        }
        link.setFrameSeq(++m_frameSeq);
        switch (link.request().route(event.text)) {
        case KelRequestState::Route::Answer:
            if (m_pending && m_pending->link == &link)
                settlePending();
            break;
        case KelRequestState::Route::Late:
            m_delivery.post(&link, MivMessage(MivMessageKind::Unsolicited, MivVariant(event.text), link.replyChannel()));
            break;
        case KelRequestState::Route::Other:
            m_delivery.post(&link, MivMessage(server ? MivMessageKind::Request : MivMessageKind::Unsolicited,
                                              MivVariant(event.text), link.replyChannel()));
            break;
        }
    }
}

void KelProvider::linkInputArrived(KelLink &link)
{
    // From the event loop, what came is delivered at once; inside a synchronous call (a
    // serial wait emits readyRead) it waits for the event loop.
    if (m_syncCallDepth > 0)
        link.drain();
    else
        m_delivery.readThenDeliver([&link] { link.drain(); });
}

void KelProvider::linkClosed(KelLink &link)
{
    if (m_pending && m_pending->link == &link)
        settlePending();
    m_connectedAt.erase(link.id());
    if (tap()) {
        QString why = link.endReason();
        if (link.lostBytes() > 0)
            why += QStringLiteral("; %1 bytes of a partial frame were lost").arg(link.lostBytes());
        tapEvent(MivTapEventKind::Disconnected, link.address(), why);
    }
    m_delivery.post(&link, MivMessage(MivMessageKind::Disconnected, MivVariant(link.address())));
}

void KelProvider::transportError(const QString &description)
{
    tapEvent(MivTapEventKind::Error, m_transport ? m_transport->localAddress() : QString(), description);
    m_delivery.post(nullptr, MivMessage(MivMessageKind::Error, MivVariant(description)));
}

int KelProvider::framesWanted(const KelLink &link) const
{
    // A request that waits always has room for its answer.
    const int free = KelDelivery::kInboxSize - int(m_delivery.waiting(link));
    return qMax(0, free) + (link.request().waitsForAnswer() ? 1 : 0);
}

// Only what is open now: a client or serial line whose link has gone has nothing open, and is
// neither told as opened nor, later, as closed.
void KelProvider::tapAttached()
{
    const QList<KelLink *> links = m_transport->links();
    m_tapToldOpen = m_transport->isServer()
                    || std::any_of(links.begin(), links.end(), [](const KelLink *link) { return link->isOpen(); });
    if (!m_tapToldOpen)
        return;
    tapTransport(MivTapEventKind::Opened, m_option, m_openedAt);
    for (KelLink *link : links) {
        const auto at = m_connectedAt.find(link->id());
        if (link->isOpen() && at != m_connectedAt.end())
            tapEvent(MivTapEventKind::Connected, link->address(), {}, at->second);
    }
}

void KelProvider::tapEvent(MivTapEventKind kind, const QString &peer, const QString &text, const MivTapTime &at) const
{
    if (MivTap *listener = tap())
        listener->tapEvent(MivTapEvent{kind, peer, text, at, {}, m_role});
}

void KelProvider::tapTransport(MivTapEventKind kind, const QString &text, const MivTapTime &at) const
{
    if (MivTap *listener = tap())
        listener->tapEvent(MivTapEvent{kind, m_transport->localAddress(), text, at, m_openedTo, m_role});
}
