#pragma once
#include <QByteArray>
#include <QString>
#include <optional>

namespace marrowick {

// The CDC's immunization web service (namespace urn:cdc:iisb:2011) over SOAP
// 1.2: the two operations a registry's test interface offers, their answers
// and its three faults. Both ends are here: the client's, and the one the
// registry simulator serves.
inline constexpr const char* kIisNamespace = "urn:cdc:iisb:2011";

struct SoapRequest {
    enum class Operation { ConnectivityTest, SubmitSingleMessage };
    Operation operation = Operation::SubmitSingleMessage;
    QString echoBack;                       // connectivityTest
    QString username, password, facilityId; // submitSingleMessage
    QString hl7Message;                     // submitSingleMessage
};

struct SoapFault {
    enum class Kind { Security, MessageTooLarge, Unknown };
    Kind kind = Kind::Unknown;
    QString code;   // the fault's own code, when it gives one
    QString reason; // the fault's text, as the registry worded it
    // "SecurityFault", "MessageTooLargeFault" or "UnknownFault".
    QString name() const;
};

struct SoapResponse {
    std::optional<SoapFault> fault;
    QString returnText; // connectivityTest's echo, or the HL7 acknowledgement
};

QByteArray writeSoapRequest(const SoapRequest& request);
QByteArray writeSoapResponse(SoapRequest::Operation operation, const QString& returnText);
QByteArray writeSoapFault(const SoapFault& fault);

// nullopt (with the cause in problem) when the body is not one of the two requests.
std::optional<SoapRequest> readSoapRequest(const QByteArray& xml, QString* problem = nullptr);
// nullopt (with the cause) when the body is neither an answer nor a fault.
std::optional<SoapResponse> readSoapResponse(const QByteArray& xml, QString* problem = nullptr);

} // namespace marrowick
