#pragma once

#include "MivWorkspace.h"

// The engine's root object. Everything runs on the thread that created it.
class MivEngine
{
public:
    MivWorkspaces &Workspaces() { return m_workspaces; }

private:
    MivWorkspaces m_workspaces;
};
