#pragma once
#include "RegistryEndpoint.h"

#include <QByteArray>
#include <memory>

namespace marrowick {

// One conversation with a registry's test interface. Calls block (running a
// local event loop, so a window stays painted) until the answer comes or the
// timeout passes. Every failure is thrown as RegistryFault: Transport for a
// refused, reset or timed-out connection, Soap for a fault the service
// returned (its name and text in the message), Tls for a certificate error,
// Protocol for an answer that is not what the interface promises.
class RegistryConnection {
public:
    virtual ~RegistryConnection() = default;
    // connectivityTest, or an MLLP connect; returns what the registry said.
    virtual QString test() = 0;
    // Sends one HL7 message and returns the registry's HL7 answer.
    virtual QByteArray exchange(const QByteArray& message) = 0;
};

// Reads the TLS files at once (throwing RegistryFault Tls for a bad one) and
// connects on the first call.
std::unique_ptr<RegistryConnection> openConnection(const ConnectionSettings& settings);

} // namespace marrowick
