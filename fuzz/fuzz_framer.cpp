// Input layout:
//   byte 0  bits 0-2 convert, bit 3 header, bits 4-5 terminator (mod 3), bits 6-7 the body
//           limit: the real one (KelFramer::kMaxBody), or 1, 7 or 64 bytes to reach its
//           branches with short streams
//   byte 1  the escape
//   byte 2  bits 0-3: n, the count of chunk-size bytes that follow: chunks of 1..256 bytes used
//           in turn; with none the stream goes byte by byte. Bits 4-5: the events a bounded
//           feed may give per call, 1..4
//   byte 3  bit 7: the stream starts with a frame body of the limit's length plus (bits 0-2) - 3
//           bytes, one run of an ordinary character fed in one go, so that a limit is met on
//           both of its sides at little cost. At the real limit such a run costs a thousand
//           short inputs: it takes bit 6 as well
//   then the stream.
#include "FuzzCheck.h"

#include "KelFramer.h"
#include "KelOptions.h"
#include "MivError.h"

#include <QSet>

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace {

constexpr size_t kHeaderBytes = 4;
constexpr qsizetype kLimits[] = {KelFramer::kMaxBody, 1, 7, 64};

// Settings as the option parser accepts them; an escape it refuses falls back to none. Parsed
// once per packet and escape byte.
const KelPacketSettings &Settings(uint8_t packet, uint8_t escape)
{
    static std::array<std::optional<KelPacketSettings>, 64 * 256> cache;
    std::optional<KelPacketSettings> &cached = cache[size_t(packet & 63) << 8 | escape];
    if (cached)
        return *cached;
    int convert = packet & 7;
    if ((convert & KelPacketSettings::Iso) && (convert & KelPacketSettings::Eia))
        convert &= ~KelPacketSettings::Iso;
    const int header = (packet >> 3) & 1;
    const int terminator = ((packet >> 4) & 3) % 3;
    const auto parse = [&](int e) {
        return ParseKelOptions(QStringLiteral("Conn=eth:127.0.0.1:5006,PacketOpt=%1:%2:%3:%4")
                                   .arg(convert)
                                   .arg(header)
                                   .arg(terminator)
                                   .arg(e))
            .packet;
    };
    try {
        cached = parse(escape);
    } catch (const MivError &) {
        cached = parse(0);
    }
    return *cached;
}

QString Describe(const QList<KelFrameEvent> &events)
{
    QString text;
    for (const KelFrameEvent &e : events)
        text += (e.kind == KelFrameEvent::Frame ? QStringLiteral("frame ") : QStringLiteral("error "))
                + QString::number(e.text.size()) + u' ' + e.text.left(80).toUtf8().toPercentEncoding() + u'\n';
    return text;
}

bool SameEvents(const QList<KelFrameEvent> &a, const QList<KelFrameEvent> &b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (a[i].kind != b[i].kind || a[i].text != b[i].text)
            return false;
    }
    return true;
}

// A text the framer sends reads back as itself; one it refuses (a character the code lacks,
// a body over the limit) is fine.
void CheckRoundTrip(KelFramer &framer, const QString &text, QList<KelFrameEvent> &events)
{
    QByteArray bytes;
    try {
        bytes = framer.encode(text);
    } catch (const MivError &) {
        return;
    }
    events.clear();
    framer.reset();
    framer.feed(bytes, events);
    FUZZ_CHECK(events.size() == 1 && events[0].kind == KelFrameEvent::Frame && events[0].text == text,
              "an encoded frame reads back as itself",
              QStringLiteral("sent %1\nbytes %2\ngot\n%3")
                  .arg(QString::fromLatin1(text.toUtf8().toPercentEncoding()),
                       QString::fromLatin1(bytes.toHex(' ')), Describe(events)));
    FUZZ_CHECK(framer.buffered() == 0, "nothing is left over after a whole frame");
}

