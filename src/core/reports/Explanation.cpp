#include "Explanation.h"

#include "database/Db.h"

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QHash>
#include <QSet>
#include <QSqlQuery>

namespace marrowick {

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

// Registries differ in case and stray blanks; neither makes a value differ.
bool sameValue(const QVariant& a, const QVariant& b)
{
    return a.toString().trimmed().compare(b.toString().trimmed(), Qt::CaseInsensitive) == 0;
}

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
        r.outcome = q.value(4).toString();
        if (!q.isNull(5))
            r.attempt = q.value(5).toInt();
        if (!q.isNull(6))
            r.client = qint32(q.value(6).toLongLong());
        r.flag = q.value(7).toString();
        for (int f = 0; f < kFieldCount; ++f)
            if (!sameValue(q.value(kFieldsAt + f), q.value(kFieldsAt + kFieldCount + f)))
                r.differs << explain::comparedFields()[size_t(f)].first;
        records.push_back(r);
    }
    return records;
}

} // namespace

namespace explain {

const std::vector<std::pair<QString, QString>>& comparedFields()
{
    static const std::vector<std::pair<QString, QString>> fields{
        {QStringLiteral("LastName"), QStringLiteral("Last Name")},   {QStringLiteral("FirstName"), QStringLiteral("First Name")},
        {QStringLiteral("MiddleName"), QStringLiteral("Middle Name")}, {QStringLiteral("Suffix"), QStringLiteral("Suffix")},
        {QStringLiteral("DOB"), QStringLiteral("DOB")},               {QStringLiteral("Sex"), QStringLiteral("Sex")},
        {QStringLiteral("MomMaiden"), QStringLiteral("Mom Maiden")},  {QStringLiteral("MomLast"), QStringLiteral("Mom Last")},
        {QStringLiteral("MomFirst"), QStringLiteral("Mom First")},    {QStringLiteral("MomMiddle"), QStringLiteral("Mom Middle")},
    };
    return fields;
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
    if (selector == QLatin1String("missed") || selector == QLatin1String("lost"))
        return readOutcomes(QStringLiteral("WHERE o.Outcome = ?"), {selector});
    if (selector == QLatin1String("strangers"))
        return readOutcomes(QStringLiteral("WHERE o.Outcome = 'stranger_merge'"), {});
    return readOutcomes(QString(), {});
}

std::vector<RecordOutcome> outcomesOfProblem(int report, const QString& code)
{
    const QString dups = QStringLiteral("d.ProblemCode NOT IN ('BASE_RECORD', 'DL_BASE_RECORD')");
    const QString nonDups = QStringLiteral("d.ProblemCode IN ('BASE_RECORD', 'DL_BASE_RECORD')");
    if (report == 2) {
        if (code == QLatin1String("TOTAL_DUPLIKE"))
            return readOutcomes(QStringLiteral("WHERE d.ProblemCode = 'DL_BASE_RECORD'"), {});
        if (code == QLatin1String("TOTAL"))
            return readOutcomes(QStringLiteral("WHERE ") + nonDups, {});
        return readOutcomes(QStringLiteral("WHERE d.SecondProblem = ?"), {code});
    }
    if (code == QLatin1String("TOTAL"))
        return readOutcomes(report == 3 ? QString() : QStringLiteral("WHERE ") + dups, {});
    if (report == 3) // the type's duplicates, and the look-alikes that its specificity counts
        return readOutcomes(QStringLiteral("WHERE d.ProblemCode = ? OR (d.ProblemCode = 'DL_BASE_RECORD' AND d.ComboCode IN "
                                           "(SELECT ComboCode FROM tblComboMap WHERE ProbCode = ?))"),
                            {code, code});
    return readOutcomes(QStringLiteral("WHERE d.ProblemCode = ?"), {code});
}

QString problemWords(qint64 id)
{
    QSqlQuery q = run(QStringLiteral("SELECT d.ProblemCode, p.ProbDesc, s.ProbDesc FROM DupTestData d "
                                     "LEFT JOIN tblProbDescMap p ON p.ProbCode = d.ProblemCode "
                                     "LEFT JOIN tblSecondProbDescMap s ON s.ProbCode = d.SecondProblem WHERE d.ID = ?"),
                      {id});
    if (!q.next())
        return QString();
    if (!q.value(1).toString().isEmpty())
        return q.value(1).toString();
    if (q.value(0).toString().compare(QLatin1String("DL_BASE_RECORD"), Qt::CaseInsensitive) == 0)
        return q.value(2).toString().isEmpty() ? QStringLiteral("Look-alike of another person")
                                               : QStringLiteral("Look-alike of another person: ") + q.value(2).toString();
    if (q.value(0).toString().compare(QLatin1String("BASE_RECORD"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("Not a duplicate");
    return q.value(0).toString();
}

QString outcomeWords(const QString& outcome)
{
    if (outcome == QLatin1String("main"))
        return QStringLiteral("main record");
    if (outcome == QLatin1String("kept_apart"))
        return QStringLiteral("kept apart");
    if (outcome == QLatin1String("stranger_merge"))
        return QStringLiteral("merged with a stranger");
    return outcome;
}

QString attemptWords(const std::optional<int>& attempt)
{
    switch (attempt.value_or(0)) {
    case 1: return QStringLiteral("found by its own names, mother's maiden name and birth date");
    case 2: return QStringLiteral("found by the first name up to its first blank");
    case 3: return QStringLiteral("found by the mother's maiden name of the group's other record");
    case 4: return QStringLiteral("found by the birth date of the group's other record");
    case 5: return QStringLiteral("found by the mother's first name instead of her maiden name");
    case 6: return QStringLiteral("found by the names without apostrophes");
    default: return QStringLiteral("not found by any of the six looks");
    }
}

namespace {
// Where a lost person probably went: the client that holds a look-alike, a
// test person of another group with the same last name and the same birth
// date, first name or mother. A registry that merges look-alikes merges
// there. Empty when no look-alike was found.
QString likelyAbsorber(const RecordOutcome& r)
{
    QSqlQuery q = run(QStringLiteral("SELECT o.ID, o.ClientID FROM DupTestData d JOIN DupTestData l ON l.ID <> d.ID AND "
                                     "l.LastName = d.LastName AND (l.DOB = d.DOB OR l.FirstName = d.FirstName OR "
                                     "l.MomMaiden = d.MomMaiden) JOIN tblRecordOutcomes o ON o.ID = l.ID AND o.GroupNo <> ? "
                                     "AND o.ClientID IS NOT NULL WHERE d.ID = ? ORDER BY (l.DOB = d.DOB) DESC, o.ID LIMIT 1"),
                      {r.group, r.id});
    return q.next() ? QStringLiteral(" Its look-alike, test record %1, is client %2: the likely place it went.")
                          .arg(q.value(0).toString(), q.value(1).toString())
                    : QString();
}
} // namespace

QString verdict(const RecordOutcome& r)
{
    const QString client = r.client ? QString::number(*r.client) : QString();
    QSqlQuery main = run(QStringLiteral("SELECT ClientID, Place FROM tblRecordOutcomes WHERE GroupNo = ? AND ClientID IS NOT NULL "
                                        "ORDER BY Place LIMIT 1"),
                         {r.group});
    const bool anyFound = main.next();
    const QString mainClient = anyFound ? main.value(0).toString() : QString();
    const bool isMain = anyFound && main.value(1).toInt() == r.place;
    if (r.outcome == QLatin1String("main"))
        return QStringLiteral("The group's main record, kept as client %1.").arg(client);
    if (r.outcome == QLatin1String("caught"))
        return isMain ? QStringLiteral("Under the group's client, %1; the group's main record is not in the registry's export "
                                       "under its own names: merged.")
                            .arg(client)
                      : QStringLiteral("Merged into the group's main client, %1.").arg(client);
    if (r.outcome == QLatin1String("flagged"))
        return (r.flag == QLatin1String("Y")
                    ? QStringLiteral("Kept as a separate client, %1, with a potential-duplicate flag; the group's main client is %2.")
                    : QStringLiteral("Kept as a separate client, %1, without a flag of its own, but another client of its group "
                                     "is flagged as a potential duplicate; the group's main client is %2."))
            .arg(client, mainClient);
    if (r.outcome == QLatin1String("missed"))
        return QStringLiteral("Kept as a separate client, %1, without a potential-duplicate flag; the group's main client is %2.")
            .arg(client, mainClient);
    if (r.outcome == QLatin1String("lost"))
        return QStringLiteral("Not in the registry's export, nor any other record of its group: the person was lost.")
            + likelyAbsorber(r);
    if (r.outcome == QLatin1String("absent")) {
        // A merge keeps the main record's names but the merged record's dose.
        QSqlQuery dose = run(QStringLiteral("SELECT 1 FROM IIS_LOADED_CHILD_ALL l JOIN DupTestVaccination v ON v.ID = ? "
                                            "WHERE CAST(l.ClientID AS INTEGER) = ? AND CAST(l.VacCode AS INTEGER) = "
                                            "CAST(v.VacCode AS INTEGER) AND l.VacDate = v.VacDate LIMIT 1"),
                             {r.id, mainClient.toLongLong()});
        return dose.next() ? QStringLiteral("Not in the registry's export under its own names, but its vaccination is under the "
                                            "group's main client, %1: merged.")
                                 .arg(mainClient)
                           : QStringLiteral("Not in the registry's export, but its group is, as client %1.").arg(mainClient);
    }
    if (r.outcome == QLatin1String("kept_apart"))
        return QStringLiteral("Kept as a client of its own, %1, apart from every other test person.").arg(client);
    if (r.outcome == QLatin1String("stranger_merge") && !r.client)
        return QStringLiteral("Merged with a different person, but the evaluation does not record the client.");
    if (r.outcome == QLatin1String("stranger_merge")) {
        QStringList others;
        QSqlQuery q = run(QStringLiteral("SELECT ID, GroupNo FROM tblRecordOutcomes WHERE ClientID = ? AND GroupNo <> ? ORDER BY ID"),
                          {*r.client, r.group});
        while (q.next())
            others << QStringLiteral("%1 (group %2)").arg(q.value(0).toString(), q.value(1).toString());
        return QStringLiteral("Merged with a different person: client %1 also holds test record %2.").arg(client, others.join(QStringLiteral(", ")));
    }
    return QString();
}

} // namespace explain

namespace {
enum Column { Verdict, Heading, RowName, FirstCompared, Vaccination = FirstCompared + kFieldCount, Client, Flag, Found, Outcome, Differs, ColumnCount };
} // namespace

const QStringList& ExplanationModel::fields()
{
    static const QStringList names = [] {
        QStringList n{QStringLiteral("Verdict"), QStringLiteral("Heading"), QStringLiteral("Row")};
        for (const auto& f : explain::comparedFields())
            n << f.first;
        n << QStringLiteral("Vaccination") << QStringLiteral("Client") << QStringLiteral("Flag") << QStringLiteral("Found")
          << QStringLiteral("Outcome") << QStringLiteral("Differs");
        return n;
    }();
    return names;
}

ExplanationModel::ExplanationModel(qint64 id, QObject* parent) : QAbstractTableModel(parent)
{
    const std::vector<RecordOutcome> self = explain::outcomesOf({id});
    if (self.empty())
        return;
    m_record = self.front();
    m_verdict = explain::verdict(m_record);
    const QString heading = QStringLiteral("Test record %1, place %2 of group %3; problem type %4; outcome: %5")
                                .arg(m_record.id)
                                .arg(m_record.place)
                                .arg(m_record.group)
                                .arg(explain::problemWords(m_record.id), explain::outcomeWords(m_record.outcome));

    // The main record's values, which every other row is compared with.
    QStringList mainValues;
    {
        QSqlQuery q = run(QStringLiteral("SELECT d.LastName, d.FirstName, d.MiddleName, d.Suffix, d.DOB, d.Sex, d.MomMaiden, "
                                         "d.MomLast, d.MomFirst, d.MomMiddle FROM tblRecordOutcomes o JOIN DupTestData d ON "
                                         "d.ID = o.ID WHERE o.GroupNo = ? AND o.Place = 1"),
                          {m_record.group});
        if (q.next())
            for (int f = 0; f < kFieldCount; ++f)
                mainValues << q.value(f).toString();
    }
    auto addRow = [&](bool testRecord, const QString& name, const QVariantList& values, const QString& vaccination,
                      const QString& client, const QString& flag, const QString& found, const QString& outcome) {
        Row row;
        row.testRecord = testRecord;
        row.cells << m_verdict << heading << name;
        QStringList differing;
        for (int f = 0; f < kFieldCount; ++f) {
            row.cells << values[f].toString();
            if (f < mainValues.size() && !sameValue(values[f], mainValues[f])) {
                row.differing.insert(FirstCompared + f);
                differing << explain::comparedFields()[size_t(f)].second;
            }
        }
        row.cells << vaccination << client << flag << found << outcome << differing.join(QStringLiteral(", "));
        m_rows.push_back(row);
    };

    QSet<qint32> shownClients;
    for (const RecordOutcome& member : explain::outcomesSelected(QStringLiteral("all"))) {
        if (member.group != m_record.group)
            continue;
        QSqlQuery d = run(QStringLiteral("SELECT d.LastName, d.FirstName, d.MiddleName, d.Suffix, d.DOB, d.Sex, d.MomMaiden, "
                                         "d.MomLast, d.MomFirst, d.MomMiddle, v.VacCode, v.VacDate FROM DupTestData d LEFT JOIN "
                                         "DupTestVaccination v ON v.ID = d.ID WHERE d.ID = ?"),
                          {member.id});
        if (!d.next())
            continue;
        QVariantList values;
        for (int f = 0; f < kFieldCount; ++f)
            values << d.value(f);
        QString name = QStringLiteral("Record %1").arg(member.id);
        if (member.id == m_record.id)
            name += QStringLiteral(" (this)");
        else if (member.place == 1)
            name += QStringLiteral(" (main)");
        addRow(true, name, values, QStringLiteral("%1 %2").arg(d.value(10).toString(), d.value(11).toString()).trimmed(),
               member.client ? QString::number(*member.client) : QString(), member.flag, explain::attemptWords(member.attempt),
               explain::outcomeWords(member.outcome));
        if (!member.client || shownClients.contains(*member.client))
            continue;
        shownClients.insert(*member.client);
        QSqlQuery loaded = run(QStringLiteral("SELECT LastName, FirstName, MiddleName, Suffix, DOB, Sex, MomMaiden, MomLast, "
                                              "MomFirst, MomMiddle, VacCode, VacDate, ClientID, QMflag FROM IIS_LOADED_CHILD_ALL "
                                              "WHERE CAST(ClientID AS INTEGER) = ? ORDER BY rowid"),
                               {*member.client});
        while (loaded.next()) {
            QVariantList registry;
            for (int f = 0; f < kFieldCount; ++f)
                registry << loaded.value(f);
            addRow(false, QStringLiteral("  registry row"), registry,
                   QStringLiteral("%1 %2").arg(loaded.value(10).toString(), loaded.value(11).toString()).trimmed(),
                   loaded.value(12).toString(), loaded.value(13).toString(), QStringLiteral("as the registry exported it"), QString());
        }
    }
}

int ExplanationModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(m_rows.size()); }
int ExplanationModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

QVariant ExplanationModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    const Row& row = m_rows[size_t(index.row())];
    const bool differs = row.differing.contains(index.column());
    switch (role) {
    case Qt::DisplayRole:
        return row.cells.value(index.column());
    case Qt::FontRole:
        if (differs || (index.column() == RowName && row.testRecord)) {
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        return {};
    case Qt::BackgroundRole:
        return differs ? QVariant(QBrush(QColor(0xff, 0xe0, 0x8a))) : QVariant();
    case Qt::ForegroundRole:
        return differs ? QVariant(QBrush(Qt::black)) : QVariant();
    case Qt::ToolTipRole:
        return differs ? QVariant(QStringLiteral("Differs from the group's main record")) : QVariant();
    default:
        return {};
    }
}

QVariant ExplanationModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount)
        return {};
    if (role == FieldRole)
        return fields()[section];
    if (role != Qt::DisplayRole)
        return {};
    if (section >= FirstCompared && section < Vaccination)
        return explain::comparedFields()[size_t(section - FirstCompared)].second;
    static const QStringList captions{QStringLiteral("Verdict"), QStringLiteral("Heading"), QStringLiteral("Record"),
                                      QStringLiteral("Vaccination"), QStringLiteral("Client"), QStringLiteral("Flag"),
                                      QStringLiteral("How found"), QStringLiteral("Outcome"), QStringLiteral("Differs")};
    return section < FirstCompared ? captions[section] : captions[section - Vaccination + 3];
}

const ReportDef& explanationReport()
{
    static const ReportDef report{.index = -1,
                                  .item = QStringLiteral("Explanation of a Test Record"),
                                  .title = QStringLiteral("Explanation of a Test Record"),
                                  .caption = QStringLiteral("Report Print Preview: Explanation of a Test Record"),
                                  .refill = nullptr,
                                  .query = QString(),
                                  .rules = {},
                                  .page = designs::rptExplanation(),
                                  .fileName = QStringLiteral("rptExplanation")};
    return report;
}

} // namespace marrowick
