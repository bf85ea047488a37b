#pragma once

#include "KelSettings.h"

#include <QByteArray>
#include <QList>
#include <QString>

// One result of feeding received bytes: a complete frame's text, or a receive error (overlong
// body, parity, a byte the code lacks, a dangling escape) with its description.
struct KelFrameEvent
{
    enum Kind { Frame, Error };
    Kind kind = Frame;
    QString text;
};

// The KEL framing as a pure codec: frames to bytes, and bytes (in any chunks) to frames and
// errors. Holds at most kMaxBody bytes of a partial frame.
class KelFramer
{
public:
    static constexpr qsizetype kMaxBody = 65536;

    explicit KelFramer(const KelPacketSettings &settings);

    // Throws MivError when the text cannot be sent with these settings.
    QByteArray encode(const QString &body) const;

    // Appends to out, in arrival order.
    void feed(const char *data, qsizetype size, QList<KelFrameEvent> &out);
    void feed(const QByteArray &bytes, QList<KelFrameEvent> &out) { feed(bytes.constData(), bytes.size(), out); }

    void reset();                 // drops a partial frame
    qsizetype buffered() const;   // bytes held for the partial frame

private:
    KelPacketSettings m_settings;
    QByteArray m_body;
    bool m_inFrame = false;
    bool m_escaped = false;
    bool m_discarding = false; // skipping an overlong body up to its terminator
    bool m_sawCr = false;      // CR of a CR LF terminator seen
};
