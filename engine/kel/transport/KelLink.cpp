#include "KelLink.h"

#include "KelStream.h"
#include "KelWriteBatch.h"
#include "MivError.h"

#include <QPointer>

#include <atomic>

namespace {

// What one read takes at most.
constexpr qint64 kChunk = 16384;
// A batch holds back at most this much for a link: beyond it, it writes.
constexpr qint64 kBatchedBytes = 65536;
// The room of a sent frame kept for the next: a rare long frame's goes with it.
constexpr qsizetype kKeptFrameRoom = 4096;

std::atomic<quint64> g_lastLinkId{0};

// Answers a message on the link it came from, as long as that link is still open.
class KelReplyChannel : public MivReplyChannel
{
public:
    explicit KelReplyChannel(KelLink *link) : m_link(link), m_address(link->address()) {}

    void reply(const QString &text) override
    {
        if (!m_link || !m_link->isOpen())
            throw MivError(MivCode::NotConnected,
                           QStringLiteral("Cannot reply: the connection to %1 has closed").arg(m_address));
        m_link->sendText(text);
    }

    QByteArray frame(const QString &text) const override { return m_link ? m_link->encode(text) : QByteArray(); }

    void writeRaw(const QByteArray &bytes) override
    {
        if (!m_link || !m_link->isOpen())
            throw MivError(MivCode::NotConnected,
                           QStringLiteral("Cannot write: the connection to %1 has closed").arg(m_address));
        m_link->writeBytes(bytes, KelLink::Batching::Bypass);
    }

    void close() override
    {
        if (!m_link)
            return;
        m_link->flush(); // an answer just given goes out before the close
        m_link->close();
    }

private:
    QPointer<KelLink> m_link;
    QString m_address;
};

} // namespace

KelLink::KelLink(std::unique_ptr<KelStream> stream, QString address, const KelPacketSettings &packet,
                 KelLinkSink &sink, QObject *parent)
    : QObject(parent), m_id(++g_lastLinkId), m_stream(std::move(stream)), m_address(std::move(address)),
      m_framer(packet), m_sink(sink), m_channel(std::make_shared<KelReplyChannel>(this)),
      m_lastActivityMs(KelSteadyMs())
{
    connect(m_stream.get(), &KelStream::readyRead, this, &KelLink::readable);
    connect(m_stream.get(), &KelStream::bytesWritten, this, [this] {
        if (m_paused)
            drain();
        m_sink.linkWritten(*this);
    });
    connect(m_stream.get(), &KelStream::ended, this, &KelLink::peerEnded);
}

KelLink::~KelLink()
{
    // The stream dies with this object: nothing it emits on the way must reach the sink.
    disconnect(m_stream.get(), nullptr, this, nullptr);
    // A slot that the sink delivered to from the stream's readyRead may destroy this link:
    // the stream closes now and goes once its signal is over.
    if (!m_inputEnded)
        m_stream->abort();
    KelStream::release(std::move(m_stream));
    m_finished = true;
    m_inputEnded = true;
}

void KelLink::readable()
{
    m_sink.linkInputArrived(*this);
}

void KelLink::sendText(const QString &text)
{
    write(text, Batching::Allowed);
}

void KelLink::sendRequest(const QString &text)
{
    write(text, Batching::Bypass);
}

void KelLink::write(const QString &text, Batching batching)
{
    if (!isOpen())
        throw MivError(MivCode::NotConnected, QStringLiteral("The connection to %1 has closed").arg(m_address));
    // The kept room is taken while it is in use: a write from a slot below makes its own.
    QByteArray bytes;
    bytes.swap(m_sendFrame);
    m_framer.encode(text, bytes);
    writeBytes(bytes, batching);
    if (MivTap *tap = m_sink.linkTap())
        tapSent(*tap, text, bytes);
    if (bytes.capacity() <= kKeptFrameRoom)
        m_sendFrame.swap(bytes);
}

QByteArray KelLink::encode(const QString &text) const
{
    return m_framer.encode(text);
}

void KelLink::writeBytes(const QByteArray &bytes, Batching batching)
{
    const qint64 queued = m_stream->bytesToWrite();
    if (queued + bytes.size() > kMaxQueued)
        throw MivError(MivCode::Fail, QStringLiteral("Send refused: %1 bytes are still queued for %2, "
                                                     "which is not reading")
                                          .arg(queued)
                                          .arg(m_address));
    KelWriteBatch *batch = batching == Batching::Bypass ? nullptr : KelWriteBatch::current();
    const qint64 done = batch ? 0 : m_stream->writeNow(bytes.constData(), bytes.size());
    if (done == bytes.size())
        return;
    const bool hold = batch && queued + bytes.size() <= kBatchedBytes;
    if (!m_stream->queue(bytes.constData() + done, bytes.size() - done, !hold))
        throw MivError(MivCode::Fail, QStringLiteral("Cannot send to %1: %2").arg(m_address, m_stream->errorString()));
    if (hold)
        batch->add(this);
}

