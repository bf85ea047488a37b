#include "MivProviders.h"

#include "KelProvider.h"
#include "MivError.h"

namespace {

struct RegisteredProvider
{
    const char *name;
    MivProviderOpener open;
};

const RegisteredProvider kProviders[] = {
    {KelProvider::kName, [](const QString &option) -> std::unique_ptr<MivProvider> {
         return std::make_unique<KelProvider>(option);
     }},
};

} // namespace

MivProviderOpener FindMivProvider(const QString &name)
{
    QStringList names;
    for (const RegisteredProvider &p : kProviders) {
        if (name.compare(QLatin1String(p.name), Qt::CaseInsensitive) == 0)
            return p.open;
        names << QLatin1String(p.name);
    }
    throw MivError(MivCode::InvalidArg, QStringLiteral("Unknown provider \"%1\": the registered provider is %2")
                                            .arg(name, names.join(QLatin1String(", "))));
}
