// The KEL framing codec per packet option set, against a plain loop doing the same
// transformation of the same bytes: encoding (header, character code, escaping, parity,
// terminator) into one exactly sized buffer, and a byte-by-byte feed back to frame texts.
// Usage: bench_framer [megabytes of input a round, default 4]

#include "EiaCode.h"
#include "KelFramer.h"
#include "Paired.h"

#include <QList>
#include <QString>

#include <array>
#include <bit>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

constexpr uchar kEnq = 0x05;
constexpr uchar kCr = '\r';
constexpr uchar kLf = '\n';
constexpr qsizetype kChunk = 4096; // a typical socket read
constexpr int kDefaultMegabytes = 4; // a round: short, so that ours and the plain loop share the load

double Seconds(Clock::time_point since)
{
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// The framing written out as the obvious loops, with no checks beyond what the bytes need.
class PlainCodec
{
public:
    explicit PlainCodec(const KelPacketSettings &p)
        : m_iso(p.convert & KelPacketSettings::Iso), m_eia(p.convert & KelPacketSettings::Eia),
          m_utf8((p.convert & KelPacketSettings::Unicode) && !m_eia), m_header(p.header), m_terminator(p.terminator),
          m_escape(uchar(p.escape))
    {
        if (m_eia)
            m_special[EiaCode::kEndOfBlock] = true;
        else
            m_special[m_terminator == KelPacketSettings::Lf ? kLf : kCr] = true;
        if (m_terminator == KelPacketSettings::CrLf)
            m_special[kLf] = true;
        m_special[kEnq] = m_header;
        if (m_escape)
            m_special[m_escape] = true;
        for (int b = 0; b < 256; ++b)
            m_parity[b] = uchar((b & 0x7F) | (std::popcount(unsigned(b & 0x7F)) % 2 ? 0x80 : 0));
    }

    QByteArray encode(const QString &body) const
    {
        QByteArray out(1 + 2 * (m_utf8 ? 3 : 1) * body.size() + 2, Qt::Uninitialized);
        char *w = out.data();
        if (m_header)
            *w++ = char(kEnq);
        for (qsizetype i = 0; i < body.size(); ++i) {
            const char16_t c = body[i].unicode();
            if (m_utf8 && c >= 0x80) {
                if (c < 0x800) {
                    *w++ = char(0xC0 | c >> 6);
                } else {
                    *w++ = char(0xE0 | c >> 12);
                    *w++ = char(0x80 | (c >> 6 & 0x3F));
                }
                *w++ = char(0x80 | (c & 0x3F));
                continue;
            }
            const uchar b = m_eia ? EiaCode::FromChar(c) : uchar(c);
            if (m_escape && m_special[b])
                *w++ = char(m_escape);
            *w++ = char(b);
        }
        if (m_eia) {
            *w++ = char(EiaCode::kEndOfBlock);
        } else {
            if (m_terminator != KelPacketSettings::Lf)
                *w++ = char(kCr);
            if (m_terminator != KelPacketSettings::Cr)
                *w++ = char(kLf);
        }
        if (m_iso) {
            for (char *p = out.data(); p != w; ++p)
                *p = char(m_parity[uchar(*p)]);
        }
        out.truncate(w - out.constData());
        return out;
    }

    void feed(const char *data, qsizetype size, QList<QString> &out)
    {
        for (qsizetype i = 0; i < size; ++i) {
            uchar b = uchar(data[i]);
            if (m_iso) {
                if (m_parity[b] != b)
                    continue; // a parity error drops the byte here; none occur in the run
                b &= 0x7F;
            }
            if (m_header && !m_inFrame) {
                m_inFrame = b == kEnq;
                continue;
            }
            if (m_escaped) {
                m_escaped = false;
                m_body.append(char(b));
                continue;
            }
            if (m_escape && b == m_escape) {
                m_escaped = true;
                continue;
            }
            const bool ends = m_eia ? b == EiaCode::kEndOfBlock : b == (m_terminator == KelPacketSettings::Cr ? kCr : kLf);
            if (ends) {
                if (m_terminator == KelPacketSettings::CrLf && m_body.endsWith(char(kCr)))
                    m_body.chop(1);
                out.append(m_utf8 ? QString::fromUtf8(m_body) : QString::fromLatin1(m_body));
                m_body.resize(0);
                m_inFrame = false;
                continue;
            }
            m_body.append(m_eia ? char(EiaCode::ToChar(b)) : char(b));
        }
    }

private:
    bool m_iso, m_eia, m_utf8, m_header;
    int m_terminator;
    uchar m_escape;
    std::array<bool, 256> m_special{};
    std::array<uchar, 256> m_parity{};
    QByteArray m_body;
    bool m_inFrame = false;
    bool m_escaped = false;
};

template <typename Encoder>
double EncodeRate(const Encoder &encoder, const QString &body, qsizetype count)
{
    qsizetype bytes = 0;
    const auto start = Clock::now();
    for (qsizetype i = 0; i < count; ++i)
        bytes += encoder.encode(body).size();
    const double seconds = Seconds(start);
    return bytes > 0 ? double(count) / seconds : -1;
}

// A fresh receiver takes the stream in socket-sized chunks and hands over each chunk's frames.
// MB/s, or -1 when it did not find every frame.
template <typename Receiver, typename Frames>
double FeedRate(const KelPacketSettings &packet, const QByteArray &stream, qsizetype expected)
{
    Receiver receiver(packet);
    Frames frames;
    qsizetype seen = 0;
    const auto start = Clock::now();
    for (qsizetype at = 0; at < stream.size(); at += kChunk) {
        receiver.feed(stream.constData() + at, qMin(kChunk, stream.size() - at), frames);
        seen += frames.size();
        frames.clear();
    }
    const double seconds = Seconds(start);
    if (seen != expected) {
        std::fprintf(stderr, "frame count mismatch: %lld of %lld\n", qlonglong(seen), qlonglong(expected));
        return -1;
    }
    return double(stream.size()) / seconds / 1e6;
}

} // namespace

