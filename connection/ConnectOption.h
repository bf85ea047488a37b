#pragma once

#include "ConnSettings.h"

#include <QString>

// The option string handed to the provider. Never fails: a piece that cannot be had is empty,
// and texts go in unchanged.
QString BuildConnectOption(const ConnSettings &input);

QString ParityLetter(int parity);
QString DataBitsText(int dataBits);
QString StopBitsText(int stopBits);
QString FlowCode(int xonXoff, int hwCtrl);
QString ConvertCode(int iso, int eia, int unicode);
QString PacketOption(const ConnSettings &input);
QString SyncText(int sync);
