#pragma once
#include <QByteArray>
#include <QHash>
#include <QString>
#include <QUrl>
#include <optional>

namespace marrowick {

// The little of HTTP/1.1 that the web service's client needs, written here
// rather than borrowed from QNetworkAccessManager, which sends a POST again
// by itself when a server hangs up before answering: a registry would be
// given a message twice with nobody knowing.
struct HttpAnswer {
    int status = 0;
    QString reason;
    QHash<QByteArray, QByteArray> headers; // names in lower case
    QByteArray body;
    bool keepAlive = true; // the connection may carry the next request

    // Takes one whole answer off the front of pending (interim 1xx answers
    // skipped): a body of Content-Length bytes, a chunked one, or, without
    // either, one that ends when the server closes (closed). nullopt until
    // it is complete. Throws RegistryFault (Protocol) for bytes that are no
    // HTTP answer.
    static std::optional<HttpAnswer> take(QByteArray& pending, bool closed);
};

// A POST of body to url, keeping the connection open.
QByteArray writeHttpPost(const QUrl& url, const QByteArray& contentType, const QByteArray& body);

} // namespace marrowick
