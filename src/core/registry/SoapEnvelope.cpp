#include "SoapEnvelope.h"

#include <QHash>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

namespace marrowick {

namespace {
const QString kSoapNs = QStringLiteral("http://www.w3.org/2003/05/soap-envelope");
const QString kIisNs = QString::fromLatin1(kIisNamespace);

const char* operationName(SoapRequest::Operation operation)
{
    return operation == SoapRequest::Operation::ConnectivityTest ? "connectivityTest" : "submitSingleMessage";
}

// An element of text. HL7 ends its segments with a carriage return, which an
// XML reader would turn into a line feed unless it is written as a reference.
void writeText(QXmlStreamWriter& w, const QString& ns, const QString& name, const QString& text)
{
    w.writeStartElement(ns, name);
    const QStringList pieces = text.split(QLatin1Char('\r'));
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        if (i > 0) w.writeEntityReference(QStringLiteral("#xD"));
        w.writeCharacters(pieces[i]);
    }
    w.writeEndElement();
}

// An envelope with one body element in the service's namespace; fill writes its children.
template <typename Fill>
QByteArray envelope(const QString& element, const QString& elementNs, Fill fill)
{
    QByteArray xml;
    QXmlStreamWriter w(&xml);
    w.writeStartDocument();
    w.writeNamespace(kSoapNs, QStringLiteral("soap"));
    w.writeNamespace(kIisNs, QStringLiteral("urn"));
    w.writeStartElement(kSoapNs, QStringLiteral("Envelope"));
    w.writeEmptyElement(kSoapNs, QStringLiteral("Header"));
    w.writeStartElement(kSoapNs, QStringLiteral("Body"));
    w.writeStartElement(elementNs, element);
    fill(w);
    w.writeEndDocument(); // closes every element still open
    return xml;
}

// The children of the current element, by local name, as text (nested
// elements are read for their text too). Leaves the reader at its end.
QHash<QString, QString> childTexts(QXmlStreamReader& r)
{
    QHash<QString, QString> texts;
    while (r.readNextStartElement()) {
        const QString name = r.name().toString();
        texts.insert(name, r.readElementText(QXmlStreamReader::IncludeChildElements));
    }
    return texts;
}

// Moves the reader to the first child of soap:Body; false when there is none.
bool enterBody(QXmlStreamReader& r)
{
    while (!r.atEnd()) {
        r.readNext();
        if (r.isStartElement() && r.name() == QLatin1String("Body") && r.namespaceUri() == kSoapNs)
            return r.readNextStartElement();
    }
    return false;
}

QString problemOf(const QXmlStreamReader& r, const char* fallback)
{
    return r.hasError() ? QStringLiteral("The answer is not well-formed XML: %1 (line %2).")
                              .arg(r.errorString())
                              .arg(r.lineNumber())
                        : QString::fromLatin1(fallback);
}

SoapFault readFault(QXmlStreamReader& r)
{
    SoapFault fault;
    QString soapReason;
    while (r.readNextStartElement()) {
        if (r.name() == QLatin1String("Reason")) {
            soapReason = r.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
        } else if (r.name() == QLatin1String("Detail") || r.name() == QLatin1String("detail")) {
            while (r.readNextStartElement()) {
                const QString kind = r.name().toString();
                fault.kind = kind == QLatin1String("SecurityFault")          ? SoapFault::Kind::Security
                             : kind == QLatin1String("MessageTooLargeFault") ? SoapFault::Kind::MessageTooLarge
                                                                             : SoapFault::Kind::Unknown;
                const QHash<QString, QString> texts = childTexts(r);
                fault.code = texts.value(QStringLiteral("Code")).trimmed();
                fault.reason = texts.value(QStringLiteral("Reason")).trimmed();
                const QString detail = texts.value(QStringLiteral("Detail")).trimmed();
                if (!detail.isEmpty() && detail != fault.reason)
                    fault.reason += (fault.reason.isEmpty() ? QString() : QStringLiteral(": ")) + detail;
            }
        } else {
            r.skipCurrentElement();
        }
    }
    if (fault.reason.isEmpty()) fault.reason = soapReason;
    return fault;
}
} // namespace

QString SoapFault::name() const
{
    switch (kind) {
    case Kind::Security:
        return QStringLiteral("SecurityFault");
    case Kind::MessageTooLarge:
        return QStringLiteral("MessageTooLargeFault");
    case Kind::Unknown:
        break;
    }
    return QStringLiteral("UnknownFault");
}

