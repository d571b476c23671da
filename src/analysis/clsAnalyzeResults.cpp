#include "clsAnalyzeResults.h"

#include "database/Db.h"
#include "platform/Platform.h"

#include <QHash>
#include <QSet>
#include <QSqlQuery>
#include <QSqlRecord>
#include <cmath>
#include <limits>
#include <optional>

namespace marrowick {

namespace {

const QString kSheetInOrder = QStringLiteral("Select rowid AS sheetRow, * from Answer_Sheet order by rec_1");
// Only the client number and the vaccination that picks among the rows found are read.
const QString kByMaiden = QStringLiteral("Select ClientID, VacCode, VacDate from IIS_LOADED_CHILD_ALL "
                                         "where FirstName=? AND LastName=? AND MomMaiden=? AND DOB=? AND Sex=?");
const QString kByMomFirst = QStringLiteral("Select ClientID, VacCode, VacDate from IIS_LOADED_CHILD_ALL "
                                           "where FirstName=? AND LastName=? AND MomFirst=? AND DOB=? AND Sex=?");

QString column(const char* stem, int position, const char* suffix = "")
{
    return QStringLiteral("%1%2%3").arg(QLatin1String(stem)).arg(position).arg(QLatin1String(suffix));
}

// A prepared statement run many times with new values.
class Prepared {
public:
    explicit Prepared(QString sql) : m_sql(std::move(sql)), m_query(cnEval())
    {
        m_query.setForwardOnly(true);
        if (!m_query.prepare(m_sql))
            throwSqlError(m_query, m_sql);
    }
    QSqlQuery& exec(const QVariantList& binds)
    {
        m_query.finish();
        for (int i = 0; i < binds.size(); ++i)
            m_query.bindValue(i, binds[i]);
        if (!m_query.exec())
            throwSqlError(m_query, m_sql);
        return m_query;
    }

private:
    QString m_sql;
    QSqlQuery m_query;
};

// A vaccine code as a number, so that "3" and "03" agree; nullopt when it is none.
std::optional<int> vaccineNumber(const QString& code)
{
    bool ok = false;
    const int number = code.trimmed().toInt(&ok);
    return ok ? std::optional<int>(number) : std::nullopt;
}

struct TestRecord {
    QString firstName, lastName, sex, dob, momMaiden, momFirst;
    bool nullName = false; // FirstName, LastName or Sex is Null
    std::optional<int> vacCode;
    QString vacDate;
};

// Every test record by ID with its own vaccination, read once: the matching
// looks each member up, and the other member of its group, many times over.
QHash<qint64, TestRecord> readTestRecords()
{
    QHash<qint64, TestRecord> records;
    QSqlQuery query = run(QStringLiteral("Select d.ID, d.FirstName, d.LastName, d.Sex, d.DOB, d.MomMaiden, d.MomFirst, "
                                         "v.VacCode, v.VacDate from DupTestData d "
                                         "LEFT JOIN DupTestVaccination v ON v.ID = d.ID"));
    while (query.next())
        records.insert(query.value(0).toLongLong(),
                       TestRecord{query.value(1).toString(), query.value(2).toString(), query.value(3).toString(),
                                  query.value(4).toString(), query.value(5).toString(), query.value(6).toString(),
                                  query.isNull(1) || query.isNull(2) || query.isNull(3),
                                  vaccineNumber(query.value(7).toString()), query.value(8).toString()});
    return records;
}

} // namespace

// What the scoring saw of one group, for the outcomes.
struct clsAnalyzeResults::ScoredGroup {
    std::array<qint64, 5> rec{};
    std::array<bool, 5> loaded{};
    std::array<qint32, 5> client{};
    std::array<QString, 5> flag;   // of the member's client, "Y" or "N"
    std::array<QString, 5> listed; // "flagged" or "missed" for the member IIS_DUPLICATES names
};

struct clsAnalyzeResults::Statements {
    QHash<qint64, TestRecord> testRecords = readTestRecords();
    Prepared byMaiden{kByMaiden};
    Prepared byMomFirst{kByMomFirst};

