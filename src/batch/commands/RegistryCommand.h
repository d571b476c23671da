#pragma once
#include "Command.h"
#include "registry/RegistryEndpoint.h"
#include "registry/RegistryFetch.h"
#include "registry/RegistrySend.h"

namespace marrowick::batch {

// What send, fetch and roundtrip share: where the registry listens, who sends,
// and how a fault of its interface ends the run (exit code 6).
class RegistryCommand : public Command {
public:
    enum Part { Sends = 1, Fetches = 2 };
    RegistryCommand(const QString& commandName, QString text, int parts);
    void read(const QCommandLineParser& parser, Options& into) const override;
    int run(const Options& o, BatchPlatform& host) const final;

protected:
    // The command's work; a registry fault thrown here is told and ends in exit code 6.
    virtual int work(const Options& o, const ConnectionSettings& connection, const FacilityMap& facilities,
                     BatchPlatform& host) const = 0;

    // The fetch's options, the --flag-field read before anything is sent.
    static FetchOptions fetchOptions(const Options& o, const ConnectionSettings& connection,
                                     const FacilityMap& facilities);
    static SendSummary send(const Options& o, const SendOptions& options, BatchPlatform& host);
    static void printSend(const SendSummary& summary);
    // Fetches into the results file, then evaluates it when asked.
    static int fetch(const Options& o, const FetchOptions& options, BatchPlatform& host);

private:
    int m_parts;
};

// The password for the registry's web service: MARROWICK_PASSWORD, else asked
// for without echo at a terminal. Never an option: other users see command lines.
// A user over SOAP with neither is a usage fault; MLLP takes no password.
QString registryPassword(const RegistryEndpoint& endpoint, const QString& user);

} // namespace marrowick::batch
