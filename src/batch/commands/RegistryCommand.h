#pragma once
#include "Command.h"

namespace marrowick::batch {

// What send, fetch and roundtrip share: their options, read here. Their work
// is done by the registry module (RegistryModule.cpp), which brings the
// network library: loaded only for them, it costs the other commands nothing.
class RegistryCommand : public Command {
public:
    enum Part { Sends = 1, Fetches = 2 };
    RegistryCommand(const QString& commandName, QString text, int parts);
    void read(const QCommandLineParser& parser, Options& into) const override;
    int run(const Options& o, BatchPlatform& host) const final;

private:
    int m_parts;
};

} // namespace marrowick::batch
