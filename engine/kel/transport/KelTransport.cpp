#include "KelTransport.h"

#include "KelSerialLine.h"
#include "KelTcpClient.h"
#include "KelTcpServer.h"

namespace {

template<typename T>
std::unique_ptr<KelTransport> Open(const KelSettings &settings, KelLinkSink &sink)
{
    return std::make_unique<T>(settings, sink);
}

struct TransportKind
{
    KelConnKind kind;
    std::unique_ptr<KelTransport> (*open)(const KelSettings &, KelLinkSink &);
};

constexpr TransportKind kTransports[] = {
    {KelConnKind::Serial, &Open<KelSerialLine>},
    {KelConnKind::TcpClient, &Open<KelTcpClient>},
    {KelConnKind::TcpServer, &Open<KelTcpServer>},
};

} // namespace

std::unique_ptr<KelTransport> OpenKelTransport(const KelSettings &settings, KelLinkSink &sink)
{
    for (const TransportKind &t : kTransports) {
        if (t.kind == settings.kind)
            return t.open(settings, sink);
    }
    Q_UNREACHABLE();
    return {};
}
