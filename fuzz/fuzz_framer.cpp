// Input layout:
//   byte 0  bits 0-2 convert, bit 3 header, bits 4-5 terminator (mod 3), bits 6-7 see below
//   byte 1  the escape
//   byte 2  bits 0-3: n, the count of chunk-size bytes that follow: chunks of 1..256 bytes used
//           in turn; with none the stream goes byte by byte. Bits 4-7 see below
//   then the stream. Long mode, with every one of the bits 6-7 of byte 0 and 4-7 of byte 2 set:
//   the stream's inner bytes repeat to some 70,000 bytes between its first and last byte, to
//   reach overlong bodies, and chunks count in units of 61 bytes. A long stream costs a hundred
//   short ones, hence the rare trigger.
#include "FuzzCheck.h"

#include "KelFramer.h"
#include "KelOptions.h"
#include "MivError.h"

#include <QSet>

#include <cstddef>
#include <cstdint>

namespace {

// Settings as the option parser accepts them; an escape it refuses falls back to none.
KelPacketSettings Settings(uint8_t packet, uint8_t escape)
{
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
        return parse(escape);
    } catch (const MivError &) {
        return parse(0);
    }
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

void CheckRoundTrip(const KelPacketSettings &settings, const QString &text)
{
    KelFramer framer(settings);
    QByteArray bytes;
    try {
        bytes = framer.encode(text);
    } catch (const MivError &) {
        return; // a text these settings cannot carry
    }
    QList<KelFrameEvent> events;
    framer.feed(bytes, events);
    FUZZ_CHECK(events.size() == 1 && events[0].kind == KelFrameEvent::Frame && events[0].text == text,
              "an encoded frame reads back as itself",
              QStringLiteral("sent %1\nbytes %2\ngot\n%3")
                  .arg(QString::fromLatin1(text.toUtf8().toPercentEncoding()),
                       QString::fromLatin1(bytes.toHex(' ')), Describe(events)));
    FUZZ_CHECK(framer.buffered() == 0, "nothing is left over after a whole frame");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 3)
        return 0;
    const KelPacketSettings settings = Settings(data[0], data[1]);
    const size_t chunkCount = data[2] % 16;
    if (size < 3 + chunkCount)
        return 0;
    const uint8_t *const chunkSizes = data + 3;
    const QByteArray once(reinterpret_cast<const char *>(data + 3 + chunkCount), qsizetype(size - 3 - chunkCount));
    QByteArray stream = once;
    qsizetype chunkUnit = 1;
    if ((data[0] & 0xC0) == 0xC0 && (data[2] & 0xF0) == 0xF0 && once.size() >= 3) {
        chunkUnit = 61;
        constexpr qsizetype kLongStream = 70000; // past kMaxBody
        const QByteArray inner = once.sliced(1, once.size() - 2);
        stream = once.first(1) + inner.repeated((kLongStream + inner.size() - 1) / inner.size()) + once.last(1);
    }

    KelFramer chunked(settings);
    QList<KelFrameEvent> chunkedEvents;
    size_t next = 0;
    for (qsizetype pos = 0; pos < stream.size();) {
        const qsizetype n = chunkUnit * (chunkCount ? qsizetype(chunkSizes[next++ % chunkCount]) + 1 : 1);
        const qsizetype take = qMin(n, stream.size() - pos);
        chunked.feed(stream.constData() + pos, take, chunkedEvents);
        FUZZ_CHECK(chunked.buffered() <= KelFramer::kMaxBody, "the partial frame stays within kMaxBody",
                  QString::number(chunked.buffered()));
        pos += take;
    }

    KelFramer whole(settings);
    QList<KelFrameEvent> wholeEvents;
    whole.feed(stream, wholeEvents);
    FUZZ_CHECK(whole.buffered() <= KelFramer::kMaxBody, "the partial frame stays within kMaxBody",
              QString::number(whole.buffered()));
    FUZZ_CHECK(whole.buffered() == chunked.buffered(), "chunked and whole feeds hold the same partial frame");
    FUZZ_CHECK(SameEvents(chunkedEvents, wholeEvents), "chunked and whole feeds give the same events",
              QStringLiteral("chunked\n%1whole\n%2").arg(Describe(chunkedEvents), Describe(wholeEvents)));

    QSet<QString> checked; // a repeated stream repeats its frames
    for (const KelFrameEvent &e : std::as_const(wholeEvents)) {
        if (e.kind == KelFrameEvent::Frame && !checked.contains(e.text)) {
            checked.insert(e.text);
            CheckRoundTrip(settings, e.text);
        }
    }
    return 0;
}
