#include "RegistryCommand.h"

namespace marrowick::batch {

namespace {

class Send final : public RegistryCommand {
public:
    Send()
        : RegistryCommand(QStringLiteral("send"),
                          QStringLiteral("Sends the 550 test records to a registry's test interface as HL7 2.5.1 VXU "
                                         "messages, one at a time, and keeps each acknowledgement in the database. "
                                         "An interrupted send goes on where it stopped; a record the registry "
                                         "acknowledged is not sent again. Lists the records the registry rejected, "
                                         "in its own words."),
                          Sends)
    {
    }
};

} // namespace

std::unique_ptr<Command> makeSend() { return std::make_unique<Send>(); }

} // namespace marrowick::batch
