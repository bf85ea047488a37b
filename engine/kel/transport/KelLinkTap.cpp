// What a link shows a tap: each frame it sends and receives with its bytes on the line, and
// each receive error. Only runs while a tap watches.
#include "KelLink.h"

#include "MivTap.h"

namespace {
// The bytes kept for one received frame: a whole frame, every body byte escaped, fits; of
// anything longer (an overlong body, noise before a header) the last bytes are shown.
constexpr qsizetype kMaxTapWire = 2 * KelFramer::kMaxBody + 8;
} // namespace

void KelLink::tapSent(MivTap &tap, const QString &text, const QByteArray &bytes) const
{
    MivTapFrame frame;
    frame.incoming = false;
    frame.peer = m_address;
    frame.text = text;
    frame.wire = bytes;
    tap.tapFrame(frame);
}

qsizetype KelLink::feedTapped(MivTap &tap, int wanted)
{
    const char *data = m_held.constData() + m_heldAt;
    const qsizetype size = m_held.size() - m_heldAt;
    qsizetype taken = 0;
    while (taken < size && m_events.size() < wanted) {
        const qsizetype before = m_events.size();
        const qsizetype n = m_framer.feed(data + taken, size - taken, m_events, 1);
        m_tapWire.append(data + taken, n);
        if (m_tapWire.size() > kMaxTapWire)
            m_tapWire.remove(0, m_tapWire.size() - kMaxTapWire);
        taken += n;
        if (m_events.size() == before)
            break; // the rest is part of a frame still to come
        const KelFrameEvent &event = m_events.back();
        if (event.kind == KelFrameEvent::Frame) {
            MivTapFrame frame;
            frame.incoming = true;
            frame.peer = m_address;
            frame.text = event.text;
            frame.wire = m_tapWire;
            tap.tapFrame(frame);
        } else {
            MivTapEvent error;
            error.kind = MivTapEventKind::Error;
            error.peer = m_address;
            error.text = event.text;
            tap.tapEvent(error);
        }
        m_tapWire.resize(0);
    }
    return taken;
}
