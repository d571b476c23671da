#pragma once
#include <QString>
#include <QUrl>
#include <optional>

namespace marrowick {

// Where a registry's test interface listens: https:// or http:// for the SOAP
// web service, mllp://host:port or mllps://host:port (MLLP over TLS).
struct RegistryEndpoint {
    enum class Transport { Soap, Mllp };
    Transport transport = Transport::Soap;
    bool tls = false;
    QUrl url;

    // nullopt (with the cause in problem) for anything else.
    static std::optional<RegistryEndpoint> parse(const QString& text, QString* problem = nullptr);
    QString host() const { return url.host(); }
    quint16 port() const;
};

// Who sends. The password is held only in memory: nothing writes it anywhere.
struct RegistryCredentials {
    QString user;
    QString password;
    QString facility; // the facility ID the registry issued, for SOAP's facilityID
};

// TLS beyond the system's certificate authorities. A certificate error always
// stops the connection; nothing here can turn that off. A file here that
// cannot be read, or holds no PEM certificate (or key), is a RegistryFault
// (Tls) from openConnection: the run stops as for a refused certificate.
struct TlsSettings {
    QString caFile;         // PEM: trusted besides the system's authorities
    QString clientCertFile; // PEM, optional
    QString clientKeyFile;  // PEM, optional (unencrypted)
};

struct ConnectionSettings {
    RegistryEndpoint endpoint;
    RegistryCredentials credentials;
    TlsSettings tls;
    int timeoutMs = 30000;
};

} // namespace marrowick