void KelLink::flush()
{
    if (isOpen())
        m_stream->flush();
}

qint64 KelLink::bytesToWrite() const
{
    return isOpen() ? m_stream->bytesToWrite() : 0;
}

bool KelLink::mayRead() const
{
    // A request that waits reads on for its answer; without one the answers to what was read
    // must still fit the send queue.
    return m_request.waitsForAnswer() || m_stream->bytesToWrite() < kMaxQueued - kSendReserve;
}

void KelLink::drain()
{
    if (m_draining || m_finished)
        return;
    m_draining = true;
    m_paused = false;
    for (;;) {
        const bool holding = m_heldAt < m_held.size();
        // An empty buffer is left alone: reading it would re-arm Qt's notifier for nothing.
        if (!holding && (m_inputEnded || !m_stream->hasInput()))
            break;
        // Bytes passed through have no answers of their own to fit in the send queue.
        const bool bytes = m_sink.takesBytes();
        const int wanted = bytes || mayRead() ? m_sink.framesWanted(*this) : 0;
        if (wanted <= 0) {
            m_paused = true;
            break;
        }
        if (!holding) {
            m_held.resize(kChunk);
            m_held.resize(m_stream->read(m_held.data(), kChunk));
            m_heldAt = 0;
            if (m_held.isEmpty())
                break;
            m_lastActivityMs = KelSteadyMs();
        }
        if (bytes) {
            const qsizetype offered = m_held.size() - m_heldAt;
            const qsizetype taken = m_sink.linkBytes(*this, m_held.constData() + m_heldAt, offered);
            if (m_finished)
                break;
            m_heldAt += taken;
            if (taken < offered) {
                m_paused = true;
                break;
            }
            continue;
        }
        MivTap *tap = m_sink.linkTap();
        m_heldAt += tap ? feedTapped(*tap, wanted)
                        : m_framer.feed(m_held.constData() + m_heldAt, m_held.size() - m_heldAt, m_events, wanted);
        handOverFrames();
    }
    m_draining = false;
    if (m_inputEnded && m_heldAt == m_held.size())
        finish();
}

void KelLink::waitAndDrain(int ms)
{
    drain();
    if (m_inputEnded || m_heldAt < m_held.size())
        return;
    // The wait may run the stream's readyRead, and with it drain(): read beside m_held.
    char chunk[kChunk];
    const qint64 n = m_stream->waitAndRead(chunk, kChunk, ms);
    if (n <= 0)
        return; // an end has been taken care of by peerEnded()
    m_held.remove(0, m_heldAt);
    m_heldAt = 0;
    m_held.append(chunk, n);
    m_lastActivityMs = KelSteadyMs();
    drain();
}

void KelLink::handOverFrames()
{
    if (m_events.isEmpty())
        return;
    QList<KelFrameEvent> events;
    events.swap(m_events);
    m_sink.linkReceived(*this, events);
    // Keep the capacity for the next chunk.
    events.clear();
    if (m_events.isEmpty())
        m_events.swap(events);
}

void KelLink::clearInput()
{
    // Also what the system holds but the stream has not fetched yet; while clearing, what
    // the stream fetches is dropped, not framed.
    m_draining = true;
    char chunk[kChunk];
    if (!m_inputEnded) {
        while (m_stream->hasInput() || m_stream->waitAndRead(chunk, kChunk, 0) > 0) {
            while (m_stream->read(chunk, kChunk) > 0) {
            }
        }
    }
    m_draining = false;
    m_held.resize(0);
    m_heldAt = 0;
    m_framer.reset();
    m_tapWire.clear();
    m_request.dropAnswer();
    m_paused = false;
    if (m_inputEnded)
        finish();
}

void KelLink::peerEnded(const QString &why)
{
    if (m_inputEnded)
        return;
    // What the stream holds came before the end: keep it to be framed as room allows.
    m_held.remove(0, m_heldAt);
    m_heldAt = 0;
    char chunk[kChunk];
    for (qint64 n; (n = m_stream->read(chunk, kChunk)) > 0;)
        m_held.append(chunk, n);
    m_inputEnded = true;
    m_endReason = why;
    m_stream->abort();
    drain();
}

void KelLink::close()
{
    if (m_finished)
        return;
    if (!m_inputEnded) {
        drain(); // complete frames that arrived before the end still count
        m_inputEnded = true;
        m_endReason = QStringLiteral("it was closed at this end");
        m_stream->abort();
    }
    m_held.resize(0);
    m_heldAt = 0;
    finish();
}

void KelLink::finish()
{
    if (m_finished)
        return;
    m_finished = true;
    m_lostBytes = m_framer.buffered();
    m_framer.reset();
    m_tapWire.clear();
    m_sink.linkClosed(*this);
    emit closed();
}

void KelLink::drainWaiting()
{
    if (!m_paused && !m_draining && !m_inputEnded && m_stream->pollInput())
        drain();
}
