#include "RegistryService.h"

#include "export/DeckExport.h"
#include "registry/Acknowledgement.h"
#include "registry/Hl7Message.h"

#include <QDateTime>
#include <QRegularExpression>
#include <algorithm>

namespace marrowick::sim {

namespace {

const QString kAuthority = QStringLiteral("SIMIIS"); // the registry's own, for its client numbers

// The segment as it came, for echoing it back (QPD in the query's answer).
QString rawSegment(const QByteArray& text, const char* id)
{
    static const QRegularExpression lineEnd(QStringLiteral("\r\n|\r|\n"));
    const QString prefix = QLatin1String(id) + QLatin1Char('|');
    for (const QString& line : QString::fromUtf8(text).split(lineEnd))
        if (line.startsWith(prefix)) return line + QLatin1Char('\r');
    return {};
}

} // namespace

RegistryService::RegistryService(const RegistrySimulator& rules, QSet<int> rejected, FlagPlacement flag)
    : m_clients(rules), m_rejected(std::move(rejected)), m_flag(std::move(flag))
{
}

QString RegistryService::nextControlId() { return QStringLiteral("SIM%1").arg(++m_answers, 9, 10, QLatin1Char('0')); }

QByteArray RegistryService::answer(const QByteArray& text)
{
    const Hl7Message message = Hl7Message::parse(text);
    const QString type = message.type();
    if (type == QLatin1String("VXU^V04")) return takeVaccination(message);
    if (type == QLatin1String("QBP^Q11")) return answerQuery(message, text);
    const QString why = message.first(QStringLiteral("MSH")).id().isEmpty()
                            ? QStringLiteral("The message cannot be read: it has no MSH segment.")
                            : QStringLiteral("Message type %1 is not accepted here.").arg(type);
    return writeAcknowledgement(message, QStringLiteral("AE"), {{QStringLiteral("E"), why}}, nextControlId());
}

std::optional<TestRecord> RegistryService::readVaccination(const Hl7Message& m, QString* problem)
{
    const Hl7Segment pid = m.first(QStringLiteral("PID"));
    const Hl7Segment rxa = m.first(QStringLiteral("RXA"));
    static const QRegularExpression dose(QStringLiteral("^DT(\\d+)$"));
    const QRegularExpressionMatch id = dose.match(m.value(QStringLiteral("ORC"), 3));
    *problem = pid.id().isEmpty()   ? QStringLiteral("The message has no patient (PID segment).")
               : rxa.id().isEmpty() ? QStringLiteral("The message has no vaccination (RXA segment).")
               : !id.hasMatch()     ? QStringLiteral("ORC-3 does not name the test record (DT and its number).")
                                    : QString();
    if (!problem->isEmpty()) return std::nullopt;
    TestRecord r;
    r.id = id.captured(1).toInt();
    r.last = pid.value(5, 1);
    r.first = pid.value(5, 2);
    r.middle = pid.value(5, 3);
    r.suffix = pid.value(5, 4);
    r.momMaiden = pid.value(6, 1);
    r.dob = pid.value(7);
    r.sex = pid.value(8);
    Hl7Segment mother;
    for (const Hl7Segment& nk1 : m.all(QStringLiteral("NK1")))
        if (mother.id().isEmpty() || nk1.value(3) == QLatin1String("MTH")) mother = nk1;
    r.momLast = mother.value(2, 1);
    r.momFirst = mother.value(2, 2);
    r.momMiddle = mother.value(2, 3);
    r.cvx = rxa.value(5, 1);
    r.vacDate = rxa.value(3).left(8);
    r.mvx = rxa.value(17, 1);
    for (int rep = 1; rep <= std::max(1, pid.repetitions(3)); ++rep)
        if (rep == 1 || pid.value(3, 5, rep) == QLatin1String("MR")) {
            r.recordNumber = pid.value(3, 1, rep);
            r.authority = pid.value(3, 4, rep);
        }
    return r;
}

QByteArray RegistryService::takeVaccination(const Hl7Message& message)
{
    QString problem;
    const std::optional<TestRecord> record = readVaccination(message, &problem);
    QString code = QStringLiteral("AA");
    QList<AckError> errors;
    if (!record) {
        code = QStringLiteral("AE");
        errors << AckError{QStringLiteral("E"), problem};
    } else if (m_rejected.contains(record->id)) {
        code = QStringLiteral("AR");
        errors << AckError{QStringLiteral("E"), QStringLiteral("Record rejected by registry rule")};
    } else if (!m_clients.holds(record->id)) {
        // A record sent again (a retry, or a resend) is the same dose: it is
        // acknowledged again but kept once.
        m_clients.add(*record);
        m_byNumber.insert(record->recordNumber, {record->authority, record->id});
    }
    return writeAcknowledgement(message, code, errors, nextControlId());
}

QList<const SimClient*> RegistryService::clientsHolding(const QString& number, const QString& authority) const
{
    QList<const SimClient*> found;
    for (auto it = m_byNumber.constFind(number); it != m_byNumber.constEnd() && it.key() == number; ++it) {
        if (!authority.isEmpty() && it.value().first != authority) continue;
        const SimClient* client = m_clients.clientOf(it.value().second);
        if (client && !found.contains(client)) found << client;
    }
    // In the order the registry created them.
    std::sort(found.begin(), found.end(), [](const SimClient* a, const SimClient* b) { return a->id < b->id; });
    return found;
}

QString RegistryService::clientSegments(const SimClient& client, int setId) const
{
    const TestRecord& s = client.survivor;
    QStringList ids{
        hl7Components({m_clients.clientNumber(client), QString(), QString(), kAuthority, QStringLiteral("SR")})};
    for (const TestRecord& r : client.records)
        ids << hl7Components({r.recordNumber, QString(), QString(), r.authority, QStringLiteral("MR")});
    ids.removeDuplicates();
    QStringList pid(39);
    pid[0] = QString::number(setId);
    pid[2] = ids.join(QLatin1Char('~'));
    pid[4] = hl7Components({s.last, s.first, s.middle, s.suffix, QString(), QString(), QStringLiteral("L")});
    if (!s.momMaiden.isEmpty())
        pid[5] =
            hl7Components({s.momMaiden, s.momFirst, QString(), QString(), QString(), QString(), QStringLiteral("M")});
    pid[6] = hl7Escape(s.dob);
    pid[7] = hl7Escape(s.sex);
    // The flag goes where this registry's profile puts it.
    const QString flag = client.flagged ? m_flag.value : QString();
    if (m_flag.segment == QLatin1String("PID")) pid[m_flag.field - 1] = flag;
    QString text = hl7Segment(QStringLiteral("PID"), pid);
    if (m_flag.segment == QLatin1String("PD1") && client.flagged) {
        QStringList pd1(m_flag.field);
        pd1[m_flag.field - 1] = flag;
        text += hl7Segment(QStringLiteral("PD1"), pd1);
    } else if (m_flag.segment == QLatin1String("OBX")) {
        QStringList obx(std::max(m_flag.field, 11));
        obx[0] = QStringLiteral("1");
        obx[1] = QStringLiteral("ST");
        obx[2] = hl7Components({m_flag.code, QStringLiteral("Potential duplicate"), QStringLiteral("L")});
        obx[m_flag.field - 1] =
            client.flagged ? m_flag.value : (m_flag.value == QLatin1String("N") ? QString() : QStringLiteral("N"));
        obx[10] = QStringLiteral("F");
        text += hl7Segment(QStringLiteral("OBX"), obx);
    }
    if (!(s.momLast.isEmpty() && s.momFirst.isEmpty() && s.momMiddle.isEmpty()))
        text += hl7Segment(QStringLiteral("NK1"), {QStringLiteral("1"),
                                                   hl7Components({s.momLast, s.momFirst, s.momMiddle, QString(),
                                                                  QString(), QString(), QStringLiteral("L")}),
                                                   QStringLiteral("MTH^Mother^HL70063")});
    // Every dose of every record merged into the client.
    for (const TestRecord& r : client.records) {
        text += hl7Segment(QStringLiteral("ORC"),
                           {QStringLiteral("RE"), QString(),
                            hl7Components({QStringLiteral("DT%1").arg(r.id, 3, 10, QLatin1Char('0')), r.authority})});
        QStringList rxa(21);
        rxa[0] = QStringLiteral("0");
        rxa[1] = QStringLiteral("1");
        rxa[2] = hl7Escape(r.vacDate);
        rxa[3] = hl7Escape(r.vacDate);
        rxa[4] = hl7Escape(r.cvx) + QStringLiteral("^^CVX");
        rxa[5] = QStringLiteral("999");
        rxa[16] = hl7Escape(r.mvx) + QStringLiteral("^^MVX");
        rxa[19] = QStringLiteral("CP");
        rxa[20] = QStringLiteral("A");
        text += hl7Segment(QStringLiteral("RXA"), rxa);
    }
    return text;
}

QByteArray RegistryService::answerQuery(const Hl7Message& message, const QByteArray& text)
{
    const Hl7Segment msh = message.first(QStringLiteral("MSH"));
    const Hl7Segment qpd = message.first(QStringLiteral("QPD"));
    const QString number = qpd.value(3, 1);
    const bool readable = qpd.value(1) == QLatin1String("Z34") && !number.isEmpty();
    const QList<const SimClient*> found =
        readable ? clientsHolding(number, qpd.value(3, 4)) : QList<const SimClient*>();
    const QString profile = !readable || found.isEmpty() ? QStringLiteral("Z33")
                            : found.size() == 1          ? QStringLiteral("Z32")
                                                         : QStringLiteral("Z31");
    const QString status = !readable         ? QStringLiteral("AE")
                           : found.isEmpty() ? QStringLiteral("NF")
                                             : QStringLiteral("OK");
    QString answer = answerHeader(message, QStringLiteral("RSP^K11^RSP_K11"), nextControlId(),
                                  profile + QStringLiteral("^CDCPHINVS"));
    answer += hl7Segment(QStringLiteral("MSA"), {readable ? QStringLiteral("AA") : QStringLiteral("AE"), msh.raw(10)});
    if (!readable)
        answer += hl7Segment(QStringLiteral("ERR"),
                             {QString(), QString(), QStringLiteral("101^Required field missing^HL70357"),
                              QStringLiteral("E"), QString(), QString(), QString(),
                              QStringLiteral("The query is not a Z34 query naming a record number (QPD-3).")});
    answer += hl7Segment(QStringLiteral("QAK"), {qpd.raw(2), status, qpd.raw(1)});
    answer += rawSegment(text, "QPD");
    for (qsizetype i = 0; i < found.size(); ++i) answer += clientSegments(*found[i], int(i) + 1);
    return answer.toUtf8();
}

} // namespace marrowick::sim
