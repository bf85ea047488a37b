#pragma once

#include <QString>

#include <memory>

class MivProvider;

// Opens a provider with an option string; throws MivError with the provider's reason.
using MivProviderOpener = std::unique_ptr<MivProvider> (*)(const QString &option);

// The registry of providers: the opener of the named one. Throws MivError for an unknown name.
MivProviderOpener FindMivProvider(const QString &name);
