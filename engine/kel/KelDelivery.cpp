#include "KelDelivery.h"

#include "KelLink.h"
#include "KelWriteBatch.h"

#include <QElapsedTimer>
#include <QVarLengthArray>

#include <optional>

namespace {
// A paused link reads on once its inbox is down to this.
constexpr qsizetype kReadOnBelow = KelDelivery::kInboxSize / 2;
constexpr qint64 kNsPerMs = 1000000;
constexpr qint64 kNsPerUs = 1000;
// Links looked at in one pass without a heap allocation.
constexpr qsizetype kQuietLinksOnStack = 16;
} // namespace

void KelDelivery::post(KelLink *link, MivMessage message)
{
    const quint64 id = link ? link->id() : 0;
    Inbox &inbox = m_inboxes[id];
    if (link && !inbox.link)
        inbox.link = link;
    inbox.messages.push_back(std::move(message));
    if (!inbox.hasTurn) {
        inbox.hasTurn = true;
        m_turns.push_back(id);
    }
    schedule();
}

qsizetype KelDelivery::waiting(const KelLink &link) const
{
    const auto it = m_inboxes.find(link.id());
    return it == m_inboxes.end() ? 0 : qsizetype(it->second.messages.size());
}

void KelDelivery::dropFrames()
{
    for (auto &[id, inbox] : m_inboxes) {
        std::erase_if(inbox.messages, [](const MivMessage &m) {
            return m.Kind() == MivMessageKind::Request || m.Kind() == MivMessageKind::Unsolicited;
        });
    }
}

void KelDelivery::schedule()
{
    if (m_posted || m_delivering || m_holding || m_turns.empty())
        return;
    m_posted = true;
    QMetaObject::invokeMethod(this, &KelDelivery::deliver, Qt::QueuedConnection);
}

void KelDelivery::deliver()
{
    m_posted = false;
    m_yielding = false;
    if (m_delivering)
        return;
    m_delivering = true;
    const QPointer<KelDelivery> self(this);
    // Answers wait in the batch only while their link has more messages to answer: the last
    // one takes the link's held answers with it at once, before the slot's own bookkeeping (its
    // log lines, the Traffic pane, a recording), and a link with one request waits for no other.
    std::optional<KelWriteBatch> replies;
    QElapsedTimer slice;
    slice.start();
    qint64 heldSinceNs = 0;
    qint64 lookedNs = -kLookUs * kNsPerUs;
    while (!m_turns.empty() && slice.nsecsElapsed() < kSliceMs * kNsPerMs) {
        const qint64 nowNs = slice.nsecsElapsed();
        if (nowNs - lookedNs >= kLookUs * kNsPerUs) {
            readQuietLinks();
            lookedNs = nowNs;
        }
        if (replies && nowNs - heldSinceNs > kHoldRepliesUs * kNsPerUs) {
            replies->flush();
            heldSinceNs = nowNs;
        }
        const quint64 id = m_turns.front();
        m_turns.pop_front();
        Inbox &inbox = m_inboxes.at(id);
        inbox.hasTurn = false;
        if (inbox.messages.empty()) {
            // Emptied by dropFrames()
            takeTurn(id, inbox);
            continue;
        }
        MivMessage message = std::move(inbox.messages.front());
        inbox.messages.pop_front();
        const bool more = !inbox.messages.empty();
        takeTurn(id, inbox); // may drop the inbox
        if (!replies && more) {
            replies.emplace();
            heldSinceNs = slice.nsecsElapsed();
        }
        std::optional<KelWriteBatch::Bypass> direct;
        if (replies && !more)
            direct.emplace();
        emit this->message(&message);
        if (!self)
            return; // the controller was removed from inside the slot
    }
    m_delivering = false;
    m_yielding = !m_turns.empty();
    schedule();
}

// Links that have nothing waiting (and read on) take in what has reached them: their messages
// join the turns of this pass.
void KelDelivery::readQuietLinks()
{
    QVarLengthArray<QPointer<KelLink>, kQuietLinksOnStack> quiet;
    for (const auto &[id, inbox] : m_inboxes) {
        if (!inbox.hasTurn && inbox.link && !inbox.link->isPaused())
            quiet.push_back(inbox.link);
    }
    // Not while walking the inboxes: a drain posts, which may add one.
    for (const QPointer<KelLink> &link : quiet) {
        if (link)
            link->drainWaiting();
    }
}

// After a message of the inbox went out: its next turn, or its end, and reading on.
void KelDelivery::takeTurn(quint64 id, Inbox &inbox)
{
    if (inbox.link && inbox.link->isPaused() && qsizetype(inbox.messages.size()) <= kReadOnBelow)
        inbox.link->drain(); // may add to the inbox
    if (!inbox.messages.empty()) {
        if (!inbox.hasTurn) {
            inbox.hasTurn = true;
            m_turns.push_back(id);
        }
    } else if (id != 0 && (!inbox.link || inbox.link->isFinished())) {
        m_inboxes.erase(id);
    }
}
