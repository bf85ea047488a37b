#pragma once

// Whether Reconnect Automatically opens a connection of this type (a ConnType) again when it
// goes: a client's connection, and the serial line of any role. A network server keeps
// listening when its clients go, so there is nothing to reopen.
bool ReopensWhenLost(int connType);
