#include "HttpReader.h"

#include <QList>

namespace marrowick::sim {

std::optional<HttpRequest> HttpReader::next()
{
    if (!m_failure.isEmpty()) return std::nullopt;
    const qsizetype headEnd = m_pending.indexOf("\r\n\r\n");
    if (headEnd < 0) {
        if (m_pending.size() > kHeaderLimit) m_failure = "431 Request Header Fields Too Large";
        return std::nullopt;
    }
    const QList<QByteArray> lines = m_pending.left(headEnd).split('\n');
    const QList<QByteArray> requestLine = lines.first().trimmed().split(' ');
    if (requestLine.size() != 3 || !requestLine[2].startsWith("HTTP/1.")) {
        m_failure = "400 Bad Request";
        return std::nullopt;
    }
    HttpRequest request;
    request.method = requestLine[0];
    request.path = requestLine[1];
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon > 0)
            request.headers.insert(lines[i].left(colon).trimmed().toLower(), lines[i].mid(colon + 1).trimmed());
    }
    bool numeric = true;
    const qsizetype length = request.headers.value("content-length", "0").toLongLong(&numeric);
    if (request.headers.contains("transfer-encoding") || !numeric || length < 0) {
        m_failure = "411 Length Required";
        return std::nullopt;
    }
    if (length > kBodyLimit) {
        m_failure = "413 Content Too Large";
        return std::nullopt;
    }
    if (m_pending.size() < headEnd + 4 + length) return std::nullopt;
    request.body = m_pending.mid(headEnd + 4, length);
    m_pending.remove(0, headEnd + 4 + length);
    const QByteArray connection = request.headers.value("connection").toLower();
    request.keepAlive = requestLine[2] == "HTTP/1.1" ? connection != "close" : connection == "keep-alive";
    return request;
}

} // namespace marrowick::sim
