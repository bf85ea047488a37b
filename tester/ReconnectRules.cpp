#include "ReconnectRules.h"

#include "ConnSettings.h"

bool ReopensWhenLost(int connType)
{
    switch (connType) {
    case ComClient:
    case ComServer:
    case EtherClient:
        return true;
    default:
        return false;
    }
}
