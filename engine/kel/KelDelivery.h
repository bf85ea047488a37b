#pragma once

#include "MivMessage.h"

#include <QObject>
#include <QPointer>

#include <deque>
#include <unordered_map>

class KelLink;

// The messages of one provider that wait for delivery, and their delivery from the event loop.
//
// Each link has an inbox of its own (the transport another, for what concerns no link). The
// inboxes take turns, one message each, so a link that floods holds up no other; within an
// inbox messages keep their order. A link reads only while its inbox has room, and reads on
// as the inbox empties.
//
// Messages are delivered one at a time: a slot that opens a nested event loop holds back later
// messages until it returns, so they never re-enter out of order. A burst is handed out in
// slices so that a window keeps repainting and taking input: once a pass has used its slice,
// the rest waits for a queued pass, and input that the event loop hands over before then (the
// other links' notices of the same turn) is read but not delivered, so that one turn of the
// event loop delivers for one slice, not one slice per readable link.
class KelDelivery : public QObject
{
    Q_OBJECT
public:
    // Messages an inbox takes before its link stops reading.
    static constexpr int kInboxSize = 64;
    // A pass ends after this, so that the event loop reads what other links sent meanwhile.
    static constexpr qint64 kSliceMs = 2;
    // Answers held in a pass's batch go out once the oldest has waited this long: a link's
    // answer does not wait for the whole pass of a flood on another.
    static constexpr qint64 kHoldRepliesUs = 500;
    // A pass reads the input of links with nothing waiting as it starts and then this often:
    // the event loop would tell of it only after the pass (a queued pass runs before the input
    // notices of its turn, so after two). A link's lone request waits for one message of a
    // flood on another, not for its passes.
    static constexpr qint64 kLookUs = 200;

    // Queues a message of the link (nullptr: of the transport) and has it delivered.
    void post(KelLink *link, MivMessage message);
    // Messages of the link that wait.
    qsizetype waiting(const KelLink &link) const;
    // Drops the requests and frames that wait (Execute "Clear").
    void dropFrames();
    // For input the event loop hands over: runs read (a link's drain, which posts what it
    // frames) and delivers right after it instead of from a queued call, which saves a pass of
    // the event loop per burst. While read runs, post() schedules nothing (m_holding), so the
    // messages go out in one deliver() pass. Once a link has a second message waiting, that pass
    // holds a KelWriteBatch: every sendText() the slots make (a Reply) is queued on its link and
    // written once as the pass ends, one system call per link instead of one per answer. The
    // answer to a link's last waiting message goes out at once, with those held before it. A
    // synchronous request bypasses the batch.
    // Deletes this object when a slot removes the controller: touch nothing after the call.
    template <typename Read>
    void readThenDeliver(Read read)
    {
        ++m_holding;
        read();
        --m_holding;
        if (!m_delivering && !m_yielding && !m_turns.empty())
            deliver();
    }

signals:
    void message(MivMessage *message);

private:
    struct Inbox
    {
        QPointer<KelLink> link;
        std::deque<MivMessage> messages;
        bool hasTurn = false; // in m_turns
    };

    void schedule();
    void deliver();
    void readQuietLinks();
    void takeTurn(quint64 id, Inbox &inbox);

    std::unordered_map<quint64, Inbox> m_inboxes; // by link id; 0 is the transport's
    std::deque<quint64> m_turns;                   // inboxes with messages, in serving order
    int m_holding = 0; // inside readThenDeliver: delivery follows, nothing is queued
    bool m_posted = false;
    bool m_delivering = false;
    bool m_yielding = false; // a pass used its slice: the rest goes in the queued pass
};
