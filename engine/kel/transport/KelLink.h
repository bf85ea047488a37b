#pragma once

#include "KelFramer.h"
#include "KelRequest.h"
#include "MivMessage.h"

#include <QObject>

#include <memory>

class KelLink;
class KelStream;
class MivTap;

// What a link reports to the provider that owns it, and asks of it.
class KelLinkSink
{
public:
    virtual ~KelLinkSink() = default;
    virtual void linkOpened(KelLink &link) = 0;
    virtual void linkReceived(KelLink &link, const QList<KelFrameEvent> &events) = 0;
    // The event loop has input for the link: the sink has it drained, and may deliver what
    // came. The link may be destroyed inside.
    virtual void linkInputArrived(KelLink &link) = 0;
    virtual void linkClosed(KelLink &link) = 0;
    virtual void transportError(const QString &description) = 0;
    // How many more frames the link may hand over now; at 0 it stops reading.
    virtual int framesWanted(const KelLink &link) const = 0;
    // Whoever watches the frames, or nullptr.
    virtual MivTap *linkTap() const = 0;
    // A pass-through sink takes the bytes as they are read, unframed: the link hands them to
    // linkBytes(), which returns how many it took, and pauses at the rest until drain() is
    // called again. framesWanted() then says whether the sink takes bytes now.
    virtual bool takesBytes() const { return false; }
    virtual qsizetype linkBytes(KelLink &, const char *, qsizetype) { return 0; }
    // The link wrote bytes that were queued: its queue has room again.
    virtual void linkWritten(KelLink &) {}
};

// One byte stream to one peer (a TCP connection or the serial line) with its own framer and
// its synchronous request state. Owns the stream.
//
// It reads only as far as the sink has room for frames and its send queue is short of the
// cap; otherwise it leaves the input to the system, whose buffers then hold the peer back,
// and reads on when drain() is called again. Input that arrived before the peer closed still
// counts: the link reports its closing once, after its last frame.
class KelLink : public QObject
{
    Q_OBJECT
public:
    // Beyond this many unsent bytes a send is refused: a peer that does not read must not make
    // the queue grow without bound.
    static constexpr qint64 kMaxQueued = 1 << 20;
    // With this little room left in the send queue the link stops reading: the answers to
    // what it has read still fit.
    static constexpr qint64 kSendReserve = 1 << 18;

    KelLink(std::unique_ptr<KelStream> stream, QString address, const KelPacketSettings &packet,
            KelLinkSink &sink, QObject *parent);
    ~KelLink() override;

    // A number no other link of the process has had.
    quint64 id() const { return m_id; }
    const QString &address() const { return m_address; }
    // Sends are possible.
    bool isOpen() const { return !m_inputEnded; }
    // Closed, and its closing reported: no frame follows.
    bool isFinished() const { return m_finished; }
    // Why it closed ("the peer closed it"), and the bytes of a partial frame lost with it.
    const QString &endReason() const { return m_endReason; }
    qsizetype lostBytes() const { return m_lostBytes; }

    // Encodes one frame and writes it, or queues it in the thread's KelWriteBatch if there is
    // one. Throws MivError when closed, unencodable or over the cap.
    void sendText(const QString &text);
    // The same, written now whatever the batch: a synchronous request.
    void sendRequest(const QString &text);
    // The frame of a text, as sendText() writes it. Throws MivError when unencodable.
    QByteArray encode(const QString &text) const;
    // Whether a write may wait in the thread's KelWriteBatch or goes to the stream at once.
    enum class Batching { Allowed, Bypass };
    // Writes a frame's bytes (or a piece of one), under the same cap as sendText().
    void writeBytes(const QByteArray &bytes, Batching batching);
    // Writes what is queued.
    void flush();
    // Bytes queued, not yet written.
    qint64 bytesToWrite() const;
    // Frames what has arrived, as far as the sink takes frames, and hands them to it.
    // Reads a chunk at a time into m_held and frames from m_heldAt on; stops (paused) when the
    // sink wants no more frames or the send queue is near its cap, leaving the rest in m_held
    // and the system. Not re-entrant: a sink called from here that drains again returns at
    // once. Once the input has ended and m_held is used up, the link finishes (reports its
    // closing) here, so the close always comes after the last frame.
    void drain();
    // For a synchronous request, outside the event loop: drains, then, only when nothing is
    // held back, waits up to ms for one chunk and drains it. Returns early on any input; the
    // caller loops until its answer or deadline.
    void waitAndDrain(int ms);
    // Reading stopped for want of room; drain() reads on.
    bool isPaused() const { return m_paused; }
    // Drains what the system holds for the link now, before the event loop has told of it,
    // unless reading is paused.
    void drainWaiting();
    // Drops unread input and the partial frame.
    void clearInput();
    // Closes from this end, now, and reports the closing (once).
    void close();

    KelRequestState &request() { return m_request; }
    const KelRequestState &request() const { return m_request; }
    qint64 lastActivityMs() const { return m_lastActivityMs; }
    const std::shared_ptr<MivReplyChannel> &replyChannel() const { return m_channel; }
    // For addressing a server's clients: when the link connected and sent its latest frame,
    // as sequence numbers of the transport and the provider.
    quint64 connectSeq() const { return m_connectSeq; }
    void setConnectSeq(quint64 seq) { m_connectSeq = seq; }
    quint64 frameSeq() const { return m_frameSeq; }
    void setFrameSeq(quint64 seq) { m_frameSeq = seq; }

signals:
    void closed();

private:
    void write(const QString &text, Batching batching);
    void readable();
    // Frames held input as feed() does, one frame at a time so that each is shown to the tap
    // with its bytes (KelLinkTap.cpp).
    qsizetype feedTapped(MivTap &tap, int wanted);
    void tapSent(MivTap &tap, const QString &text, const QByteArray &bytes) const;
    // The stream ended (peer closed or failed): what the stream still buffers is moved into
    // m_held, the stream is closed, and drain() frames the rest; the close is reported after
    // it, by drain() or, when paused, by the drain that empties m_held. Runs once.
    void peerEnded(const QString &why);
    bool mayRead() const;
    // Hands the frames and errors framed so far to the sink.
    void handOverFrames();
    void finish();

    quint64 m_id;
    std::unique_ptr<KelStream> m_stream;
    QString m_address;
    KelFramer m_framer;
    KelLinkSink &m_sink;
    KelRequestState m_request;
    QByteArray m_held; // read, not yet framed: bytes from m_heldAt on
    qsizetype m_heldAt = 0;
    QList<KelFrameEvent> m_events;
    QByteArray m_tapWire; // bytes of the frame being received, while a tap watches
    QByteArray m_sendFrame; // the frame being sent: its room is kept for the next one
    std::shared_ptr<MivReplyChannel> m_channel;
    QString m_endReason;
    qsizetype m_lostBytes = 0;
    qint64 m_lastActivityMs = 0;
    quint64 m_connectSeq = 0;
    quint64 m_frameSeq = 0;
    bool m_inputEnded = false; // the stream is closed; held input is still to be framed
    bool m_finished = false;
    bool m_draining = false;
    bool m_paused = false;
};
