#include "SummaryCounts.h"

#include "SummaryCommon.h"

namespace marrowick::summary {

namespace {
qint64 count(const QString& sql, const char* alias, const QVariantList& binds = {})
{
    return scalar(sql, QLatin1String(alias), binds).toLongLong();
}

std::vector<CodeCount> codeCounts(const QString& sql, const char* codeField)
{
    std::vector<CodeCount> counts;
    for (QSqlQuery q = run(sql); q.next();)
        counts.push_back({q.value(QLatin1String(codeField)).toString(), q.value(QStringLiteral("Total")).toLongLong()});
    return counts;
}

// The case folding of the columns' NOCASE collation: ASCII letters only.
QString asciiCapitals(QString code)
{
    for (QChar& c : code)
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z')) c = QChar(c.unicode() - ('a' - 'A'));
    return code;
}
} // namespace

qint64 duplicatesInDeck() { return count(kTotalDup, "TotalDup"); }
qint64 nonDuplicatesInDeck() { return count(kTotalNonDup, "Total"); }
qint64 undetectedDuplicates() { return count(kUndetected, "DupTotal"); }
qint64 missingGroups() { return count(kMissingGroups, "MisTotal"); }

std::vector<CodeCount> duplicateTypes() { return codeCounts(kDupTypes, "ProblemCode"); }
std::vector<CodeCount> lookAlikeKinds() { return codeCounts(kLookAlikeKinds, "SecondProblem"); }

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

CountsOfEveryCode::CountsOfEveryCode(const QString& sql)
{
    for (QSqlQuery q = run(sql); q.next();)
        if (!q.isNull(0)) m_counts.insert(asciiCapitals(q.value(0).toString()), q.value(1).toLongLong());
}

qint64 CountsOfEveryCode::operator()(const QString& code) const
{
    return code.isNull() ? 0 : m_counts.value(asciiCapitals(code));
}

// The statements of unlistedByType, flaggedByType and lostByKind without their code, grouped by it.
CountsOfEveryCode unlistedOfEveryType()
{
    return CountsOfEveryCode(QStringLiteral("SELECT ProblemCode, Count(*) From DupTestData WHERE DupTestData.ID Not in "
                                            "(SELECT id FROM IIS_DUPLICATES) GROUP BY ProblemCode"));
}

CountsOfEveryCode flaggedOfEveryType()
{
    return CountsOfEveryCode(QStringLiteral("SELECT ProblemCode, count(*) FROM IIS_DUPLICATES INNER JOIN DupTestData "
                                            "ON IIS_DUPLICATES.ID = DupTestData.ID WHERE (QM='Y' or OTHERQM='Y') "
                                            "GROUP BY ProblemCode"));
}

CountsOfEveryCode lostOfEveryKind()
{
    return CountsOfEveryCode(QStringLiteral("SELECT SecondProblem, count(*) FROM IIS_MISSING_RECORDS INNER JOIN "
                                            "DupTestData ON IIS_MISSING_RECORDS.ID = DupTestData.ID GROUP BY "
                                            "SecondProblem"));
}

qint64 unlistedOfType(const QString& code) { return unlistedByType()(code); }
qint64 flaggedOfType(const QString& code) { return flaggedByType()(code); }
qint64 lostOfKind(const QString& secondProblem) { return lostByKind()(secondProblem); }

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
