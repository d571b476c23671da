#pragma once
#include <QFile>
#include <QHostAddress>
#include <QObject>
#include <QString>
#include <optional>

class QTcpServer;
class QTcpSocket;

namespace marrowick::sim {

class RegistryService;

struct ServerOptions {
    // With a user, SOAP submissions must carry this user and password.
    QString user, password;
    int dropAfter = -1; // the connection carrying message dropAfter+1 is closed unanswered; -1 never
    QString logFile;    // one line per HL7 message received: its type and control ID
};

// The registry's test interface on loopback: MLLP, and the CDC web service
// over SOAP 1.2 on a minimal HTTP/1.1 server. Both hand every HL7 message to
// one RegistryService, in the order they arrive.
class SimServer : public QObject {
public:
    SimServer(RegistryService& service, ServerOptions options, QObject* parent = nullptr);

    // The port bound (a free one for port 0); nullopt, with the cause, when
    // the address cannot be listened on.
    std::optional<quint16> listenMllp(const QHostAddress& address, quint16 port, QString* problem);
    std::optional<quint16> listenSoap(const QHostAddress& address, quint16 port, QString* problem);
    // False when the log cannot be opened for appending.
    bool openLog(QString* problem);

private:
    void serveMllp(QTcpSocket* socket);
    void serveSoap(QTcpSocket* socket);
    QByteArray soapAnswer(const QByteArray& body, int& status, bool& drop);
    // The service's answer; nullopt when this message is the one to drop.
    std::optional<QByteArray> receive(const QByteArray& message);
    std::optional<quint16> listen(QTcpServer* server, const QHostAddress& address, quint16 port, QString* problem);

    RegistryService& m_service;
    ServerOptions m_options;
    QTcpServer* m_mllp;
    QTcpServer* m_soap;
    QFile m_log;
    int m_received = 0;
};

} // namespace marrowick::sim
