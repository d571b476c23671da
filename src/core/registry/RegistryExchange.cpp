#include "RegistryExchange.h"

#include "RegistryFault.h"

#include <QEventLoop>
#include <QTimer>
#include <algorithm>

namespace marrowick {

RegistryExchange::RegistryExchange(ConnectionSettings settings, Opener open, std::function<void(int ms)> pause,
                                   double rate, int retries)
    : m_settings(std::move(settings)), m_open(open ? std::move(open) : Opener(openConnection)),
      m_pause(pause ? std::move(pause) : std::function<void(int)>(pauseWithEvents)), m_rate(rate),
      m_retries(std::max(0, retries))
{
}

RegistryConnection& RegistryExchange::connectionFor(const QString& facility)
{
    const QString key = m_settings.endpoint.transport == RegistryEndpoint::Transport::Soap ? facility : QString();
    auto found = m_connections.constFind(key);
    if (found != m_connections.constEnd()) return **found;
    ConnectionSettings settings = m_settings;
    if (!facility.isEmpty()) settings.credentials.facility = facility;
    std::shared_ptr<RegistryConnection> opened = m_open(settings);
    m_connections.insert(key, opened);
    return *opened;
}

void RegistryExchange::keepRate()
{
    if (m_rate <= 0) return;
    const qint64 interval = qint64(1000.0 / m_rate);
    if (m_sinceLast.isValid() && m_sinceLast.elapsed() < interval) m_pause(int(interval - m_sinceLast.elapsed()));
    m_sinceLast.start();
}

QByteArray RegistryExchange::exchange(const QByteArray& message, const QString& facility)
{
    int wait = kFirstPauseMs;
    for (int attempt = 0;; ++attempt) {
        keepRate();
        try {
            return connectionFor(facility).exchange(message);
        } catch (const RegistryFault& fault) {
            if (!fault.retriable()) throw;
            if (attempt >= m_retries)
                throw RegistryFault(
                    fault.kind(), QStringLiteral("%1 (given up after %2 tries)").arg(fault.message()).arg(attempt + 1));
        }
        // A reset connection is not used again: the next attempt opens another.
        m_connections.clear();
        m_pause(wait);
        wait = std::min(wait * 2, kLongestPauseMs);
    }
}

void pauseWithEvents(int ms)
{
    if (ms <= 0) return;
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace marrowick
