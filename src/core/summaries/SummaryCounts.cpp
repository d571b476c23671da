#include "SummaryCounts.h"

#include "SummaryCommon.h"
#include "database/NativeStatement.h"

#include <QHash>
#include <QSet>
#include <algorithm>

namespace marrowick::summary {

namespace {
qint64 count(const QString& sql, const char* alias, const QVariantList& binds = {})
{
    return scalar(sql, QLatin1String(alias), binds).toLongLong();
}

// The working tables' rows by the test record they name. Their statements
// compare IDs as integer columns do: only a whole number names a record.
struct RowsById {
    QSet<qint64> listed;           // surplus clients
    QHash<qint64, qint64> flagged; // of them flagged
    QHash<qint64, qint64> missing; // records of missing groups
    // A surplus client without an ID: "ID NOT IN" that list holds for no record.
    bool listedWithoutId = false;
};

RowsById readWorkingTables(FigureCounts& counts)
{
    RowsById rows;
    // The conditions are kUndetected's and kFlaggedOfType's, so that NULL flags count as they do there.
    NativeStatement duplicates("SELECT ID, QM='Y' or OTHERQM='Y', QM <> 'Y' AND OTHERQM <>'Y' FROM IIS_DUPLICATES");
    while (duplicates.step()) {
        counts.undetected += duplicates.integer(2); // NULL reads as 0
        rows.listedWithoutId = rows.listedWithoutId || duplicates.isNull(0);
        if (!duplicates.isInteger(0)) continue;
        rows.listed.insert(duplicates.integer(0));
        if (duplicates.integer(1)) ++rows.flagged[duplicates.integer(0)];
    }
    NativeStatement missing("SELECT ID FROM IIS_MISSING_RECORDS");
    while (missing.step()) {
        ++counts.missingGroups;
        if (missing.isInteger(0)) ++rows.missing[missing.integer(0)];
    }
    return rows;
}

// NOCASE folds ASCII capitals alone, to small letters, and orders by the folded bytes.
const QByteArray& nocaseKey(QByteArrayView text, QByteArray& buffer)
{
    buffer.resize(text.size());
    char* out = buffer.data();
    for (const char c : text) *out++ = c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c;
    return buffer;
}

QByteArray nocaseKey(const QString& code)
{
    QByteArray buffer;
    return nocaseKey(code.toUtf8(), buffer);
}

const QByteArray& lookAlikeKey()
{
    static const QByteArray key = nocaseKey(problem::kLookAlike);
    return key;
}

// The deck's records of one code, as a GROUP BY on the code's NOCASE column gathers them.
struct Group {
    QByteArray first; // the code as the group's first record spells it, which the grouped statement shows
    qint64 records = 0;
    qint64 unlisted = 0;
    qint64 flagged = 0;
    qint64 lost = 0;

