#include "LiveRegistry.h"

#include "registry/RegistryConnection.h"

namespace marrowick {

std::optional<RegistryEndpoint> LiveRegistry::parseEndpoint(const QString& text, QString* problem) const
{
    return RegistryEndpoint::parse(text, problem);
}

std::optional<FlagField> LiveRegistry::parseFlagField(const QString& text, QString* problem) const
{
    return FlagField::parse(text, problem);
}

QString LiveRegistry::test(const ConnectionSettings& settings) { return openConnection(settings)->test(); }

SendSummary LiveRegistry::send(RegistrySend& job) { return job.run(); }

QList<RejectedRecord> LiveRegistry::rejections() { return RegistrySend::rejections(); }

FetchSummary LiveRegistry::fetch(RegistryFetch& job) { return job.run(); }

QString LiveRegistry::defaultOutputFile(const QString& databaseFile) const
{
    return RegistryFetch::defaultOutputFile(databaseFile);
}

} // namespace marrowick
