#include "RegistryGateway.h"

namespace marrowick {

namespace {
RegistryGateway*& installed()
{
    static RegistryGateway* gateway = nullptr;
    return gateway;
}
} // namespace

RegistryGateway* registryGateway() { return installed(); }

RegistryGateway* installRegistryGateway(RegistryGateway* gateway)
{
    RegistryGateway* previous = installed();
    installed() = gateway;
    return previous;
}

} // namespace marrowick
