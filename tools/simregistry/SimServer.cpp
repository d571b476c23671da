#include "SimServer.h"

#include "RegistryService.h"
#include "registry/Hl7Message.h"
#include "registry/Mllp.h"
#include "registry/SoapEnvelope.h"
#include "HttpReader.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <memory>

namespace marrowick::sim {

SimServer::SimServer(RegistryService& service, ServerOptions options, QObject* parent)
    : QObject(parent), m_service(service), m_options(std::move(options)), m_mllp(new QTcpServer(this)),
      m_soap(new QTcpServer(this))
{
    connect(m_mllp, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = m_mllp->nextPendingConnection()) serveMllp(socket);
    });
    connect(m_soap, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = m_soap->nextPendingConnection()) serveSoap(socket);
    });
}

std::optional<quint16> SimServer::listen(QTcpServer* server, const QHostAddress& address, quint16 port,
                                         QString* problem)
{
    // A test registry answers this machine only.
    if (!address.isLoopback()) {
        *problem = QStringLiteral("%1 is not a loopback address").arg(address.toString());
        return std::nullopt;
    }
    if (!server->listen(address, port)) {
        *problem = server->errorString();
        return std::nullopt;
    }
    return server->serverPort();
}

std::optional<quint16> SimServer::listenMllp(const QHostAddress& address, quint16 port, QString* problem)
{
    return listen(m_mllp, address, port, problem);
}

std::optional<quint16> SimServer::listenSoap(const QHostAddress& address, quint16 port, QString* problem)
{
    return listen(m_soap, address, port, problem);
}

bool SimServer::openLog(QString* problem)
{
    if (m_options.logFile.isEmpty()) return true;
    m_log.setFileName(m_options.logFile);
    if (m_log.open(QIODevice::WriteOnly | QIODevice::Append)) return true;
    *problem = m_log.errorString();
    return false;
}

std::optional<QByteArray> SimServer::receive(const QByteArray& message)
{
    ++m_received;
    if (m_log.isOpen()) {
        const Hl7Message parsed = Hl7Message::parse(message);
        const QString type = parsed.type().isEmpty() ? QStringLiteral("-") : parsed.type();
        const QString control = parsed.controlId().isEmpty() ? QStringLiteral("-") : parsed.controlId();
        m_log.write((type + QLatin1Char(' ') + control + QLatin1Char('\n')).toUtf8());
        m_log.flush();
    }
    // Once per run, as a network would: the message arrived, its answer never does.
    if (m_options.dropAfter >= 0 && m_received == m_options.dropAfter + 1) return std::nullopt;
    return m_service.answer(message);
}

void SimServer::serveMllp(QTcpSocket* socket)
{
    auto buffer = std::make_shared<MllpBuffer>();
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QTcpSocket::readyRead, this, [this, socket, buffer] {
        buffer->append(socket->readAll());
        if (buffer->overflowing()) return socket->abort();
        while (const std::optional<QByteArray> message = buffer->next()) {
            const std::optional<QByteArray> answer = receive(*message);
            if (!answer) return socket->abort();
            socket->write(mllpFrame(*answer));
        }
    });
}

QByteArray SimServer::soapAnswer(const QByteArray& body, int& status, bool& drop)
{
    QString problem;
    const std::optional<SoapRequest> request = readSoapRequest(body, &problem);
    status = 500;
    if (!request) return writeSoapFault({SoapFault::Kind::Unknown, QString(), problem});
    if (request->operation == SoapRequest::Operation::ConnectivityTest) {
        status = 200;
        return writeSoapResponse(request->operation, request->echoBack);
    }
    if (!m_options.user.isEmpty() && (request->username != m_options.user || request->password != m_options.password))
        return writeSoapFault({SoapFault::Kind::Security, QStringLiteral("SecurityFault"),
                               QStringLiteral("Invalid username or password")});
    const std::optional<QByteArray> answer = receive(request->hl7Message.toUtf8());
    drop = !answer;
    status = 200;
    return answer ? writeSoapResponse(request->operation, QString::fromUtf8(*answer)) : QByteArray();
}

namespace {

QByteArray httpResponse(int status, const QByteArray& body, bool keepAlive)
{
    const QByteArray reason = status == 200 ? "OK" : status == 500 ? "Internal Server Error" : "Method Not Allowed";
    return "HTTP/1.1 " + QByteArray::number(status) + ' ' + reason
           + "\r\nContent-Type: application/soap+xml; charset=utf-8\r\nContent-Length: "
           + QByteArray::number(body.size()) + "\r\nConnection: " + (keepAlive ? "keep-alive" : "close") + "\r\n\r\n"
           + body;
}

} // namespace

void SimServer::serveSoap(QTcpSocket* socket)
{
    auto reader = std::make_shared<HttpReader>();
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QTcpSocket::readyRead, this, [this, socket, reader] {
        reader->append(socket->readAll());
        while (const std::optional<HttpRequest> request = reader->next()) {
            int status = 405;
            bool drop = false;
            const QByteArray body = request->method == "POST" ? soapAnswer(request->body, status, drop) : QByteArray();
            if (drop) return socket->abort();
            socket->write(httpResponse(status, body, request->keepAlive));
            if (!request->keepAlive) return socket->disconnectFromHost();
        }
        if (reader->failure().isEmpty()) return;
        // The web service has its own word for a message too large; the rest is HTTP's.
        if (reader->failure().startsWith("413"))
            socket->write(
                httpResponse(500,
                             writeSoapFault({SoapFault::Kind::MessageTooLarge, QStringLiteral("MessageTooLargeFault"),
                                             QStringLiteral("The message is larger than this service takes")}),
                             false));
        else
            socket->write("HTTP/1.1 " + reader->failure() + "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
        socket->disconnectFromHost();
    });
}

} // namespace marrowick::sim
