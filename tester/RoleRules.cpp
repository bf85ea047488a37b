#include "RoleRules.h"

#include "Captions.h"
#include "MivError.h"

namespace {

bool Waits(const ConnSettings &settings)
{
    return settings.sync == CheckOn;
}

QString ConnectedTitle(const ConnSettings &settings)
{
    switch (settings.connType) {
    case ComClient:
        return WindowTitle::ComClient.arg(settings.comPort, SyncModeText(settings));
    case ComServer:
        return WindowTitle::ComServer.arg(settings.comPort);
    case EtherClient:
        return WindowTitle::EtherClient.arg(settings.ipAddress, SyncModeText(settings));
    case EtherServer:
        return WindowTitle::EtherServer.arg(settings.connMax);
    default:
        throw MivError(MivCode::InvalidArg, QStringLiteral("Unknown connection type"));
    }
}

} // namespace

QString SyncModeText(const ConnSettings &settings)
{
    return Waits(settings) ? WindowTitle::Sync : WindowTitle::ASync;
}

RolePanels PanelsFor(const ConnSettings &settings)
{
    const bool client = IsClientType(settings.connType);
    RolePanels panels;
    panels.title = ConnectedTitle(settings);
    panels.request = settings.connType != ComServer;
    panels.reply = !client;
    panels.performance = client && Waits(settings);
    panels.interpret = client && !Waits(settings);
    panels.client = client ? 1 : 0;
    return panels;
}
