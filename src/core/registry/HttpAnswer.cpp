#include "HttpAnswer.h"

#include "RegistryFault.h"

#include <QList>

namespace marrowick {

namespace {

// More than any SOAP service's headers: a peer sending this much without an
// end of its headers is not answering in HTTP.
constexpr qsizetype kHeaderLimit = 64 * 1024;

[[noreturn]] void refuse(const QString& why)
{
    throw RegistryFault(RegistryFault::Kind::Protocol,
                        QStringLiteral("the registry's answer is not HTTP: %1").arg(why));
}

// The status line and headers of an answer (without the blank line).
HttpAnswer readHead(const QByteArray& head)
{
    const QList<QByteArray> lines = head.split('\n');
    const QByteArray statusLine = lines.value(0).trimmed();
    const QList<QByteArray> parts = statusLine.split(' ');
    bool number = false;
    HttpAnswer answer;
    answer.status = parts.value(1).toInt(&number);
    if (!statusLine.startsWith("HTTP/1.") || !number || answer.status < 100 || answer.status > 599)
        refuse(QStringLiteral("the first line is \"%1\"").arg(QString::fromLatin1(statusLine.left(80))));
    answer.reason = QString::fromLatin1(parts.mid(2).join(' '));
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon <= 0) continue;
        answer.headers.insert(lines[i].left(colon).trimmed().toLower(), lines[i].mid(colon + 1).trimmed());
    }
    const QByteArray connection = answer.headers.value("connection").toLower();
    answer.keepAlive =
        statusLine.startsWith("HTTP/1.1") ? !connection.contains("close") : connection.contains("keep-alive");
    return answer;
}

// A chunked body from offset on: the body and where the answer ends, or
// nullopt until the last chunk and its trailer are there.
std::optional<std::pair<QByteArray, qsizetype>> dechunk(const QByteArray& pending, qsizetype offset)
{
    QByteArray body;
    for (;;) {
        const qsizetype lineEnd = pending.indexOf("\r\n", offset);
        if (lineEnd < 0) return std::nullopt;
        bool hex = false;
        const QByteArray sizeText = pending.mid(offset, lineEnd - offset).split(';').value(0).trimmed();
        const qint64 size = sizeText.toLongLong(&hex, 16);
        if (!hex || size < 0) refuse(QStringLiteral("a chunk's size is not a number"));
        offset = lineEnd + 2;
        if (size == 0) break;
        if (pending.size() < offset + size + 2) return std::nullopt;
        body += pending.mid(offset, size);
        offset += size + 2;
    }
    // Trailer fields, if any, up to a blank line.
    for (;;) {
        const qsizetype lineEnd = pending.indexOf("\r\n", offset);
        if (lineEnd < 0) return std::nullopt;
        const bool blank = lineEnd == offset;
        offset = lineEnd + 2;
        if (blank) return std::make_pair(body, offset);
    }
}

} // namespace

std::optional<HttpAnswer> HttpAnswer::take(QByteArray& pending, bool closed)
{
    for (;;) {
        const qsizetype headEnd = pending.indexOf("\r\n\r\n");
        if (headEnd < 0) {
            if (pending.size() > kHeaderLimit) refuse(QStringLiteral("its headers never end"));
            return std::nullopt;
        }
        HttpAnswer answer = readHead(pending.left(headEnd));
        const qsizetype bodyStart = headEnd + 4;
        if (answer.status < 200) { // 100 Continue and the like come before the answer
            pending.remove(0, bodyStart);
            continue;
        }
        if (answer.headers.value("transfer-encoding").toLower().contains("chunked")) {
            const auto chunked = dechunk(pending, bodyStart);
            if (!chunked) return std::nullopt;
            answer.body = chunked->first;
            pending.remove(0, chunked->second);
            return answer;
        }
        if (answer.headers.contains("content-length")) {
            bool number = false;
            const qint64 length = answer.headers.value("content-length").toLongLong(&number);
            if (!number || length < 0) refuse(QStringLiteral("its Content-Length is not a number"));
            if (pending.size() < bodyStart + length) return std::nullopt;
            answer.body = pending.mid(bodyStart, length);
            pending.remove(0, bodyStart + length);
            return answer;
        }
        if (!closed) return std::nullopt; // the body ends with the connection
        answer.body = pending.mid(bodyStart);
        answer.keepAlive = false;
        pending.clear();
        return answer;
    }
}

QByteArray writeHttpPost(const QUrl& url, const QByteArray& contentType, const QByteArray& body)
{
    QByteArray target = url.path(QUrl::FullyEncoded).toLatin1();
    if (target.isEmpty()) target = "/";
    if (url.hasQuery()) target += '?' + url.query(QUrl::FullyEncoded).toLatin1();
    return "POST " + target
           + " HTTP/1.1\r\nHost: " + url.authority(QUrl::FullyEncoded | QUrl::RemoveUserInfo).toLatin1()
           + "\r\nUser-Agent: Marrowick\r\nContent-Type: " + contentType
           + "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

} // namespace marrowick
