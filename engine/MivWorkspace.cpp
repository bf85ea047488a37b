#include "MivWorkspace.h"

#include "KelProvider.h"
#include "MivError.h"

namespace {

using ProviderFactory = std::unique_ptr<KelProvider> (*)(const QString &option);

struct RegisteredProvider
{
    const char *name;
    ProviderFactory open;
};

const RegisteredProvider kProviders[] = {
    {KelProvider::kName, [](const QString &option) { return std::make_unique<KelProvider>(option); }},
};

} // namespace

MivController *MivWorkspace::AddController(const QString &name, const QString &provider,
                                           const QString &machine, const QString &option)
{
    const RegisteredProvider *found = nullptr;
    for (const RegisteredProvider &p : kProviders) {
        if (provider.compare(QLatin1String(p.name), Qt::CaseInsensitive) == 0)
            found = &p;
    }
    if (!found)
        throw MivError(MivCode::InvalidArg,
                       QStringLiteral("Unknown provider \"%1\": the registered provider is %2")
                           .arg(provider, QLatin1String(KelProvider::kName)));
    if (machine.compare(QLatin1String("localhost"), Qt::CaseInsensitive) != 0)
        throw MivError(MivCode::InvalidArg,
                       QStringLiteral("Machine \"%1\" cannot be reached: only \"localhost\" is supported")
                           .arg(machine));
    std::unique_ptr<KelProvider> opened = found->open(option);
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
