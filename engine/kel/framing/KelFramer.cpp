#include "KelFramer.h"

#include "EiaCode.h"
#include "MivError.h"

#include <QStringEncoder>

#include <cstring>
#include <utility>

namespace {

constexpr uchar kEnq = 0x05;
constexpr uchar kCr = '\r';
constexpr uchar kLf = '\n';
// A UTF-16 code unit gives at most three UTF-8 bytes (a surrogate pair four for two).
constexpr qsizetype kMaxUtf8PerChar = 3;
constexpr qsizetype kMaxTerminator = 2;
// From this length on, UTF-8 text is converted by Qt's vectorised encoder and escaped in a
// second pass; shorter texts take the single pass.
constexpr qsizetype kLongText = 64;

constexpr bool OddBitCount(uchar b)
{
    int bits = 0;
    for (; b; b >>= 1)
        bits += b & 1;
    return bits % 2 == 1;
}

// A 7-bit byte with even parity in bit 7.
constexpr std::array<uchar, 128> kWithEvenParity = [] {
    std::array<uchar, 128> t{};
    for (int b = 0; b < 128; ++b)
        t[b] = OddBitCount(uchar(b)) ? uchar(b | 0x80) : uchar(b);
    return t;
}();

// Puts body bytes into a frame in one pass: the escape byte before each special byte, and even
// parity on every byte in ISO. Without an escape byte it only notes whether a special byte went
// in, for the check that follows.
template <bool Parity, bool Escaped>
class BodyWriter
{
public:
    BodyWriter(char *to, const std::array<bool, 256> &special, uchar escape)
        : m_to(to), m_special(special), m_escape(escape)
    {
    }

    static char Out(uchar b) { return Parity ? char(kWithEvenParity[b & 0x7F]) : char(b); }

    void put(uchar b)
    {
        if constexpr (Escaped) {
            if (m_special[b]) {
                *m_to++ = Out(m_escape);
                ++m_escapes;
            }
        } else {
            m_sawSpecial |= m_special[b];
        }
        *m_to++ = Out(b);
    }

    char *end() const { return m_to; }
    qsizetype escapes() const { return m_escapes; }
    bool sawSpecial() const { return m_sawSpecial; }

private:
    char *m_to;
    const std::array<bool, 256> &m_special;
    uchar m_escape;
    qsizetype m_escapes = 0;
    bool m_sawSpecial = false;
};

QString CharName(QStringView text, qsizetype i)
{
    char32_t cp = text[i].unicode();
    qsizetype len = 1;
    if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
        cp = QChar::surrogateToUcs4(text[i], text[i + 1]);
        len = 2;
    }
    return QStringLiteral("'%1' (U+%2)")
        .arg(text.sliced(i, len), QString::number(uint(cp), 16).rightJustified(4, u'0').toUpper());
}

[[noreturn]] void CannotSend(const QString &why)
{
    throw MivError(MivCode::InvalidArg, QStringLiteral("Cannot send: ") + why);
}

// Out of line and cold, so that the encoding loops keep a small frame.
[[noreturn]] Q_NEVER_INLINE Q_DECL_COLD_FUNCTION void RefuseChar(const KelPacketSettings &settings,
                                                                 QStringView body, qsizetype i)
{
    if (settings.convert & KelPacketSettings::Eia)
        CannotSend(QStringLiteral("the EIA code has no character %1").arg(CharName(body, i)));
    if (settings.convert & KelPacketSettings::Iso)
        CannotSend(QStringLiteral("ISO takes 7-bit text only, not %1").arg(CharName(body, i)));
    CannotSend(QStringLiteral("Latin-1 has no character %1").arg(CharName(body, i)));
}

QString ByteName(uchar b)
{
    return QStringLiteral("0x") + QString::number(b, 16).rightJustified(2, u'0').toUpper();
}

[[noreturn]] Q_NEVER_INLINE Q_DECL_COLD_FUNCTION void RefuseLength(qsizetype bytes, qsizetype maxBody)
{
    CannotSend(QStringLiteral("the text is %1 bytes, more than %2").arg(bytes).arg(maxBody));
}

[[noreturn]] Q_NEVER_INLINE Q_DECL_COLD_FUNCTION void RefuseFrameByte(uchar b)
{
    CannotSend(QStringLiteral("the text holds the byte %1, which ends or starts a frame, and no escape byte is set")
                   .arg(ByteName(b)));
}

