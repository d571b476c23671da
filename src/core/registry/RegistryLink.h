#pragma once
#include "RegistryEndpoint.h"
#include "RegistryFault.h"

#include <QByteArray>
#include <QSslConfiguration>
#include <QSslSocket>
#include <functional>
#include <memory>
#include <optional>

class QEventLoop;

namespace marrowick {

// The one socket of a conversation with a registry, over TLS when the
// endpoint asks for it, opened again after a drop. Waits run a local event
// loop. Every failure drops the socket, so that a late answer is never taken
// for the next message's, and is thrown as RegistryFault.
class RegistryLink {
public:
    // Reads the TLS files at once: a bad one throws RegistryFault (Tls).
    explicit RegistryLink(const ConnectionSettings& settings);
    ~RegistryLink();
    RegistryLink(const RegistryLink&) = delete;
    RegistryLink& operator=(const RegistryLink&) = delete;

    // Connects (and completes the TLS handshake) unless still connected.
    void open();
    // Opens, forgets what came unasked, and writes bytes.
    void send(const QByteArray& bytes);
    // Waits until ready() holds; it reads what came with received() and closed().
    void await(const std::function<bool()>& ready, const QString& awaited);
    [[noreturn]] void fail(const RegistryFault& fault);
    void drop();

    QByteArray& received() { return m_received; }
    bool closed() const { return !m_socket || m_socket->state() == QAbstractSocket::UnconnectedState; }
    const RegistryEndpoint& endpoint() const { return m_endpoint; }
    // host:port, for messages.
    QString where() const;
    QString peerName() const;

private:
    void noteError(QAbstractSocket::SocketError error);
    void wake();
    void waitAtMost(qint64 ms);

    RegistryEndpoint m_endpoint;
    int m_timeoutMs;
    std::optional<QSslConfiguration> m_tls;
    QByteArray m_received;
    std::optional<RegistryFault> m_failure;
    QStringList m_sslErrors;
    QEventLoop* m_loop = nullptr;
    std::unique_ptr<QSslSocket> m_socket;
};

} // namespace marrowick
