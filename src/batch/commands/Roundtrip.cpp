#include "RegistryCommand.h"

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
};

} // namespace

std::unique_ptr<Command> makeRoundtrip() { return std::make_unique<Roundtrip>(); }

} // namespace marrowick::batch