// Qt's vectorised UTF-8 encoder, for long texts; nullptr when the text holds a lone surrogate,
// which the encoder flags: the single pass writes that as QString::toUtf8 does. Out of line, so
// that the encoder's state stays off the short texts' way.
Q_NEVER_INLINE char *EncodeUtf8(QStringView text, char *to)
{
    QStringEncoder encoder(QStringEncoder::Utf8, QStringConverter::Flag::Stateless);
    char *const end = encoder.appendToBuffer(to, text);
    return encoder.hasError() ? nullptr : end;
}

} // namespace

KelFramer::KelFramer(const KelPacketSettings &settings, qsizetype maxBody)
    : m_settings(settings),
      m_maxBody(maxBody),
      m_iso(settings.convert & KelPacketSettings::Iso),
      m_eia(settings.convert & KelPacketSettings::Eia),
      m_utf8((settings.convert & KelPacketSettings::Unicode) && !m_eia),
      m_escape(uchar(settings.escape))
{
    if (m_eia) {
        m_special[EiaCode::kEndOfBlock] = true;
    } else {
        m_special[kCr] = settings.terminator != KelPacketSettings::Lf;
        m_special[kLf] = settings.terminator != KelPacketSettings::Cr;
    }
    if (settings.header)
        m_special[kEnq] = true;
    if (m_escape)
        m_special[m_escape] = true;
    int count = 0;
    for (int b = 0; b < 256; ++b) {
        if (!m_special[b])
            continue;
        ++count;
        m_singleSpecial = b;
        // Without an escape a lone CR survives a CR LF terminator; LF and ENQ cannot.
        if (!m_escape && !(b == kCr && settings.terminator == KelPacketSettings::CrLf))
            m_unsendable[m_unsendableCount++] = uchar(b);
    }
    if (count != 1 || m_iso || m_eia)
        m_singleSpecial = -1;

    // What each received byte adds to the body when it is ordinary; -1 sends it one by one.
    for (int raw = 0; raw < 256; ++raw) {
        int b = raw;
        if (m_iso)
            b = OddBitCount(uchar(raw)) ? -1 : raw & 0x7F;
        if (b >= 0 && m_special[b])
            b = -1;
        if (b >= 0 && m_eia)
            b = EiaCode::ToChar(uchar(b)) ? int(EiaCode::ToChar(uchar(b))) : -1;
        m_plain[raw] = qint16(b);
    }
    m_body.reserve(256);
}

template <bool Parity, bool Escaped>
KelFramer::Written KelFramer::writeText(QStringView body, char *to) const
{
    BodyWriter<Parity, Escaped> w(to, m_special, m_escape);
    const char16_t *const chars = body.utf16();
    const qsizetype n = body.size();
    if (m_eia) {
        for (qsizetype i = 0; i < n; ++i) {
            const uchar code = EiaCode::FromChar(chars[i]);
            if (!code)
                RefuseChar(m_settings, body, i);
            w.put(code);
        }
    } else if (!m_utf8 || m_iso) {
        const char16_t limit = Parity ? 0x7F : 0xFF; // parity is for ISO, which has 7 bits
        for (qsizetype i = 0; i < n; ++i) {
            if (chars[i] > limit)
                RefuseChar(m_settings, body, i);
            w.put(uchar(chars[i]));
        }
    } else {
        // UTF-8 as QString::toUtf8 writes it: a lone surrogate becomes '?'.
        for (qsizetype i = 0; i < n; ++i) {
            char32_t c = chars[i];
            if (c < 0x80) {
                w.put(uchar(c));
            } else if (c < 0x800) {
                w.put(uchar(0xC0 | c >> 6));
                w.put(uchar(0x80 | (c & 0x3F)));
            } else if (!QChar::isSurrogate(c)) {
                w.put(uchar(0xE0 | c >> 12));
                w.put(uchar(0x80 | (c >> 6 & 0x3F)));
                w.put(uchar(0x80 | (c & 0x3F)));
            } else if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(chars[i + 1])) {
                c = QChar::surrogateToUcs4(char16_t(c), chars[++i]);
                w.put(uchar(0xF0 | c >> 18));
                w.put(uchar(0x80 | (c >> 12 & 0x3F)));
                w.put(uchar(0x80 | (c >> 6 & 0x3F)));
                w.put(uchar(0x80 | (c & 0x3F)));
            } else {
                w.put('?');
            }
        }
    }
    return {w.end(), w.end() - to - w.escapes(), w.sawSpecial()};
}

