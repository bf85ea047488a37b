#include "MivWorkspace.h"

#include "MivError.h"
#include "MivProvider.h"
#include "MivProviders.h"

MivController *MivWorkspace::AddController(const QString &name, const QString &provider,
                                           const QString &machine, const QString &option)
{
    const MivProviderOpener open = FindMivProvider(provider);
    if (machine.compare(QLatin1String("localhost"), Qt::CaseInsensitive) != 0)
        throw MivError(MivCode::InvalidArg,
                       QStringLiteral("Machine \"%1\" cannot be reached: only \"localhost\" is supported")
                           .arg(machine));
    std::unique_ptr<MivProvider> opened = open(option);
    const qint32 index = m_controllers.nextIndex();
    return m_controllers.insert(index, std::make_unique<MivController>(index, name, std::move(opened)));
}

MivWorkspaces::MivWorkspaces() : m_workspace(std::make_unique<MivWorkspace>()) {}

MivWorkspaces::~MivWorkspaces() = default;

MivWorkspace *MivWorkspaces::Item(qint16 index) const
{
    if (index != 0)
        throw MivError(MivCode::InvalidArg,
                       QStringLiteral("No workspace with index %1: only 0 exists").arg(index));
    return m_workspace.get();
}
