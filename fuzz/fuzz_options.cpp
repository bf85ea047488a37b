// Input: an option string as UTF-8. Only MivError may escape the parser, and what it accepts
// must be settings the rest of the engine can use.
#include "FuzzCheck.h"

#include "EiaCode.h"
#include "KelFramer.h"
#include "KelOptions.h"
#include "MivError.h"

#include <cstddef>
#include <cstdint>

namespace {

void CheckPacket(const KelPacketSettings &p)
{
    const bool iso = p.convert & KelPacketSettings::Iso;
    const bool eia = p.convert & KelPacketSettings::Eia;
    FUZZ_CHECK(p.convert >= 0 && p.convert <= 7 && !(iso && eia), "convert is 0..7 without ISO+EIA",
              QString::number(p.convert));
    FUZZ_CHECK(p.terminator >= 0 && p.terminator <= 2, "terminator is 0..2", QString::number(p.terminator));
    FUZZ_CHECK(p.escape >= 0 && p.escape <= 255, "escape is a byte", QString::number(p.escape));
    if (p.escape) {
        FUZZ_CHECK(!(p.header && p.escape == 0x05), "the escape is not the header");
        if (eia) {
            FUZZ_CHECK(p.escape != EiaCode::kEndOfBlock, "the escape is not the end-of-block code");
        } else {
            FUZZ_CHECK(!(p.terminator != KelPacketSettings::Lf && p.escape == '\r'), "the escape is not CR");
            FUZZ_CHECK(!(p.terminator != KelPacketSettings::Cr && p.escape == '\n'), "the escape is not LF");
        }
        FUZZ_CHECK(!(iso && p.escape > 0x7F), "an ISO escape has 7 bits");
    }
    // The framer takes whatever the parser accepts.
    KelFramer framer(p);
    QList<KelFrameEvent> events;
    framer.feed(framer.encode(QStringLiteral("A1")), events);
    FUZZ_CHECK(events.size() == 1 && events[0].text == u"A1", "accepted settings carry a plain frame");
}

void Check(const KelSettings &s)
{
    CheckPacket(s.packet);
    FUZZ_CHECK(s.timeoutMs >= 1, "the timeout is positive", QString::number(s.timeoutMs));
    switch (s.kind) {
    case KelConnKind::Serial:
        FUZZ_CHECK(s.serial.comPort >= 1 && s.serial.baudRate >= 1, "a serial line has a port and a baud rate");
        FUZZ_CHECK(s.serial.parity == 'N' || s.serial.parity == 'E' || s.serial.parity == 'O', "parity is N, E or O");
        FUZZ_CHECK(s.serial.dataBits == 7 || s.serial.dataBits == 8, "data bits are 7 or 8");
        FUZZ_CHECK(s.serial.stopBits == 1 || s.serial.stopBits == 2, "stop bits are 1 or 2");
        FUZZ_CHECK(s.serial.flow >= 0 && s.serial.flow <= 3, "flow is 0..3");
        break;
    case KelConnKind::TcpClient:
        FUZZ_CHECK(!s.host.isEmpty() && s.port >= 1, "a client has a peer address and port");
        break;
    case KelConnKind::TcpServer:
        FUZZ_CHECK(s.host.isEmpty(), "a server has no peer address");
        FUZZ_CHECK(s.maxClients >= 1 && s.idleSeconds >= 0, "a server admits a client and idles for no negative time");
        break;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString option = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    KelSettings settings;
    try {
        settings = ParseKelOptions(option);
    } catch (const MivError &e) {
        FUZZ_CHECK(!e.description().isEmpty(), "a refusal says why");
        return 0;
    }
    Check(settings);
    return 0;
}
