#include "RegistryConnection.h"

#include "HttpAnswer.h"
#include "Mllp.h"
#include "RegistryLink.h"
#include "SoapEnvelope.h"

namespace marrowick {

namespace {

using Kind = RegistryFault::Kind;

// HL7 over MLLP: one message goes, then its answer is awaited.
class MllpConnection final : public RegistryConnection {
public:
    explicit MllpConnection(const ConnectionSettings& settings) : m_link(settings) {}

    QString test() override
    {
        m_link.open();
        if (!m_link.endpoint().tls) return QStringLiteral("connected to %1").arg(m_link.where());
        return QStringLiteral("connected to %1 over TLS, certificate of %2").arg(m_link.where(), m_link.peerName());
    }

    QByteArray exchange(const QByteArray& message) override
    {
        m_link.send(mllpFrame(message));
        MllpBuffer buffer;
        std::optional<QByteArray> answer;
        m_link.await(
            [&] {
                buffer.append(m_link.received());
                m_link.received().clear();
                if (buffer.overflowing())
                    m_link.fail({Kind::Protocol, QStringLiteral("the registry at %1 sent more than an answer without "
                                                                "an MLLP frame's end")
                                                     .arg(m_link.where())});
                answer = buffer.next();
                return answer.has_value();
            },
            QStringLiteral("answer"));
        return *answer;
    }

private:
    RegistryLink m_link;
};

// HL7 inside the CDC web service's SOAP 1.2 envelope, POSTed to the endpoint
// over a connection kept open while the server allows.
class SoapConnection final : public RegistryConnection {
public:
    explicit SoapConnection(const ConnectionSettings& settings) : m_link(settings), m_credentials(settings.credentials)
    {
    }

    QString test() override
    {
        SoapRequest request;
        request.operation = SoapRequest::Operation::ConnectivityTest;
        request.echoBack = QStringLiteral("Marrowick");
        return call(request).returnText;
    }

    QByteArray exchange(const QByteArray& message) override
    {
        SoapRequest request;
        request.operation = SoapRequest::Operation::SubmitSingleMessage;
        request.username = m_credentials.user;
        request.password = m_credentials.password;
        request.facilityId = m_credentials.facility;
        request.hl7Message = QString::fromUtf8(message);
        return call(request).returnText.toUtf8();
    }

private:
    SoapResponse call(const SoapRequest& request);
    SoapResponse read(const HttpAnswer& answer) const;

    RegistryLink m_link;
    RegistryCredentials m_credentials;
};

SoapResponse SoapConnection::call(const SoapRequest& request)
{
    const bool test = request.operation == SoapRequest::Operation::ConnectivityTest;
    const QByteArray contentType = QStringLiteral("application/soap+xml; charset=utf-8; action=\"%1:%2\"")
                                       .arg(QLatin1String(kIisNamespace), test ? QStringLiteral("connectivityTest")
                                                                               : QStringLiteral("submitSingleMessage"))
                                       .toLatin1();
    m_link.send(writeHttpPost(m_link.endpoint().url, contentType, writeSoapRequest(request)));
    std::optional<HttpAnswer> answer;
    m_link.await(
        [&] {
            try {
                answer = HttpAnswer::take(m_link.received(), m_link.closed());
            } catch (const RegistryFault& fault) {
                m_link.fail(fault);
            }
            return answer.has_value();
        },
        QStringLiteral("answer"));
    if (!answer->keepAlive) m_link.drop();
    return read(*answer);
}

SoapResponse SoapConnection::read(const HttpAnswer& answer) const
{
    // SOAP 1.2 sends a fault with status 500; some services send it with 200.
    QString problem;
    const std::optional<SoapResponse> response = readSoapResponse(answer.body, &problem);
    if (response && response->fault)
        throw RegistryFault(Kind::Soap, QStringLiteral("%1: %2").arg(response->fault->name(), response->fault->reason));
    // A redirect is not followed: it would carry the password to an address nobody gave.
    if (answer.status >= 300 && answer.status < 400)
        throw RegistryFault(Kind::Protocol,
                            QStringLiteral("the registry at %1 moved to %2; give that as the endpoint")
                                .arg(m_link.where(), QString::fromUtf8(answer.headers.value("location"))));
    if (answer.status != 200 || !response)
        throw RegistryFault(
            Kind::Protocol,
            QStringLiteral("the registry at %1 answered HTTP %2 %3%4")
                .arg(m_link.where())
                .arg(answer.status)
                .arg(answer.reason, response ? QString() : QStringLiteral(", not a SOAP answer: ") + problem));
    return *response;
}

} // namespace

std::unique_ptr<RegistryConnection> openConnection(const ConnectionSettings& settings)
{
    if (settings.endpoint.transport == RegistryEndpoint::Transport::Soap)
        return std::make_unique<SoapConnection>(settings);
    return std::make_unique<MllpConnection>(settings);
}

} // namespace marrowick
