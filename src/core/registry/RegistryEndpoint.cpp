#include "RegistryEndpoint.h"

namespace marrowick {

namespace {

std::optional<RegistryEndpoint> refuse(QString* problem, const QString& text)
{
    if (problem) *problem = text;
    return std::nullopt;
}

} // namespace

std::optional<RegistryEndpoint> RegistryEndpoint::parse(const QString& text, QString* problem)
{
    const QUrl url(text.trimmed(), QUrl::StrictMode);
    // The problem texts never quote the address: one typed with a password in
    // it would show that password on the terminal.
    if (text.trimmed().isEmpty()) return refuse(problem, QStringLiteral("the endpoint is empty"));
    if (!url.isValid() || url.isRelative())
        return refuse(problem, QStringLiteral("the endpoint is not an address: give https://host/path, "
                                              "http://host/path, mllp://host:port or mllps://host:port"));
    const QString scheme = url.scheme().toLower();
    RegistryEndpoint endpoint;
    endpoint.url = url;
    if (scheme == u"https" || scheme == u"http") {
        endpoint.transport = Transport::Soap;
        endpoint.tls = scheme == u"https";
    } else if (scheme == u"mllp" || scheme == u"mllps") {
        endpoint.transport = Transport::Mllp;
        endpoint.tls = scheme == u"mllps";
    } else {
        return refuse(
            problem,
            QStringLiteral("the endpoint's scheme %1 is none of https, http, mllp and mllps").arg(url.scheme()));
    }
    if (url.host().isEmpty()) return refuse(problem, QStringLiteral("the endpoint names no host"));
    if (!url.userInfo().isEmpty())
        return refuse(problem, QStringLiteral("the endpoint holds a user name or password: give the user with "
                                              "--user and the password in MARROWICK_PASSWORD"));
    if (endpoint.transport == Transport::Mllp) {
        if (url.port() <= 0) return refuse(problem, QStringLiteral("an MLLP endpoint needs a port: mllp://host:port"));
        if (!url.path().isEmpty() && url.path() != u"/")
            return refuse(problem, QStringLiteral("an MLLP endpoint has no path: mllp://host:port"));
        if (url.hasQuery() || url.hasFragment())
            return refuse(problem, QStringLiteral("an MLLP endpoint has no query: mllp://host:port"));
    }
    return endpoint;
}

quint16 RegistryEndpoint::port() const
{
    const int defaultPort = transport == Transport::Soap ? (tls ? 443 : 80) : 0;
    return static_cast<quint16>(url.port(defaultPort));
}

} // namespace marrowick
