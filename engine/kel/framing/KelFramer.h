#pragma once

#include "KelSettings.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <array>

// One result of feeding received bytes: a complete frame's text, or a receive error (overlong
// body, parity, a byte the code lacks, a dangling escape) with its description.
struct KelFrameEvent
{
    enum Kind { Frame, Error };
    Kind kind = Frame;
    QString text;
};

// The KEL framing as a pure codec: frames to bytes, and bytes (in any chunks) to frames and
// errors. Holds at most maxBody bytes of a partial frame (kMaxBody unless a test asks for less).
//
// Receiving:
// - With the header on, bytes outside a frame are skipped up to the next ENQ. An unescaped ENQ
//   inside a frame starts a new frame; a partial frame it cuts off is reported as an error.
// - With CR LF, LF ends a frame whether or not a CR precedes it; a CR not followed by LF is
//   body data.
// - The escape byte makes the next byte body data. A frame cannot end inside an escape, so the
//   only dangling escapes the stream can show are an escaped end-of-block code (EIA) and an
//   escaped CR directly followed by a bare LF (CR LF); both are errors.
// - An error drops the rest of its frame and is reported once; the stream picks up again at
//   the next frame.
class KelFramer
{
public:
    static constexpr qsizetype kMaxBody = 65536;

    // Settings as ParseKelOptions accepts them; maxBody from 1 to kMaxBody.
    explicit KelFramer(const KelPacketSettings &settings, qsizetype maxBody = kMaxBody);

    // Throws MivError when the text cannot be sent with these settings: a character the code
    // lacks, a body longer than maxBody bytes, or a terminator or header byte in the body
    // when there is no escape byte to protect it.
    QByteArray encode(const QString &body) const;
    // The same into out, in the room it has when no one else shares it.
    void encode(const QString &body, QByteArray &out) const;

    // Appends to out, in arrival order, and stops as soon as it has appended maxEvents events;
    // returns the count of bytes it took. The rest is for a later call.
    qsizetype feed(const char *data, qsizetype size, QList<KelFrameEvent> &out, qsizetype maxEvents);
    void feed(const char *data, qsizetype size, QList<KelFrameEvent> &out) { feed(data, size, out, size + 1); }
    void feed(const QByteArray &bytes, QList<KelFrameEvent> &out) { feed(bytes.constData(), bytes.size(), out); }

    void reset();                 // drops a partial frame
    qsizetype buffered() const;   // bytes held for the partial frame

private:
    // What writeText wrote: the end, the text's own bytes (escapes not counted), and whether a
    // special byte went in (without an escape byte it may not be sendable).
    struct Written
    {
        char *end = nullptr;
        qsizetype textBytes = 0;
        bool sawSpecial = false;
    };
    // Writes the body's text in the character code, with even parity when Parity is set and
    // escaped when Escaped is (there is an escape byte); throws at a character the code lacks.
    template <bool Parity, bool Escaped>
    Written writeText(QStringView body, char *to) const;
    // Puts the escape byte before each special byte of [text, end); returns the new end.
    char *escapeInPlace(char *text, char *end) const;
    void step(uchar raw, QList<KelFrameEvent> &out);
    void appendRun(const uchar *from, const uchar *to, QList<KelFrameEvent> &out);
    void appendBody(uchar b, QList<KelFrameEvent> &out);
    void fail(const QString &description, QList<KelFrameEvent> &out);
    void endFrame(QList<KelFrameEvent> &out);
    bool plainRunAllowed() const;

    KelPacketSettings m_settings;
    qsizetype m_maxBody;
    bool m_iso = false;
    bool m_eia = false;
    bool m_utf8 = false;
    uchar m_escape = 0;
    std::array<bool, 256> m_special{}; // bytes that need the escape, and that steer receipt
    std::array<uchar, 3> m_unsendable{}; // frame bytes a text cannot hold when there is no escape
    int m_unsendableCount = 0;
    int m_singleSpecial = -1;           // the one special byte of plain text, when there is only one
    std::array<qint16, 256> m_plain{}; // body byte of an ordinary received byte, -1 when not ordinary
    QByteArray m_body;
    bool m_inFrame = false;
    bool m_escaped = false;
    bool m_discarding = false;  // skipping the rest of a bad frame up to its end
    bool m_sawCr = false;       // CR of a CR LF terminator seen
    bool m_escapedCr = false;   // the last byte was an escaped CR (CR LF)
};