    const TestRecord& testRecord(qint16 id) const
    {
        const auto it = testRecords.constFind(id);
        if (it == testRecords.constEnd())
            throw DbError(DbError::NoCurrentRecord,
                          QStringLiteral("No current record: test record %1 of Answer_Sheet is not in DupTestData").arg(id));
        if (it->nullName)
            throw DbError(DbError::InvalidUseOfNull, QStringLiteral("Invalid use of Null: the name or sex of test record %1").arg(id));
        return *it;
    }
};

QString clsAnalyzeResults::NoQuote(QString strName)
{
    strName.remove(u'\'');
    return strName;
}

QString clsAnalyzeResults::FirstPart(const QString& strWord)
{
    // The last character is never examined, so a blank only at the end is not seen.
    const qsizetype n = strWord.size();
    for (qsizetype p = 0; p + 1 < n; ++p)
        if (strWord[p] == u' ')
            return strWord.left(p);
    return strWord;
}

void clsAnalyzeResults::BubSort(QList<qint32>& a, int maxnum)
{
    const qint16 n = checked16(maxnum);
    for (int pass = 0; pass < n; ++pass) {
        for (int j = 0; j + 1 < n; ++j) {
            if (a[j] > a[j + 1]) {
                const qint32 temp = a[j];
                a[j] = a[j + 1];
                a[j + 1] = temp;
            }
        }
    }
}

qint16 clsAnalyzeResults::FindNonZeroUniques(qint32 num1, qint32 num2, qint32 num3, qint32 num4, qint32 num5)
{
    QList<qint32> values{num1, num2, num3, num4, num5};
    BubSort(values, 5);
    // Zero is the empty slot, wherever negative numbers sort it.
    qint16 count = 0;
    for (int q = 0; q < 5; ++q)
        if (values[q] != 0 && (q == 0 || values[q] != values[q - 1]))
            ++count;
    return count;
}

qint32 clsAnalyzeResults::ClientNumber(const QString& clientId)
{
    bool ok = false;
    const double value = clientId.toDouble(&ok);
    // The whole part, rounded down, as the loader checked it: a value it let
    // through always fits.
    const double whole = ok ? std::floor(value) : 0;
    if (!ok || !std::isfinite(value) || whole < std::numeric_limits<qint32>::min()
        || whole > std::numeric_limits<qint32>::max())
        throw DbError(DbError::Overflow, QStringLiteral("Overflow: client ID '%1' is not a 32-bit whole number").arg(clientId));
    return static_cast<qint32>(whole);
}

void clsAnalyzeResults::ClearAnswerSheet()
{
    for (AnswerGroup& group : AnswerGroups)
        group = AnswerGroup{};
    QStringList sets;
    for (int n = 1; n <= 5; ++n)
        sets << column("rec_", n, "_loaded=0") << column("rec_", n, "_IIS_ID=0");
    sets << QStringLiteral("total_loaded=0");
    run(QStringLiteral("UPDATE Answer_Sheet SET ") + sets.join(QStringLiteral(", ")));
}

namespace {
// The bar's share of the matching; the scoring has the rest. The two passes
// take about 0.25 and 0.1 of a unit of work per group.
constexpr double kMatchingShare = 100.0 * 0.25 / 0.35;
} // namespace

void clsAnalyzeResults::Analyze_IIS_LOAD()
{
    // From the start, not only for the scoring: the matching is most of the work.
    platform().UpdateProgressText(QStringLiteral("Analyzing results ...."));
    ClearAnswerSheet();

    // Read pass.
    AnswerGroups.clear();
    std::vector<qint64> sheetRows;
    {
        QSqlQuery sheet = run(kSheetInOrder);
        while (sheet.next()) {
            AnswerGroup group;
            for (int n = 0; n < 5; ++n)
                group.rec[n] = checked16(sheet.value(column("rec_", n + 1)).toLongLong());
            AnswerGroups.push_back(group);
            sheetRows.push_back(sheet.value(QStringLiteral("sheetRow")).toLongLong());
        }
    }

    // Matching pass.
    m_attempts.clear();
    Statements statements;
    const double step = AnswerGroups.empty() ? 0 : kMatchingShare / double(AnswerGroups.size());
    for (AnswerGroup& group : AnswerGroups) {
        platform().IncrementProgressBar(step);
        for (int j = 0; j < 5; ++j)
            if (group.rec[j] != 0)
                m_attempts.insert(group.rec[j], matchRecord(statements, group, j));
    }

    // Write-back pass, paired with the read pass by position.
    QStringList sets;
    for (int n = 1; n <= 5; ++n)
        sets << column("rec_", n, "_loaded=?");
    for (int n = 1; n <= 5; ++n)
        sets << column("rec_", n, "_IIS_ID=?");
    sets << QStringLiteral("total_loaded=?");
    Prepared update(QStringLiteral("UPDATE Answer_Sheet SET ") + sets.join(QStringLiteral(", "))
                    + QStringLiteral(" WHERE rowid=?"));
    for (size_t i = 0; i < AnswerGroups.size(); ++i) {
        const AnswerGroup& group = AnswerGroups[i];
        QVariantList binds;
        for (bool loaded : group.rec_loaded)
            binds << int(loaded);
        for (qint32 id : group.rec_IIS_ID)
            binds << id;
        binds << int(group.total_loaded) << sheetRows[i];
        update.exec(binds);
    }

    Score();
}

int clsAnalyzeResults::matchRecord(Statements& st, AnswerGroup& group, int j)
{
    const TestRecord& self = st.testRecord(group.rec[j]);

    // Values are bound, so names are compared as they are: apostrophes need
    // no doubling.
    auto found = [&](Prepared& statement, const QString& first, const QString& last, const QString& third,
                     const QString& dob) -> bool {
        QSqlQuery& query = statement.exec({first, last, third, dob, self.sex});
        if (!query.next())
            return false;
        // A registry keeps one row per vaccination: prefer the client whose row
        // holds this record's own dose, so that two look-alike clients are told apart.
        QString clientId = query.value(0).toString();
        if (self.vacCode) {
            do {
                if (vaccineNumber(query.value(1).toString()) == self.vacCode && query.value(2).toString() == self.vacDate) {
                    clientId = query.value(0).toString();
                    break;
                }
            } while (query.next());
        }
        const qint32 client = ClientNumber(clientId);
        query.finish();
        group.rec_loaded[j] = true;
        group.rec_IIS_ID[j] = client;
        group.total_loaded = checked16(group.total_loaded + 1);
        return true;
    };

    if (found(st.byMaiden, self.firstName, self.lastName, self.momMaiden, self.dob))
        return 1;
    if (found(st.byMaiden, FirstPart(self.firstName), self.lastName, self.momMaiden, self.dob))
        return 2;
    int other = -1;
    for (int k = 0; k < 5 && other < 0; ++k)
        if (group.rec[k] != 0 && k != j)
            other = k;
    if (other >= 0) {
        const TestRecord& otherRecord = st.testRecord(group.rec[other]);
        if (found(st.byMaiden, self.firstName, self.lastName, otherRecord.momMaiden, self.dob))
            return 3;
        if (found(st.byMaiden, self.firstName, self.lastName, self.momMaiden, otherRecord.dob))
            return 4;
    }
    if (found(st.byMomFirst, self.firstName, self.lastName, self.momFirst, self.dob))
        return 5;
    if (found(st.byMaiden, NoQuote(self.firstName), NoQuote(self.lastName), self.momMaiden, self.dob))
        return 6;
    group.rec_loaded[j] = false;
    return 0;
}

void clsAnalyzeResults::Score()
{
    platform().UpdateProgressText(QStringLiteral("Analyzing results ...."));
    const qint64 groups = countRows(QStringLiteral("Answer_Sheet"));
    const double step = groups == 0 ? 0 : (100.0 - kMatchingShare) / double(groups);
    run(QStringLiteral("DELETE FROM IIS_MISSING_RECORDS"));
    run(QStringLiteral("DELETE FROM IIS_DUPLICATES"));

    // Registry clients by number: the flag of the client's first row, and
    // whether any of its rows is flagged. Found by number, so that client IDs
    // written with leading zeros or blanks are found too.
    struct Client {
        QString firstFlag;
        bool anyFlagged = false;
    };
    QHash<qint32, Client> clients;
    {
        QSqlQuery loaded = run(QStringLiteral("SELECT ClientID, QMflag FROM IIS_LOADED_CHILD_ALL ORDER BY rowid"));
        while (loaded.next()) {
            qint32 number = 0;
            try {
                number = ClientNumber(loaded.value(0).toString());
            } catch (const DbError&) {
                continue; // no test record can have been found under it
            }
            const QString flag = loaded.value(1).toString();
            auto it = clients.find(number);
            if (it == clients.end())
                it = clients.insert(number, Client{flag, false});
            if (flag == QLatin1String("Y"))
                it->anyFlagged = true;
        }
    }

    Prepared missing(QStringLiteral("INSERT INTO IIS_MISSING_RECORDS (ID) VALUES (?)"));
    Prepared duplicate(QStringLiteral("INSERT INTO IIS_DUPLICATES (ID, QM, OtherQM) VALUES (?, ?, ?)"));
    Prepared correct(QStringLiteral("UPDATE Answer_Sheet SET total_loaded=? WHERE rowid=?"));

    QSqlQuery sheet = run(kSheetInOrder);
    const QSqlRecord fields = sheet.record();
    std::array<int, 5> recAt{}, loadedAt{}, iisIdAt{};
    for (int n = 0; n < 5; ++n) {
        recAt[n] = fields.indexOf(column("rec_", n + 1));
        loadedAt[n] = fields.indexOf(column("rec_", n + 1, "_loaded"));
        iisIdAt[n] = fields.indexOf(column("rec_", n + 1, "_IIS_ID"));
    }
    const int totalAt = fields.indexOf(QStringLiteral("total_loaded"));
    const int rowAt = fields.indexOf(QStringLiteral("sheetRow"));
    std::vector<ScoredGroup> scored;
    while (sheet.next()) {
        platform().IncrementProgressBar(step);
        std::array<qint64, 5> rec{};
        std::array<bool, 5> loaded{};
        std::array<qint32, 5> iisId{};
        for (int n = 0; n < 5; ++n) {
            rec[n] = sheet.value(recAt[n]).toLongLong();
            loaded[n] = sheet.value(loadedAt[n]).toBool();
            iisId[n] = static_cast<qint32>(sheet.value(iisIdAt[n]).toLongLong());
        }
        qint16 totalLoaded = checked16(sheet.value(totalAt).toLongLong());
        ScoredGroup& seen = scored.emplace_back();
        for (int n = 0; n < 5; ++n) {
            seen.rec[n] = rec[n];
            seen.loaded[n] = rec[n] != 0 && loaded[n];
            seen.client[n] = seen.loaded[n] ? iisId[n] : 0;
            seen.flag[n] = clients.value(iisId[n]).firstFlag == QLatin1String("Y") ? QStringLiteral("Y") : QStringLiteral("N");
        }

        if (totalLoaded == 0) {
            missing.exec({rec[0]});
            continue;
        }
        // Members that were not found enter with their 0, as the group's count does.
        bool groupFlagged = false;
        for (qint32 id : iisId)
            groupFlagged = groupFlagged || clients.value(id).anyFlagged;
        const QString groupFlag = groupFlagged ? QStringLiteral("Y") : QStringLiteral("N");

        if (totalLoaded > 1) {
            const qint16 unique = FindNonZeroUniques(iisId[0], iisId[1], iisId[2], iisId[3], iisId[4]);
            if (unique != totalLoaded) {
                totalLoaded = unique;
                correct.exec({int(totalLoaded), sheet.value(rowAt)});
            }
        }
        if (totalLoaded > 1) {
            // The group's own client is rec_1's, or else the first found member's;
            // every other client is named once, by its member in the highest
            // column. When all clients differ these are the found members from
            // the highest column down, rec_1 (or the first found) left out.
            int own = 0;
            while (own < 4 && (rec[own] == 0 || !loaded[own]))
                ++own;
            QSet<qint32> named{iisId[own]};
            int written = 0;
            for (int n = 4; n >= 0; --n) {
                if (rec[n] == 0 || !loaded[n] || named.contains(iisId[n]) || written >= totalLoaded - 1)
                    continue;
                named.insert(iisId[n]);
                // A blank flag, or no row under that number, means not flagged.
                QString qm = clients.value(iisId[n]).firstFlag;
                if (qm != QLatin1String("Y"))
                    qm = QStringLiteral("N");
                duplicate.exec({rec[n], qm, qm == QLatin1String("N") ? QVariant(groupFlag) : QVariant()});
                seen.listed[n] = qm == QLatin1String("Y") || groupFlagged ? QStringLiteral("flagged") : QStringLiteral("missed");
                ++written;
            }
        }
    }
    sheet.finish();
    writeOutcomes(scored);
    // Full exactly when the work is done, whatever rounding the steps left.
    platform().SetProgressBar(100);
}

void clsAnalyzeResults::writeOutcomes(const std::vector<ScoredGroup>& groups) const
{
    run(QStringLiteral("DELETE FROM tblRecordOutcomes"));
    QSet<qint64> lookAlikes;
    for (QSqlQuery q = run(QStringLiteral("SELECT ID FROM DupTestData WHERE ProblemCode='DL_BASE_RECORD'")); q.next();)
        lookAlikes.insert(q.value(0).toLongLong());
    // Which groups each registry client holds a found record of: two people
    // under one client is a merge the scores cannot show.
    QHash<qint32, QSet<size_t>> groupsOfClient;
    for (size_t g = 0; g < groups.size(); ++g)
        for (int n = 0; n < 5; ++n)
            if (groups[g].loaded[n])
                groupsOfClient[groups[g].client[n]].insert(g);

    QVariantList ids, groupNos, places, attempts, clientNos, flags, outcomes;
    for (size_t g = 0; g < groups.size(); ++g) {
        const ScoredGroup& group = groups[g];
        int own = -1;
        for (int n = 0; n < 5 && own < 0; ++n)
            if (group.loaded[n])
                own = n;
        for (int n = 0; n < 5; ++n) {
            if (group.rec[n] == 0)
                continue;
            QString outcome;
            if (!group.loaded[n])
                outcome = own < 0 ? QStringLiteral("lost") : QStringLiteral("absent");
            else if (!group.listed[n].isEmpty())
                outcome = group.listed[n];
            else if (lookAlikes.contains(group.rec[n]))
                outcome = groupsOfClient.value(group.client[n]).size() > 1 ? QStringLiteral("stranger_merge")
                                                                          : QStringLiteral("kept_apart");
            else if (group.client[n] == group.client[own])
                outcome = QStringLiteral("caught");
            else // a second record in a surplus client: the scores count that client once, under its other record
                for (int m = 0; m < 5 && outcome.isEmpty(); ++m)
                    if (group.loaded[m] && group.client[m] == group.client[n])
                        outcome = group.listed[m];
            const int attempt = m_attempts.value(group.rec[n]);
            ids << group.rec[n];
            groupNos << qint64(g + 1);
            places << n + 1;
            attempts << (group.loaded[n] && attempt > 0 ? QVariant(attempt) : QVariant());
            clientNos << (group.loaded[n] ? QVariant(group.client[n]) : QVariant());
            flags << (group.loaded[n] ? QVariant(group.flag[n]) : QVariant());
            outcomes << outcome;
        }
    }
    runColumns(QStringLiteral("INSERT INTO tblRecordOutcomes (ID, GroupNo, Place, Attempt, ClientID, QMflag, Outcome) "
                              "VALUES (?, ?, ?, ?, ?, ?, ?)"),
               {ids, groupNos, places, attempts, clientNos, flags, outcomes});
}

} // namespace marrowick
