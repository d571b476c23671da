#pragma once
#include "registry/RegistryFetch.h"
#include "registry/RegistrySend.h"

#include <QString>
#include <optional>

namespace marrowick {

// How the registry dialogs reach a registry's test interface: the round
// trip's own classes in the program, a scripted registry in the tests. The
// dialogs build the send and the fetch, hooks and all; a gateway runs them.
// Every call may throw what the call it stands for throws.
class RegistryGateway {
public:
    virtual ~RegistryGateway() = default;

    virtual std::optional<RegistryEndpoint> parseEndpoint(const QString& text, QString* problem) const = 0;
    virtual std::optional<FlagField> parseFlagField(const QString& text, QString* problem) const = 0;
    // What the registry said to connectivityTest, or to an MLLP connect.
    virtual QString test(const ConnectionSettings& settings) = 0;
    virtual SendSummary send(RegistrySend& job) = 0;
    // The records earlier sends left rejected, as the database keeps them.
    virtual QList<RejectedRecord> rejections() = 0;
    virtual FetchSummary fetch(RegistryFetch& job) = 0;
    virtual QString defaultOutputFile(const QString& databaseFile) const = 0;
};

// The installed gateway; null when the program reaches no registry, and then
// no page offers to.
RegistryGateway* registryGateway();
// Installs one (or none); returns the previous one.
RegistryGateway* installRegistryGateway(RegistryGateway* gateway);

} // namespace marrowick
