#pragma once

#include "KelSettings.h"

// Parses a connection option string such as
// "Conn=eth:127.0.0.1:5006,PacketOpt=4:0:0:0,EtherOpt=0,Timeout=500,Sync=True".
// Absent keys take their defaults; a malformed or out-of-range piece throws MivError whose
// description names the key, e.g. "PacketOpt: escape 300 is out of range 0..255".
KelSettings ParseKelOptions(const QString &option);
