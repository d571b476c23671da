#include "ImmunizationQuery.h"

#include "Acknowledgement.h"
#include "Hl7Message.h"
#include "RegistryFault.h"
#include "export/DeckExport.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QStringList>
#include <cstdlib>

namespace marrowick {

namespace {

QString phone(const QString& digits)
{
    if (digits.isEmpty()) return {};
    if (digits.size() != 10) return hl7Components({digits, QStringLiteral("PRN"), QStringLiteral("PH")});
    return hl7Components(
        {QString(), QStringLiteral("PRN"), QStringLiteral("PH"), QString(), QString(), digits.left(3), digits.mid(3)});
}

QString qpd(const QueryPerson& p, const QString& tag)
{
    return QStringList{
        QStringLiteral("QPD"),
        QStringLiteral("Z34^Request Immunization History^CDCPHINVS"),
        hl7Escape(tag),
        hl7Components({p.recordNumber, QString(), QString(), p.authority, QStringLiteral("MR")}),
        hl7Components({p.last, p.first, p.middle, p.suffix, QString(), QString(), QStringLiteral("L")}),
        p.momMaiden.isEmpty()
            ? QString()
            : hl7Components({p.momMaiden, p.momFirst, QString(), QString(), QString(), QString(), QStringLiteral("M")}),
        hl7Escape(p.dob),
        hl7Escape(p.sex),
        p.street.isEmpty() && p.city.isEmpty() && p.zip.isEmpty()
            ? QString()
            : hl7Components({p.street, QString(), p.city, p.state, p.zip, QStringLiteral("USA"), QStringLiteral("L")}),
        phone(p.phone),
        hl7Escape(p.multipleBirth),
        hl7Escape(p.birthOrder),
    }
        .join(QLatin1Char('|'));
}

} // namespace

QByteArray writeQuery(const QueryPerson& person, const QString& controlId, const QString& sendingFacility)
{
    // MSH-1 and MSH-2 are the delimiters themselves, written as they are.
    const QString msh =
        QStringLiteral("MSH|^~\\&|MARROWICK|%1|||%2||QBP^Q11^QBP_Q11|%3|T|2.5.1|||ER|AL|||||"
                       "Z34^CDCPHINVS")
            .arg(hl7Escape(sendingFacility), hl7Time(QDateTime::currentDateTime()), hl7Escape(controlId));
    // The query tag is the control ID, so that an answer names the query it answers.
    const QString rcp = QStringLiteral("RCP|I|20^RD&Records&HL70126|R^real-time^HL70394");
    return (msh + u'\r' + qpd(person, controlId) + u'\r' + rcp + u'\r').toUtf8();
}

std::optional<FlagField> FlagField::parse(const QString& text, QString* problem)
{
    static const QRegularExpression form(QStringLiteral(R"(^([A-Za-z][A-Za-z0-9]{2})(?:\[([^\]]+)\])?-(\d+)=(.+)$)"));
    const QRegularExpressionMatch match = form.match(text.trimmed());
    auto refuse = [problem](const QString& why) {
        if (problem) *problem = why;
        return std::nullopt;
    };
    if (!match.hasMatch())
        return refuse(QStringLiteral("the flag field %1 is neither SEG-N=VALUE (as OBX-5=PD) nor "
                                     "OBX[CODE]-N=VALUE (as OBX[PDFLAG]-5=Y)")
                          .arg(text));
    FlagField flag;
    flag.segment = match.captured(1).toUpper();
    flag.observationCode = match.captured(2).trimmed();
    flag.field = match.captured(3).toInt();
    flag.flaggedValue = match.captured(4).trimmed();
    if (!match.captured(2).isNull() && flag.segment != u"OBX")
        return refuse(QStringLiteral("only an OBX names an observation code, as OBX[PDFLAG]-5=Y, not %1").arg(text));
    if (!match.captured(2).isNull() && flag.observationCode.isEmpty())
        return refuse(QStringLiteral("the flag field %1 names an empty observation code").arg(text));
    if (flag.field < 1 || flag.field > 999)
        return refuse(QStringLiteral("the flag field %1 names no field: they count from 1").arg(text));
    if (flag.flaggedValue.isEmpty()) return refuse(QStringLiteral("the flag field %1 names no value").arg(text));
    return flag;
}

QString FlagField::text() const
{
    const QString code = observationCode.isEmpty() ? QString() : QStringLiteral("[%1]").arg(observationCode);
    return QStringLiteral("%1%2-%3=%4").arg(segment, code).arg(field).arg(flaggedValue);
}

namespace {

// Whether one segment carries the flag: the field's first component, in any
// of its repetitions, is the flagged value (in any letter case).
bool carriesFlag(const Hl7Segment& segment, const FlagField& flag)
{
    if (segment.id() != flag.segment) return false;
    if (!flag.observationCode.isEmpty() && segment.value(3).compare(flag.observationCode, Qt::CaseInsensitive) != 0)
        return false;
    for (int r = 1; r <= segment.repetitions(flag.field); ++r)
        if (segment.value(flag.field, 1, r).trimmed().compare(flag.flaggedValue, Qt::CaseInsensitive) == 0) return true;
    return false;
}

RegistryClient clientOf(const Hl7Segment& pid)
{
    RegistryClient client;
    for (int r = 1; r <= pid.repetitions(3); ++r)
        if (pid.value(3, 5, r) == u"SR") {
            client.clientId = pid.value(3, 1, r);
            break;
        }
    client.last = pid.subvalue(5, 1, 1);
    client.first = pid.value(5, 2);
    client.middle = pid.value(5, 3);
    client.suffix = pid.value(5, 4);
    client.momMaiden = pid.subvalue(6, 1, 1);
    client.dob = pid.value(7).left(8);
    client.sex = pid.value(8);
    return client;
}

// Each PID begins a client; what follows it, up to the next PID, is that client's.
QList<RegistryClient> clientsIn(const Hl7Message& answer, const std::optional<FlagField>& flag)
{
    QList<RegistryClient> clients;
    for (const Hl7Segment& segment : answer.segments()) {
        const QString id = segment.id();
        if (id == u"PID") clients << clientOf(segment);
        if (clients.isEmpty()) continue;
        RegistryClient& client = clients.last();
        if (id == u"NK1" && segment.value(3) == u"MTH" && client.momLast.isEmpty()) {
            client.momLast = segment.subvalue(2, 1, 1);
            client.momFirst = segment.value(2, 2);
            client.momMiddle = segment.value(2, 3);
        } else if (id == u"RXA") {
            client.doses << RegistryClient::Dose{segment.value(5), segment.value(3).left(8), segment.value(17)};
        }
        if (flag && carriesFlag(segment, *flag)) client.flagged = true;
    }
    return clients;
}

// The registry's words from its ERR segments; the fallback when it gave none.
QueryAnswer errorAnswer(QueryAnswer answer, const Hl7Message& message, const QString& fallback)
{
    answer.kind = QueryAnswer::Kind::Error;
    if (!message.first(QStringLiteral("MSA")).id().isEmpty())
        answer.errorText = Acknowledgement::read(message).errorText();
    if (answer.errorText.isEmpty()) answer.errorText = fallback;
    return answer;
}

QString unexplained(const QString& code)
{
    return QStringLiteral("the registry answered %1 without saying why").arg(code);
}

} // namespace

QueryAnswer QueryAnswer::read(const QByteArray& bytes, const std::optional<FlagField>& flag)
{
    const Hl7Message message = Hl7Message::parse(bytes);
    const QString type = message.type();
    const QString ackCode = message.value(QStringLiteral("MSA"), 1);
    QueryAnswer answer;
    // A registry that cannot read the query at all may answer with a plain ACK.
    if (type.startsWith(QStringLiteral("ACK")) && ackCode != u"AA" && ackCode != u"CA" && !ackCode.isEmpty())
        return errorAnswer(answer, message, unexplained(ackCode));
    if (type != u"RSP^K11")
        throw RegistryFault(
            RegistryFault::Kind::Protocol,
            QStringLiteral("the registry answered a query with %1 where RSP^K11 was expected")
                .arg(message.first(QStringLiteral("MSH")).id().isEmpty() ? QStringLiteral("no HL7 message") : type));
    answer.profile = message.value(QStringLiteral("MSH"), 21);
    answer.status = message.value(QStringLiteral("QAK"), 2);
    if (ackCode == u"AE" || ackCode == u"AR") return errorAnswer(answer, message, unexplained(ackCode));
    if (answer.status == u"AE" || answer.status == u"AR")
        return errorAnswer(answer, message, unexplained(answer.status));
    if (answer.status == u"NF") {
        answer.kind = Kind::NotFound;
        return answer;
    }
    answer.clients = clientsIn(message, flag);
    // TM (too many) and PD (protected) name no client, yet the record may be there.
    if (answer.clients.isEmpty())
        return errorAnswer(answer, message,
                           QStringLiteral("the registry answered QAK-2 %1 and named no client").arg(answer.status));
    const bool candidates = answer.profile == u"Z31" || (answer.profile != u"Z32" && answer.clients.size() > 1);
    answer.kind = candidates ? Kind::Several : Kind::One;
    return answer;
}

} // namespace marrowick