QByteArray KelFramer::encode(const QString &body) const
{
    QByteArray out;
    encode(body, out);
    return out;
}

void KelFramer::encode(const QString &body, QByteArray &out) const
{
    // Room for the longest frame the text can give, at most one allocation; the unused tail is
    // cut off.
    const bool utf8 = m_utf8 && !m_iso;
    const qsizetype longestText = (utf8 ? kMaxUtf8PerChar : 1) * body.size();
    const qsizetype header = m_settings.header ? 1 : 0;
    out.resize(header + (m_escape ? 2 : 1) * longestText + kMaxTerminator);
    char *const begin = out.data();
    // Frame bytes outside the text: with even parity in ISO.
    const auto framing = [this](uchar b) { return m_iso ? BodyWriter<true, false>::Out(b) : char(b); };
    if (header)
        *begin = framing(kEnq);
    char *const text = begin + header;
    Written written;
    char *const longEnd = utf8 && body.size() >= kLongText ? EncodeUtf8(body, text) : nullptr;
    const bool vectorised = longEnd != nullptr;
    if (vectorised) {
        written = {longEnd, longEnd - text, true};
    } else {
        if (m_iso)
            written = m_escape ? writeText<true, true>(body, text) : writeText<true, false>(body, text);
        else
            written = m_escape ? writeText<false, true>(body, text) : writeText<false, false>(body, text);
    }
    if (written.textBytes > m_maxBody)
        RefuseLength(written.textBytes, m_maxBody);
    // Rare: the text holds a frame byte and there is no escape (a lone CR before CR LF may stay).
    if (written.sawSpecial && !m_escape) {
        for (int i = 0; i < m_unsendableCount; ++i) {
            if (std::memchr(text, framing(m_unsendable[i]), size_t(written.end - text)))
                RefuseFrameByte(m_unsendable[i]);
        }
    }
    char *w = written.end;
    if (vectorised && m_escape)
        w = escapeInPlace(text, w);

    if (m_eia) {
        *w++ = char(EiaCode::kEndOfBlock);
    } else {
        if (m_settings.terminator != KelPacketSettings::Lf)
            *w++ = framing(kCr);
        if (m_settings.terminator != KelPacketSettings::Cr)
            *w++ = framing(kLf);
    }
    out.truncate(w - begin);
}

char *KelFramer::escapeInPlace(char *text, char *end) const
{
    qsizetype escapes = 0;
    for (const char *p = text; p != end; ++p)
        escapes += m_special[uchar(*p)];
    // From the back, so that every byte moves once.
    char *to = end + escapes;
    const char *const newEnd = to;
    for (char *from = end; from != text && to != from;) {
        const char c = *--from;
        *--to = c;
        if (m_special[uchar(c)])
            *--to = char(m_escape);
    }
    return const_cast<char *>(newEnd);
}

bool KelFramer::plainRunAllowed() const
{
    return !m_escaped && !m_sawCr && (m_inFrame || !m_settings.header);
}

qsizetype KelFramer::feed(const char *data, qsizetype size, QList<KelFrameEvent> &out, qsizetype maxEvents)
{
    const uchar *const begin = reinterpret_cast<const uchar *>(data);
    const uchar *p = begin;
    const uchar *const end = p + size;
    const qsizetype stopAt = out.size() + qMax<qsizetype>(maxEvents, 1);

    while (p < end && out.size() < stopAt) {
        if (plainRunAllowed()) {
            // Take a run of ordinary body bytes in one go; only the others go one by one.
            const uchar *q = p;
            if (m_singleSpecial >= 0) {
                const void *hit = std::memchr(p, m_singleSpecial, size_t(end - p));
                q = hit ? static_cast<const uchar *>(hit) : end;
            } else {
                while (q < end && m_plain[*q] >= 0)
                    ++q;
            }
            if (q != p) {
                appendRun(p, q, out);
                p = q;
                continue;
            }
        }
        step(*p++, out);
    }
    return p - begin;
}

