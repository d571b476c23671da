#include "RegistryCommand.h"

#include "BatchPlatform.h"

#include <QThread>
#include <cstdio>

namespace marrowick::batch {

namespace {

class Roundtrip final : public RegistryCommand {
public:
    Roundtrip()
        : RegistryCommand(QStringLiteral("roundtrip"),
                          QStringLiteral("Sends the test records (as send), waits --wait seconds, queries them back "
                                         "into a results file (as fetch) and evaluates it (as evaluate)."),
                          Sends | Fetches)
    {
    }

protected:
    int work(const Options& o, const ConnectionSettings& connection, const FacilityMap& facilities,
             BatchPlatform& host) const override
    {
        const FetchOptions fetching = fetchOptions(o, connection, facilities);
        printSend(send(o, {connection, facilities, o.rate, o.resend}, host));
        if (o.waitSeconds > 0) {
            host.UpdateProgressText(QStringLiteral("Waiting %1 s for the registry").arg(o.waitSeconds));
            QThread::sleep(static_cast<unsigned long>(o.waitSeconds));
            host.clearLine();
        }
        return fetch(o, fetching, host);
    }
};

} // namespace

std::unique_ptr<Command> makeRoundtrip() { return std::make_unique<Roundtrip>(); }

} // namespace marrowick::batch