    void add(QByteArrayView code)
    {
        if (records++ == 0) first = code.toByteArray();
    }
};

class Groups {
public:
    // The group of a code, a null one for the records without a code, and its key (none for those).
    std::pair<const QByteArray*, Group*> of(QByteArrayView code)
    {
        if (code.isNull()) return {nullptr, &m_null};
        auto found = m_byKey.find(nocaseKey(code, m_buffer));
        // A copy of its own: a shared one would make the buffer copy itself on the next row.
        if (found == m_byKey.end()) found = m_byKey.insert(QByteArray(m_buffer.constData(), m_buffer.size()), {});
        return {&found.key(), &found.value()};
    }
    const Group& withoutCode() const { return m_null; }
    // The groups with a code, by key: the grouped statement's order, which puts the group without one first.
    std::vector<std::pair<QByteArray, const Group*>> ordered() const
    {
        std::vector<std::pair<QByteArray, const Group*>> groups;
        for (auto it = m_byKey.cbegin(); it != m_byKey.cend(); ++it) groups.emplace_back(it.key(), &it.value());
        std::sort(groups.begin(), groups.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        return groups;
    }

private:
    Group m_null;
    QHash<QByteArray, Group> m_byKey;
    QByteArray m_buffer;
};

// Every record's code and kind, in the order of ID that the grouped statements read them in.
// A code as SQLite compares and shows it when it is plain: Null (a null view),
// or text of UTF-8 without a NUL inside; nullopt for any other. A blob, a
// NUL (where the NOCASE comparison stops) or bytes that are no UTF-8 never
// come in the supplied data.
std::optional<QByteArrayView> plainCode(const NativeStatement& deck, int column)
{
    // Asked before the text: reading a blob as text makes it text.
    if (!deck.isText(column)) return deck.isNull(column) ? std::optional(QByteArrayView()) : std::nullopt;
    const QByteArrayView code = deck.text(column);
    if (code.contains('\0') || !code.isValidUtf8()) return std::nullopt;
    return code;
}

// False, having counted nothing, when a code is not plain.
bool countDeck(const RowsById& rows, Groups& types, Groups& kinds)
{
    // In the table's own order, which the grouped statements read it in.
    NativeStatement deck("SELECT ID, ProblemCode, SecondProblem FROM DupTestData");
    while (deck.step()) {
        const std::optional<QByteArrayView> typeText = plainCode(deck, 1), kindText = plainCode(deck, 2);
        if (!typeText || !kindText) return false;
        const qint64 id = deck.integer(0);
        const QByteArrayView typeCode = *typeText, kindCode = *kindText;
        const auto [typeKey, type] = types.of(typeCode);
        type->add(typeCode);
        type->unlisted += !rows.listedWithoutId && !rows.listed.contains(id);
        type->flagged += rows.flagged.value(id);
        Group* kind = kinds.of(kindCode).second;
        kind->lost += rows.missing.value(id);
        if (typeKey && *typeKey == lookAlikeKey()) kind->add(kindCode);
    }
    return true;
}

// The codes as a grouped statement gives them, and each code's count, found
// by the code in ASCII capitals.
class CountsOfEveryCode {
public:
    explicit CountsOfEveryCode(const QString& sql)
    {
        for (QSqlQuery q = run(sql); q.next();)
            if (!q.isNull(0)) m_counts.insert(capitals(q.value(0).toString()), q.value(1).toLongLong());
    }
    qint64 operator()(const QString& code) const { return code.isNull() ? 0 : m_counts.value(capitals(code)); }

private:
    static QString capitals(QString code)
    {
        for (QChar& c : code)
            if (c >= QLatin1Char('a') && c <= QLatin1Char('z')) c = QChar(c.unicode() - ('a' - 'A'));
        return code;
    }
    QHash<QString, qint64> m_counts;
};

// The counts from grouped statements, as the saved runs always took them,
// for a deck whose codes are not plain: slower, but SQLite itself decides
// what equals a code.
FigureCounts countsByStatements()
{
    FigureCounts counts;
    counts.nonDuplicates = nonDuplicatesInDeck();
    counts.undetected = undetectedDuplicates();
    counts.missingGroups = missingGroups();
    const CountsOfEveryCode unlisted(QStringLiteral("SELECT ProblemCode, Count(*) From DupTestData WHERE "
                                                    "DupTestData.ID Not in (SELECT id FROM IIS_DUPLICATES) GROUP BY "
                                                    "ProblemCode"));
    const CountsOfEveryCode flagged(QStringLiteral("SELECT ProblemCode, count(*) FROM IIS_DUPLICATES INNER JOIN "
                                                   "DupTestData ON IIS_DUPLICATES.ID = DupTestData.ID WHERE (QM='Y' or "
                                                   "OTHERQM='Y') GROUP BY ProblemCode"));
    const CountsOfEveryCode lost(QStringLiteral("SELECT SecondProblem, count(*) FROM IIS_MISSING_RECORDS INNER JOIN "
                                                "DupTestData ON IIS_MISSING_RECORDS.ID = DupTestData.ID GROUP BY "
                                                "SecondProblem"));
    for (QSqlQuery q = run(kDupTypes); q.next();) {
        const QString code = q.value(0).toString();
        counts.types.push_back({code, q.value(1).toLongLong(), unlisted(code), flagged(code)});
    }
    for (QSqlQuery q = run(kLookAlikeKinds); q.next();) {
        const QString code = q.value(0).toString();
        counts.kinds.push_back({code, q.value(1).toLongLong(), lost(code)});
    }
    return counts;
}

} // namespace

qint64 duplicatesInDeck() { return count(kTotalDup, "TotalDup"); }
qint64 nonDuplicatesInDeck() { return count(kTotalNonDup, "Total"); }
qint64 undetectedDuplicates() { return count(kUndetected, "DupTotal"); }
qint64 missingGroups() { return count(kMissingGroups, "MisTotal"); }

CountByCode::CountByCode(const QString& sql, const char* alias)
    : m_sql(sql), m_alias(QLatin1String(alias)), m_query(cnEval())
{
    if (!cnEval().isOpen()) throw DbError(DbError::General, QStringLiteral("The evaluation database is not open"));
    m_query.setForwardOnly(true);
    if (!m_query.prepare(m_sql)) throwSqlError(m_query, m_sql);
}

qint64 CountByCode::operator()(const QString& code)
{
    m_query.bindValue(0, code);
    if (!m_query.exec()) throwSqlError(m_query, m_sql);
    if (!m_query.next()) throw DbError(DbError::NoCurrentRecord, QStringLiteral("No current record."));
    const qint64 value = m_query.value(m_alias).toLongLong();
    m_query.finish();
    return value;
}

CountByCode unlistedByType() { return {kNotInDuplicates, "Total"}; }
CountByCode flaggedByType() { return {kFlaggedOfType, "Total"}; }
CountByCode lostByKind()
{
    return {QStringLiteral("SELECT count(*) AS MissTotal FROM IIS_MISSING_RECORDS  INNER JOIN DupTestData ON "
                           "IIS_MISSING_RECORDS.ID = DupTestData.ID WHERE (SecondProblem=?);"),
            "MissTotal"};
}

qint64 unlistedOfType(const QString& code) { return unlistedByType()(code); }
qint64 flaggedOfType(const QString& code) { return flaggedByType()(code); }
qint64 lostOfKind(const QString& secondProblem) { return lostByKind()(secondProblem); }

FigureCounts figureCounts()
{
    static const QByteArray baseRecordKey = nocaseKey(problem::kBaseRecord);
    FigureCounts counts;
    const RowsById rows = readWorkingTables(counts);
    Groups types, kinds;
    if (!countDeck(rows, types, kinds)) return countsByStatements();
    // Records without a code are neither duplicates nor not.
    for (const auto& [key, type] : types.ordered()) {
        if (key == baseRecordKey || key == lookAlikeKey())
            counts.nonDuplicates += type->records;
        else
            counts.types.push_back({QString::fromUtf8(type->first), type->records, type->unlisted, type->flagged});
    }
    // A kind's lost records are any of that kind, look-alike or not, as lostOfKind() counts them; a
    // kind without a code loses none there, its NULL matching no row.
    if (kinds.withoutCode().records > 0) counts.kinds.push_back({QString(), kinds.withoutCode().records, 0});
    for (const auto& [key, kind] : kinds.ordered())
        if (kind->records > 0) counts.kinds.push_back({QString::fromUtf8(kind->first), kind->records, kind->lost});
    return counts;
}

qint64 lookAlikesOfType(const QString& code)
{
    return count(QStringLiteral("SELECT count(*) AS Total From DupTestData WHERE ") + problem::isLookAlike()
                     + QStringLiteral(" AND ComboCode in (Select ComboCode from tblComboMap WHERE ProbCode =?);"),
                 "Total", {code});
}

qint64 lostLookAlikesOfType(const QString& code)
{
    return count(QStringLiteral("SELECT count(*) AS MissTotal FROM IIS_MISSING_RECORDS  INNER JOIN DupTestData ON "
                                "IIS_MISSING_RECORDS.ID = DupTestData.ID WHERE ComboCode in (Select ComboCode from "
                                "tblComboMap WHERE ProbCode =?);"),
                 "MissTotal", {code});
}

} // namespace marrowick::summary
