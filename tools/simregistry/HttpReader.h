#pragma once
#include <QByteArray>
#include <QHash>
#include <optional>

namespace marrowick::sim {

struct HttpRequest {
    QByteArray method, path;
    QHash<QByteArray, QByteArray> headers; // names in lower case
    QByteArray body;
    bool keepAlive = true;
};

// Just enough HTTP/1.1 for a SOAP client: a request line, headers, and a body
// of Content-Length bytes; requests follow each other on one connection.
// Chunked bodies are refused, as are requests larger than any SOAP message
// of the deck.
class HttpReader {
public:
    void append(const QByteArray& bytes) { m_pending += bytes; }
    // The next whole request; nullopt until one is complete or when failed().
    std::optional<HttpRequest> next();
    // What made the stream unreadable; empty while it is fine.
    const QByteArray& failure() const { return m_failure; }

private:
    static constexpr qsizetype kHeaderLimit = 64 * 1024;
    static constexpr qsizetype kBodyLimit = 4 * 1024 * 1024;
    QByteArray m_pending;
    QByteArray m_failure;
};

} // namespace marrowick::sim