void KelFramer::step(uchar raw, QList<KelFrameEvent> &out)
{
    const bool escapedCr = m_escapedCr;
    m_escapedCr = false;
    uchar b = raw;
    bool parityOk = true;
    if (m_iso) {
        parityOk = !OddBitCount(raw);
        b = raw & 0x7F;
    }

    if (m_settings.header && !m_inFrame) {
        if (parityOk && b == kEnq)
            m_inFrame = true;
        return;
    }
    if (!parityOk)
        fail(QStringLiteral("Parity error in byte %1").arg(ByteName(raw)), out);

    if (m_escaped) {
        m_escaped = false;
        if (m_eia && b == EiaCode::kEndOfBlock) {
            fail(QStringLiteral("A frame ended inside an escape"), out);
            endFrame(out);
            return;
        }
        appendBody(b, out);
        m_escapedCr = !m_eia && b == kCr && m_settings.terminator == KelPacketSettings::CrLf;
        return;
    }

    if (m_settings.header && b == kEnq) {
        if (!m_body.isEmpty() || m_sawCr)
            fail(QStringLiteral("An incomplete frame was cut off by the next header"), out);
        reset();
        m_inFrame = true;
        return;
    }

    if (m_eia) {
        if (b == EiaCode::kEndOfBlock) {
            endFrame(out);
            return;
        }
    } else {
        switch (m_settings.terminator) {
        case KelPacketSettings::Cr:
            if (b == kCr) {
                endFrame(out);
                return;
            }
            break;
        case KelPacketSettings::Lf:
            if (b == kLf) {
                endFrame(out);
                return;
            }
            break;
        default:
            if (b == kCr) {
                if (m_sawCr)
                    appendBody(kCr, out);
                m_sawCr = true;
                return;
            }
            if (b == kLf) {
                if (escapedCr && !m_sawCr)
                    fail(QStringLiteral("A frame ended inside an escape"), out);
                endFrame(out);
                return;
            }
            if (m_sawCr) {
                m_sawCr = false;
                appendBody(kCr, out);
            }
            break;
        }
    }

    if (m_escape && b == m_escape) {
        m_escaped = true;
        return;
    }
    appendBody(b, out);
}

void KelFramer::appendRun(const uchar *from, const uchar *to, QList<KelFrameEvent> &out)
{
    m_escapedCr = false;
    if (m_discarding)
        return;
    const qsizetype n = to - from;
    const qsizetype old = m_body.size();
    if (old + n > m_maxBody) {
        fail(QStringLiteral("A frame body longer than %1 bytes was dropped").arg(m_maxBody), out);
        return;
    }
    if (!m_iso && !m_eia) {
        m_body.append(reinterpret_cast<const char *>(from), n);
        return;
    }
    if (m_body.capacity() < old + n)
        m_body.reserve(qMax(old + n, 2 * m_body.capacity()));
    m_body.resize(old + n);
    char *w = m_body.data() + old;
    for (const uchar *p = from; p != to; ++p)
        *w++ = char(m_plain[*p]);
}

void KelFramer::appendBody(uchar b, QList<KelFrameEvent> &out)
{
    if (m_discarding)
        return;
    if (m_eia) {
        const char16_t c = EiaCode::ToChar(b);
        if (!c) {
            fail(QStringLiteral("Byte %1 is not in the EIA code").arg(ByteName(b)), out);
            return;
        }
        b = uchar(c);
    }
    if (m_body.size() >= m_maxBody) {
        fail(QStringLiteral("A frame body longer than %1 bytes was dropped").arg(m_maxBody), out);
        return;
    }
    m_body.append(char(b));
}

void KelFramer::fail(const QString &description, QList<KelFrameEvent> &out)
{
    if (m_discarding)
        return;
    out.append(KelFrameEvent{KelFrameEvent::Error, description});
    m_discarding = true;
    m_body.resize(0);
}

void KelFramer::endFrame(QList<KelFrameEvent> &out)
{
    if (!m_discarding)
        out.append(KelFrameEvent{KelFrameEvent::Frame, m_utf8 ? QString::fromUtf8(m_body) : QString::fromLatin1(m_body)});
    m_body.resize(0);
    m_discarding = false;
    m_escaped = false;
    m_sawCr = false;
    m_inFrame = false;
}

void KelFramer::reset()
{
    m_body.resize(0);
    m_discarding = false;
    m_escaped = false;
    m_sawCr = false;
    m_escapedCr = false;
    m_inFrame = false;
}

qsizetype KelFramer::buffered() const
{
    return m_body.size();
}
