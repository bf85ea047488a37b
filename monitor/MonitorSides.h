#pragma once

#include "KelSettings.h"

#include <QString>

// The two sides of a monitor, each an option string of the engine: the host side serves (a TCP
// server, or the serial line a host is wired to), the device side connects (a TCP client, or the
// serial line to the device).
struct MonitorSides
{
    QString hostOption;
    QString deviceOption;
    KelSettings host;
    KelSettings device;
};

// Parses and checks both strings. Throws MivError naming the side and what is wrong.
MonitorSides ParseMonitorSides(const QString &hostOption, const QString &deviceOption);
