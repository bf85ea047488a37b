// Throughput of the KEL framing codec against a bare memchr line split of the same bytes.
// Usage: bench_framer [megabytes of input, default 32]

#include "BenchRow.h"
#include "KelFramer.h"

#include <QList>
#include <QString>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since)
{
    return std::chrono::duration<double>(Clock::now() - since).count();
}

struct Result
{
    qsizetype frames = 0;
    qsizetype bytes = 0;
    double seconds = 0;
    double framesPerSecond() const { return frames / seconds; }
    double megabytesPerSecond() const { return bytes / seconds / 1e6; }
};

void Print(const char *what, const Result &r, const Result &baseline)
{
    std::printf("  %-16s %12.0f frames/s %9.1f MB/s   %5.2fx baseline time\n", what, r.framesPerSecond(),
                r.megabytesPerSecond(), r.seconds / baseline.seconds);
}

// What any receiver must at least do: find each line end and make the text.
Result BaselineSplit(const QByteArray &stream, qsizetype chunk)
{
    Result r;
    QList<QString> lines;
    const auto start = Clock::now();
    QByteArray partial;
    for (qsizetype at = 0; at < stream.size(); at += chunk) {
        const char *p = stream.constData() + at;
        const char *end = p + qMin(chunk, stream.size() - at);
        while (p < end) {
            const char *cr = static_cast<const char *>(std::memchr(p, '\r', size_t(end - p)));
            if (!cr) {
                partial.append(p, end - p);
                break;
            }
            partial.append(p, cr - p);
            lines.append(QString::fromUtf8(partial));
            partial.resize(0);
            p = cr + 1;
        }
        r.frames += lines.size();
        lines.clear();
    }
    r.seconds = Seconds(start);
    r.bytes = stream.size();
    return r;
}

Result BaselineEncode(const QString &body, qsizetype count)
{
    Result r;
    const auto start = Clock::now();
    for (qsizetype i = 0; i < count; ++i) {
        QByteArray bytes = body.toUtf8();
        bytes.append('\r');
        r.bytes += bytes.size();
    }
    r.seconds = Seconds(start);
    r.frames = count;
    return r;
}

Result Encode(const KelFramer &framer, const QString &body, qsizetype count)
{
    Result r;
    const auto start = Clock::now();
    for (qsizetype i = 0; i < count; ++i)
        r.bytes += framer.encode(body).size();
    r.seconds = Seconds(start);
    r.frames = count;
    return r;
}

Result Feed(KelFramer &framer, const QByteArray &stream, qsizetype chunk)
{
    Result r;
    QList<KelFrameEvent> events;
    const auto start = Clock::now();
    for (qsizetype at = 0; at < stream.size(); at += chunk) {
        framer.feed(stream.constData() + at, qMin(chunk, stream.size() - at), events);
        r.frames += events.size();
        events.clear();
    }
    r.seconds = Seconds(start);
    r.bytes = stream.size();
    return r;
}

} // namespace

int main(int argc, char **argv)
{
    const qsizetype megabytes = argc > 1 ? std::atoi(argv[1]) : 32;
    const qsizetype chunk = 4096; // a typical socket read
    const struct
    {
        const char *name;
        KelPacketSettings packet;
        QString body;
    } cases[] = {
        {"UTF-8, CR (default)", {KelPacketSettings::Unicode, false, KelPacketSettings::Cr, 0},
         QStringLiteral("PUT:A:1:X:3,100")},
        {"UTF-8, ENQ, CR LF, escape", {KelPacketSettings::Unicode, true, KelPacketSettings::CrLf, 16},
         QStringLiteral("PUT:A:1:X:3,100")},
        {"ISO, CR", {KelPacketSettings::Iso, false, KelPacketSettings::Cr, 0}, QStringLiteral("PUT:A:1:X:3,100")},
        {"EIA, CR", {KelPacketSettings::Eia, false, KelPacketSettings::Cr, 0}, QStringLiteral("G01 X10.5 Y-3")},
        {"UTF-8, CR, 4 KiB body", {KelPacketSettings::Unicode, false, KelPacketSettings::Cr, 0},
         QString(4096, u'v')},
    };

    for (const auto &c : cases) {
        KelFramer framer(c.packet);
        const QByteArray frame = framer.encode(c.body);
        const qsizetype count = megabytes * 1000000 / frame.size();
        QByteArray stream;
        stream.reserve(count * frame.size());
        for (qsizetype i = 0; i < count; ++i)
            stream.append(frame);
        // The baseline splits the same body bytes at CR, one frame per line.
        QByteArray lines;
        const QByteArray line = c.body.toUtf8() + '\r';
        lines.reserve(count * line.size());
        for (qsizetype i = 0; i < count; ++i)
            lines.append(line);

        std::printf("%s: %lld frames of %lld bytes, read in %lld-byte chunks\n", c.name, qlonglong(count),
                    qlonglong(frame.size()), qlonglong(chunk));
        const Result baseEncode = BaselineEncode(c.body, count);
        const Result encode = Encode(framer, c.body, count);
        const Result baseFeed = BaselineSplit(lines, chunk);
        KelFramer receiver(c.packet);
        const Result feed = Feed(receiver, stream, chunk);
        if (feed.frames != count || baseFeed.frames != count) {
            std::fprintf(stderr, "frame count mismatch: %lld / %lld of %lld\n", qlonglong(feed.frames),
                         qlonglong(baseFeed.frames), qlonglong(count));
            return 1;
        }
        Print("baseline encode", baseEncode, baseEncode);
        Print("encode", encode, baseEncode);
        Print("baseline split", baseFeed, baseFeed);
        Print("feed", feed, baseFeed);
        const QByteArray encodeRow = QByteArray("framer encode, ") + c.name;
        const QByteArray feedRow = QByteArray("framer feed, ") + c.name;
        PrintRow(encodeRow.constData(), encode.framesPerSecond(), baseEncode.framesPerSecond(), "frames/s",
                 encode.seconds / baseEncode.seconds);
        PrintRow(feedRow.constData(), feed.framesPerSecond(), baseFeed.framesPerSecond(), "frames/s",
                 feed.seconds / baseFeed.seconds);
        PrintRow(feedRow.constData(), feed.megabytesPerSecond(), baseFeed.megabytesPerSecond(), "MB/s",
                 baseFeed.megabytesPerSecond() / feed.megabytesPerSecond());
    }
    return 0;
}
