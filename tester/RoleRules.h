#pragma once

#include "ConnSettings.h"

#include <QString>

// What a connection of one type turns on in the main window: its caption, the panels it
// enables, whether answers may be taken apart, and the client flag the message handler reads.
struct RolePanels
{
    QString title;
    bool request = false;
    bool reply = false;
    bool performance = false; // a client that waits for each answer
    bool interpret = false;   // chkInterp: a client that does not wait
    qint32 client = 0;

    friend bool operator==(const RolePanels &, const RolePanels &) = default;
};

// Throws MivError for a type outside the dialog's list.
RolePanels PanelsFor(const ConnSettings &settings);

// "Sync" when the client waits for each answer, else "ASync".
QString SyncModeText(const ConnSettings &settings);