int main(int argc, char **argv)
{
    const qsizetype megabytes = argc > 1 ? std::atoi(argv[1]) : kDefaultMegabytes;
    const struct
    {
        const char *name;
        KelPacketSettings packet;
        QString body;
    } cases[] = {
        {"UTF-8, CR (default)", {KelPacketSettings::Unicode, false, KelPacketSettings::Cr, 0},
         QStringLiteral("PUT:A:1:X:3,100")},
        {"UTF-8, ENQ, CR LF, escape", {KelPacketSettings::Unicode, true, KelPacketSettings::CrLf, 16},
         QStringLiteral("PUT:A:1:X:8,a\x10z")},
        {"ISO, CR", {KelPacketSettings::Iso, false, KelPacketSettings::Cr, 0}, QStringLiteral("PUT:A:1:X:3,100")},
        {"EIA, CR", {KelPacketSettings::Eia, false, KelPacketSettings::Cr, 0}, QStringLiteral("G01 X10.5 Y-3")},
        {"UTF-8, CR, 4 KiB body", {KelPacketSettings::Unicode, false, KelPacketSettings::Cr, 0},
         QString(4096, u'v')},
    };

    for (const auto &c : cases) {
        const KelFramer framer(c.packet);
        PlainCodec plain(c.packet);
        const QByteArray frame = framer.encode(c.body);
        if (plain.encode(c.body) != frame) {
            std::fprintf(stderr, "%s: the plain encoder gives other bytes\n", c.name);
            return 1;
        }
        const qsizetype count = megabytes * 1000000 / frame.size();
        QByteArray stream;
        stream.reserve(count * frame.size());
        for (qsizetype i = 0; i < count; ++i)
            stream.append(frame);

        std::printf("%s: %lld frames of %lld bytes a round, read in %lld-byte chunks\n", c.name, qlonglong(count),
                    qlonglong(frame.size()), qlonglong(kChunk));
        const bool ok =
            PairedRun(PairedRow(std::string("framer encode, ") + c.name, "frames/s", Better::Higher),
                      [&] { return EncodeRate(framer, c.body, count); },
                      [&] { return EncodeRate(plain, c.body, count); })
            && PairedRun(PairedRow(std::string("framer feed, ") + c.name, "MB/s", Better::Higher),
                         [&] { return FeedRate<KelFramer, QList<KelFrameEvent>>(c.packet, stream, count); },
                         [&] { return FeedRate<PlainCodec, QList<QString>>(c.packet, stream, count); });
        if (!ok)
            return 1;
    }
    return 0;
}
