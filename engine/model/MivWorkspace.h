#pragma once

#include "MivCollection.h"
#include "MivController.h"

class MivWorkspace
{
public:
    // provider "MivProv.KEL", machine "localhost"; option: the connection option string.
    // Returns a connected controller or throws MivError with the reason.
    MivController *AddController(const QString &name, const QString &provider,
                                 const QString &machine, const QString &option);
    MivCollection<MivController> &Controllers() { return m_controllers; }

private:
    MivCollection<MivController> m_controllers;
};

class MivWorkspaces
{
public:
    MivWorkspaces();
    ~MivWorkspaces();
    MivWorkspace *Item(qint16 index) const; // only 0 exists

private:
    std::unique_ptr<MivWorkspace> m_workspace;
};
