#include "RecordOutcome.h"

#include "ProblemCode.h"
#include "database/Db.h"

#include <QHash>
#include <QSqlQuery>

namespace marrowick::explain {

namespace {

const QString kOutcomeSelect = QStringLiteral(
    "SELECT o.ID, o.GroupNo, o.Place, d.ProblemCode, o.Outcome, o.Attempt, o.ClientID, o.QMflag, "
    "d.LastName, d.FirstName, d.MiddleName, d.Suffix, d.DOB, d.Sex, d.MomMaiden, d.MomLast, d.MomFirst, d.MomMiddle, "
    "m.LastName, m.FirstName, m.MiddleName, m.Suffix, m.DOB, m.Sex, m.MomMaiden, m.MomLast, m.MomFirst, m.MomMiddle "
    "FROM tblRecordOutcomes o JOIN DupTestData d ON d.ID = o.ID "
    "LEFT JOIN tblRecordOutcomes mo ON mo.GroupNo = o.GroupNo AND mo.Place = 1 "
    "LEFT JOIN DupTestData m ON m.ID = mo.ID ");
constexpr int kFieldsAt = 8;
constexpr int kFieldCount = 10;

std::vector<RecordOutcome> readOutcomes(const QString& where, const QVariantList& binds)
{
    std::vector<RecordOutcome> records;
    QSqlQuery q = run(kOutcomeSelect + where + QStringLiteral(" ORDER BY o.GroupNo, o.Place"), binds);
    while (q.next()) {
        RecordOutcome r;
        r.id = q.value(0).toLongLong();
        r.group = q.value(1).toInt();
        r.place = q.value(2).toInt();
        r.problem = q.value(3).toString();
        r.outcome = parseOutcome(q.value(4).toString()).value_or(Outcome::Main);
        if (!q.isNull(5)) r.attempt = q.value(5).toInt();
        if (!q.isNull(6)) r.client = qint32(q.value(6).toLongLong());
        r.flag = q.value(7).toString();
        for (int f = 0; f < kFieldCount; ++f)
            if (!sameValue(q.value(kFieldsAt + f), q.value(kFieldsAt + kFieldCount + f)))
                r.differs << comparedFields()[size_t(f)].first;
        records.push_back(r);
    }
    return records;
}

// Where a lost person probably went: the client that holds a look-alike, a
// test person of another group with the same last name and the same birth
// date, first name or mother. A registry that merges look-alikes merges
// there. Empty when no look-alike was found.
QString likelyAbsorber(const RecordOutcome& r)
{
    QSqlQuery q = run(QStringLiteral("SELECT o.ID, o.ClientID FROM DupTestData d JOIN DupTestData l ON l.ID <> d.ID "
                                     "AND l.LastName = d.LastName AND (l.DOB = d.DOB OR l.FirstName = d.FirstName OR "
                                     "l.MomMaiden = d.MomMaiden) JOIN tblRecordOutcomes o ON o.ID = l.ID AND "
                                     "o.GroupNo <> ? AND o.ClientID IS NOT NULL WHERE d.ID = ? "
                                     "ORDER BY (l.DOB = d.DOB) DESC, o.ID LIMIT 1"),
                      {r.group, r.id});
    return q.next() ? QStringLiteral(" Its look-alike, test record %1, is client %2: the likely place it went.")
                          .arg(q.value(0).toString(), q.value(1).toString())
                    : QString();
}

// A record not exported under its own names while its group is: a merge keeps
// the main record's names but the merged record's dose.
QString absentVerdict(const RecordOutcome& r, const QString& mainClient)
{
    QSqlQuery dose = run(QStringLiteral("SELECT 1 FROM IIS_LOADED_CHILD_ALL l JOIN DupTestVaccination v ON v.ID = ? "
                                        "WHERE CAST(l.ClientID AS INTEGER) = ? AND CAST(l.VacCode AS INTEGER) = "
                                        "CAST(v.VacCode AS INTEGER) AND l.VacDate = v.VacDate LIMIT 1"),
                         {r.id, mainClient.toLongLong()});
    if (dose.next())
        return QStringLiteral("Not in the registry's export under its own names, but its vaccination is under the "
                              "group's main client, %1: merged.")
            .arg(mainClient);
    return QStringLiteral("Not in the registry's export, but its group is, as client %1.").arg(mainClient);
}

QString strangerVerdict(const RecordOutcome& r)
{
    if (!r.client)
        return QStringLiteral("Merged with a different person, but the evaluation does not record the client.");
    QStringList others;
    QSqlQuery q = run(QStringLiteral("SELECT ID, GroupNo FROM tblRecordOutcomes WHERE ClientID = ? AND GroupNo <> ? "
                                     "ORDER BY ID"),
                      {*r.client, r.group});
    while (q.next()) others << QStringLiteral("%1 (group %2)").arg(q.value(0).toString(), q.value(1).toString());
    return QStringLiteral("Merged with a different person: client %1 also holds test record %2.")
        .arg(QString::number(*r.client), others.join(QStringLiteral(", ")));
}

} // namespace

const std::vector<std::pair<QString, QString>>& comparedFields()
{
    static const std::vector<std::pair<QString, QString>> fields{
        {QStringLiteral("LastName"), QStringLiteral("Last Name")},
        {QStringLiteral("FirstName"), QStringLiteral("First Name")},
        {QStringLiteral("MiddleName"), QStringLiteral("Middle Name")},
        {QStringLiteral("Suffix"), QStringLiteral("Suffix")},
        {QStringLiteral("DOB"), QStringLiteral("DOB")},
        {QStringLiteral("Sex"), QStringLiteral("Sex")},
        {QStringLiteral("MomMaiden"), QStringLiteral("Mom Maiden")},
        {QStringLiteral("MomLast"), QStringLiteral("Mom Last")},
        {QStringLiteral("MomFirst"), QStringLiteral("Mom First")},
        {QStringLiteral("MomMiddle"), QStringLiteral("Mom Middle")},
    };
    return fields;
}

bool sameValue(const QVariant& a, const QVariant& b)
{
    return a.toString().trimmed().compare(b.toString().trimmed(), Qt::CaseInsensitive) == 0;
}

std::vector<RecordOutcome> outcomesOf(const QList<qint64>& ids)
{
    std::vector<RecordOutcome> records;
    for (qint64 id : ids) {
        std::vector<RecordOutcome> one = readOutcomes(QStringLiteral("WHERE o.ID = ?"), {id});
        records.insert(records.end(), one.begin(), one.end());
    }
    return records;
}

std::vector<RecordOutcome> outcomesSelected(const QString& selector)
{
    // The selectors of one outcome; "all", like any other, selects every record.
    static const QHash<QString, Outcome> only{{QStringLiteral("missed"), Outcome::Missed},
                                              {QStringLiteral("lost"), Outcome::Lost},
                                              {QStringLiteral("strangers"), Outcome::StrangerMerge}};
    const auto it = only.constFind(selector);
    return it == only.cend() ? readOutcomes(QString(), {})
                             : readOutcomes(QStringLiteral("WHERE o.Outcome = ?"), {outcomeCode(*it)});
}

std::vector<RecordOutcome> outcomesOfProblem(DrillDown rows, const QString& code)
{
    const QString where = QStringLiteral("WHERE ");
    const QString column = QStringLiteral("d.ProblemCode");
    if (rows == DrillDown::LookAlikeKind) {
        if (code == QLatin1String("TOTAL_DUPLIKE")) return readOutcomes(where + problem::isLookAlike(column), {});
        if (code == QLatin1String("TOTAL")) return readOutcomes(where + problem::isNotDuplicate(column), {});
        return readOutcomes(QStringLiteral("WHERE d.SecondProblem = ?"), {code});
    }
    if (code == QLatin1String("TOTAL"))
        return readOutcomes(rows == DrillDown::TypeScores ? QString() : where + problem::isDuplicate(column), {});
    if (rows == DrillDown::TypeScores) // the type's duplicates, and the look-alikes that its specificity counts
        return readOutcomes(QStringLiteral("WHERE d.ProblemCode = ? OR (") + problem::isLookAlike(column)
                                + QStringLiteral(" AND d.ComboCode IN (SELECT ComboCode FROM tblComboMap "
                                                 "WHERE ProbCode = ?))"),
                            {code, code});
    return readOutcomes(QStringLiteral("WHERE d.ProblemCode = ?"), {code});
}

QString verdict(const RecordOutcome& r)
{
    const QString client = r.client ? QString::number(*r.client) : QString();
    QSqlQuery main = run(QStringLiteral("SELECT ClientID, Place FROM tblRecordOutcomes WHERE GroupNo = ? AND "
                                        "ClientID IS NOT NULL ORDER BY Place LIMIT 1"),
                         {r.group});
    const bool anyFound = main.next();
    const QString mainClient = anyFound ? main.value(0).toString() : QString();
    const bool isMain = anyFound && main.value(1).toInt() == r.place;
    switch (r.outcome) {
    case Outcome::Main:
        return QStringLiteral("The group's main record, kept as client %1.").arg(client);
    case Outcome::Caught:
        return isMain ? QStringLiteral("Under the group's client, %1; the group's main record is not in the registry's "
                                       "export under its own names: merged.")
                            .arg(client)
                      : QStringLiteral("Merged into the group's main client, %1.").arg(client);
    case Outcome::Flagged:
        return (r.flag == QLatin1String("Y")
                    ? QStringLiteral("Kept as a separate client, %1, with a potential-duplicate flag; the group's main "
                                     "client is %2.")
                    : QStringLiteral("Kept as a separate client, %1, without a flag of its own, but another client of "
                                     "its group is flagged as a potential duplicate; the group's main client is %2."))
            .arg(client, mainClient);
    case Outcome::Missed:
        return QStringLiteral("Kept as a separate client, %1, without a potential-duplicate flag; the group's main "
                              "client is %2.")
            .arg(client, mainClient);
    case Outcome::Lost:
        return QStringLiteral("Not in the registry's export, nor any other record of its group: the person was lost.")
               + likelyAbsorber(r);
    case Outcome::Absent:
        return absentVerdict(r, mainClient);
    case Outcome::KeptApart:
        return QStringLiteral("Kept as a client of its own, %1, apart from every other test person.").arg(client);
    case Outcome::StrangerMerge:
        return strangerVerdict(r);
    }
    return QString();
}

} // namespace marrowick::explain
