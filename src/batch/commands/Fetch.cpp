#include "RegistryCommand.h"

namespace marrowick::batch {

namespace {

class Fetch final : public RegistryCommand {
public:
    Fetch()
        : RegistryCommand(QStringLiteral("fetch"),
                          QStringLiteral("Queries a registry's test interface for each test record (QBP^Q11, "
                                         "Z34) and writes what it holds as a results file of 15 fields a line: one "
                                         "row per vaccination of each client, every client once. The raw answers go "
                                         "beside it. With --evaluate, the file is evaluated as evaluate does."),
                          Fetches)
    {
    }
};

} // namespace

std::unique_ptr<Command> makeFetch() { return std::make_unique<Fetch>(); }

} // namespace marrowick::batch