// One long body: the header when there is one, then n bytes of an ordinary character, which
// the framer takes as one run (A, or B when A is the escape).
QByteArray LongBody(const KelPacketSettings &settings, qsizetype maxBody, qsizetype n)
{
    const KelFramer framer(settings, maxBody);
    const qsizetype header = settings.header ? 1 : 0;
    QByteArray one = framer.encode(QStringLiteral("A"));
    if (one.at(header + 1) == one.at(header)) // escaped
        one = framer.encode(QStringLiteral("B"));
    return one.first(header) + QByteArray(n, one.at(header));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < kHeaderBytes)
        return 0;
    const KelPacketSettings &settings = Settings(data[0], data[1]);
    const qsizetype limit = kLimits[data[0] >> 6];
    const size_t chunkCount = data[2] % 16;
    const qsizetype eventsPerCall = ((data[2] >> 4) & 3) + 1;
    if (size < kHeaderBytes + chunkCount)
        return 0;
    const uint8_t *const chunkSizes = data + kHeaderBytes;
    QByteArray stream;
    const uint8_t runBits = limit == KelFramer::kMaxBody ? 0xC0 : 0x80;
    if ((data[3] & runBits) == runBits)
        stream = LongBody(settings, limit, qMax<qsizetype>(0, limit + (data[3] & 7) - 3));
    const qsizetype runEnd = stream.size();
    stream.append(reinterpret_cast<const char *>(data + kHeaderBytes + chunkCount),
                  qsizetype(size - kHeaderBytes - chunkCount));

    KelFramer chunked(settings, limit);
    QList<KelFrameEvent> chunkedEvents;
    size_t next = 0;
    for (qsizetype pos = 0; pos < stream.size();) {
        const qsizetype n = pos < runEnd ? runEnd : (chunkCount ? qsizetype(chunkSizes[next++ % chunkCount]) + 1 : 1);
        const qsizetype take = qMin(n, stream.size() - pos);
        chunked.feed(stream.constData() + pos, take, chunkedEvents);
        FUZZ_CHECK(chunked.buffered() <= limit, "the partial frame stays within the limit",
                  QString::number(chunked.buffered()));
        pos += take;
    }

    KelFramer whole(settings, limit);
    QList<KelFrameEvent> wholeEvents;
    whole.feed(stream, wholeEvents);
    FUZZ_CHECK(whole.buffered() <= limit, "the partial frame stays within the limit", QString::number(whole.buffered()));
    FUZZ_CHECK(whole.buffered() == chunked.buffered(), "chunked and whole feeds hold the same partial frame");
    FUZZ_CHECK(SameEvents(chunkedEvents, wholeEvents), "chunked and whole feeds give the same events",
              QStringLiteral("chunked\n%1whole\n%2").arg(Describe(chunkedEvents), Describe(wholeEvents)));

    // As a link reads: a few events per call, taking up where the last call stopped.
    KelFramer bounded(settings, limit);
    QList<KelFrameEvent> boundedEvents;
    for (qsizetype pos = 0; pos < stream.size();) {
        const qsizetype before = boundedEvents.size();
        const qsizetype took = bounded.feed(stream.constData() + pos, stream.size() - pos, boundedEvents, eventsPerCall);
        FUZZ_CHECK(took > 0 && boundedEvents.size() - before <= eventsPerCall,
                  "a bounded feed takes bytes and gives no more events than asked");
        FUZZ_CHECK(pos + took == stream.size() || boundedEvents.size() - before == eventsPerCall,
                  "a bounded feed stops early only at its count of events");
        pos += took;
    }
    FUZZ_CHECK(SameEvents(boundedEvents, wholeEvents), "bounded and whole feeds give the same events",
              QStringLiteral("bounded\n%1whole\n%2").arg(Describe(boundedEvents), Describe(wholeEvents)));

    // Every frame reads back as itself, and so does twice its text, or is refused as overlong.
    KelFramer roundTrip(settings, limit);
    QList<KelFrameEvent> events;
    QSet<QString> checked;
    for (const KelFrameEvent &e : std::as_const(wholeEvents)) {
        if (e.kind == KelFrameEvent::Frame && !checked.contains(e.text)) {
            checked.insert(e.text);
            CheckRoundTrip(roundTrip, e.text, events);
            CheckRoundTrip(roundTrip, e.text + e.text, events);
        }
    }
    return 0;
}
