#include "MonitorSides.h"

#include "KelOptions.h"
#include "MivError.h"

namespace {

KelSettings ParseSide(const QString &option, const char *side)
{
    try {
        return ParseKelOptions(option);
    } catch (const MivError &e) {
        throw MivError(e.code(), QStringLiteral("The %1 side: %2").arg(QLatin1StringView(side), e.description()));
    }
}

} // namespace

MonitorSides ParseMonitorSides(const QString &hostOption, const QString &deviceOption)
{
    MonitorSides sides{hostOption, deviceOption, ParseSide(hostOption, "host"), ParseSide(deviceOption, "device")};
    if (sides.host.kind == KelConnKind::TcpClient)
        throw MivError(MivCode::InvalidArg,
                       QStringLiteral("The host side serves its host: a server (Conn=eth::<port>,EtherOpt=1:...) "
                                      "or a serial line, not a client"));
    if (sides.device.kind == KelConnKind::TcpServer)
        throw MivError(MivCode::InvalidArg,
                       QStringLiteral("The device side connects to its device: a client (Conn=eth:<address>:<port>) "
                                      "or a serial line, not a server"));
    if (sides.host.kind == KelConnKind::Serial && sides.device.kind == KelConnKind::Serial
        && sides.host.serial.comPort == sides.device.serial.comPort)
        throw MivError(MivCode::InvalidArg,
                       QStringLiteral("The host and device sides are both COM%1").arg(sides.host.serial.comPort));
    return sides;
}