QByteArray writeSoapRequest(const SoapRequest& request)
{
    return envelope(QString::fromLatin1(operationName(request.operation)), kIisNs, [&](QXmlStreamWriter& w) {
        if (request.operation == SoapRequest::Operation::ConnectivityTest) {
            w.writeTextElement(kIisNs, QStringLiteral("echoBack"), request.echoBack);
            return;
        }
        w.writeTextElement(kIisNs, QStringLiteral("username"), request.username);
        w.writeTextElement(kIisNs, QStringLiteral("password"), request.password);
        w.writeTextElement(kIisNs, QStringLiteral("facilityID"), request.facilityId);
        writeText(w, kIisNs, QStringLiteral("hl7Message"), request.hl7Message);
    });
}

QByteArray writeSoapResponse(SoapRequest::Operation operation, const QString& returnText)
{
    const QString element = QString::fromLatin1(operationName(operation)) + QStringLiteral("Response");
    return envelope(element, kIisNs,
                    [&](QXmlStreamWriter& w) { writeText(w, kIisNs, QStringLiteral("return"), returnText); });
}

QByteArray writeSoapFault(const SoapFault& fault)
{
    return envelope(QStringLiteral("Fault"), kSoapNs, [&](QXmlStreamWriter& w) {
        w.writeStartElement(kSoapNs, QStringLiteral("Code"));
        // Bad credentials and oversized messages are the sender's to mend.
        w.writeTextElement(kSoapNs, QStringLiteral("Value"),
                           fault.kind == SoapFault::Kind::Unknown ? QStringLiteral("soap:Receiver")
                                                                  : QStringLiteral("soap:Sender"));
        w.writeEndElement();
        w.writeStartElement(kSoapNs, QStringLiteral("Reason"));
        w.writeStartElement(kSoapNs, QStringLiteral("Text"));
        w.writeAttribute(QStringLiteral("xml:lang"), QStringLiteral("en"));
        w.writeCharacters(fault.reason);
        w.writeEndElement();
        w.writeEndElement();
        w.writeStartElement(kSoapNs, QStringLiteral("Detail"));
        w.writeStartElement(kIisNs, fault.name());
        w.writeTextElement(kIisNs, QStringLiteral("Code"), fault.code);
        w.writeTextElement(kIisNs, QStringLiteral("Reason"), fault.reason);
        w.writeTextElement(kIisNs, QStringLiteral("Detail"), QString());
    });
}

std::optional<SoapRequest> readSoapRequest(const QByteArray& xml, QString* problem)
{
    QXmlStreamReader r(xml);
    if (!enterBody(r)) {
        if (problem) *problem = problemOf(r, "The request has no SOAP body.");
        return std::nullopt;
    }
    SoapRequest request;
    const QString name = r.name().toString();
    if (name == QLatin1String("connectivityTest"))
        request.operation = SoapRequest::Operation::ConnectivityTest;
    else if (name != QLatin1String("submitSingleMessage")) {
        if (problem) *problem = QStringLiteral("The operation %1 is not offered.").arg(name);
        return std::nullopt;
    }
    const QHash<QString, QString> texts = childTexts(r);
    if (r.hasError()) {
        if (problem) *problem = problemOf(r, "");
        return std::nullopt;
    }
    request.echoBack = texts.value(QStringLiteral("echoBack"));
    request.username = texts.value(QStringLiteral("username"));
    request.password = texts.value(QStringLiteral("password"));
    request.facilityId = texts.value(QStringLiteral("facilityID"));
    request.hl7Message = texts.value(QStringLiteral("hl7Message"));
    return request;
}

std::optional<SoapResponse> readSoapResponse(const QByteArray& xml, QString* problem)
{
    QXmlStreamReader r(xml);
    if (!enterBody(r)) {
        if (problem) *problem = problemOf(r, "The answer has no SOAP body.");
        return std::nullopt;
    }
    SoapResponse response;
    if (r.name() == QLatin1String("Fault") && r.namespaceUri() == kSoapNs) {
        response.fault = readFault(r);
    } else if (r.name().endsWith(QLatin1String("Response"))) {
        response.returnText = childTexts(r).value(QStringLiteral("return"));
    } else {
        if (problem)
            *problem = QStringLiteral("The answer %1 is neither a response nor a fault.").arg(r.name().toString());
        return std::nullopt;
    }
    if (r.hasError()) {
        if (problem) *problem = problemOf(r, "");
        return std::nullopt;
    }
    return response;
}

} // namespace marrowick
