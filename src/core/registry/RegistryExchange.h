#pragma once
#include "RegistryConnection.h"

#include <QElapsedTimer>
#include <QHash>
#include <functional>
#include <memory>

namespace marrowick {

// The messages of one run through one registry interface, one at a time:
// paced to a rate, transport faults retried with growing pauses over a fresh
// connection, any other fault passed on at once. The web service names the
// sending facility per call, so SOAP keeps one connection per facility; MLLP
// carries the facility in the message and needs one only.
class RegistryExchange {
public:
    using Opener = std::function<std::unique_ptr<RegistryConnection>(const ConnectionSettings&)>;

    RegistryExchange(ConnectionSettings settings, Opener open, std::function<void(int ms)> pause, double rate,
                     int retries);

    // The registry's answer to message, sent as facility; throws RegistryFault
    // when a fault is not transport, or outlasts the retries.
    QByteArray exchange(const QByteArray& message, const QString& facility);

    // The first pause after a transport fault, doubled each time up to the cap.
    static constexpr int kFirstPauseMs = 200;
    static constexpr int kLongestPauseMs = 5000;

private:
    RegistryConnection& connectionFor(const QString& facility);
    void keepRate();

    ConnectionSettings m_settings;
    Opener m_open;
    std::function<void(int ms)> m_pause;
    double m_rate;
    int m_retries;
    QHash<QString, std::shared_ptr<RegistryConnection>> m_connections;
    QElapsedTimer m_sinceLast;
};

// Waits ms while the event loop runs, so that a window stays painted.
void pauseWithEvents(int ms);

} // namespace marrowick
