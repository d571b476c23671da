#pragma once
#include "RegistryGateway.h"

namespace marrowick {

// The gateway the program installs: the round trip's own classes, talking to
// the registry over the network.
class LiveRegistry final : public RegistryGateway {
public:
    std::optional<RegistryEndpoint> parseEndpoint(const QString& text, QString* problem) const override;
    std::optional<FlagField> parseFlagField(const QString& text, QString* problem) const override;
    QString test(const ConnectionSettings& settings) override;
    SendSummary send(RegistrySend& job) override;
    QList<RejectedRecord> rejections() override;
    FetchSummary fetch(RegistryFetch& job) override;
    QString defaultOutputFile(const QString& databaseFile) const override;
};

} // namespace marrowick
