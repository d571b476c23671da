#pragma once
#include "analysis/ProblemCode.h"
#include "database/Db.h"
#include "platform/Platform.h"

#include <QString>

namespace marrowick::summary {

// The shared counting statements.
inline const QString kTotalDup =
    QStringLiteral("SELECT count(*) AS TotalDup From DupTestData WHERE ") + problem::isDuplicate();
inline const QString kTotalNonDup =
    QStringLiteral("SELECT count(*) AS Total From DupTestData WHERE ") + problem::isNotDuplicate();
inline const QString kDupTypes = QStringLiteral("SELECT ProblemCode, count(*) AS Total From DupTestData WHERE ")
                                 + problem::isDuplicate() + QStringLiteral(" GROUP BY ProblemCode");
inline const QString kLookAlikeKinds = QStringLiteral("SELECT SecondProblem, count(*) AS Total From DupTestData WHERE ")
                                       + problem::isLookAlike() + QStringLiteral(" GROUP BY SecondProblem;");
inline const QString kProbDesc = QStringLiteral("SELECT ProbDesc, ProbOrder From tblProbDescMap where ProbCode = ?;");
inline const QString kUndetected =
    QStringLiteral("SELECT Count(*) AS DupTotal From IIS_DUPLICATES WHERE (QM <> 'Y' AND OTHERQM <>'Y');");
inline const QString kMissingGroups = QStringLiteral("SELECT Count(*) AS MisTotal FROM IIS_MISSING_RECORDS");
inline const QString kNotInDuplicates = QStringLiteral(
    "SELECT Count(*) AS Total From DupTestData  WHERE ( ((DupTestData.ID) Not in (SELECT id FROM IIS_DUPLICATES)) "
    "AND DupTestData.ProblemCode = ?);");
inline const QString kFlaggedOfType = QStringLiteral(
    "SELECT count(*) AS Total FROM IIS_DUPLICATES  INNER JOIN DupTestData ON IIS_DUPLICATES.ID = DupTestData.ID "
    "WHERE (QM='Y' or OTHERQM='Y')  AND (ProblemCode=?);");

// Empties a summary table; false after the "Database Error" message.
inline bool deleteOldRows(const QString& statement)
{
    try {
        run(statement);
        return true;
    } catch (const DbError&) {
        platform().MsgBox(QStringLiteral("Database Error"), QStringLiteral("Error occurred when deleting old data."),
                          MsgIcon::Critical, MsgButtons::Ok);
        return false;
    }
}

// The first row of a lookup; "No current record" when there is none.
inline QSqlQuery firstRow(const QString& sql, const QVariantList& binds = {})
{
    QSqlQuery query = run(sql, binds);
    if (!query.next()) throw DbError(DbError::NoCurrentRecord, QStringLiteral("No current record."));
    return query;
}

inline void showGeneralError(const QString& leadIn, const DbError& error)
{
    platform().MsgBox(QStringLiteral("Error"), leadIn + error.numbered(), MsgIcon::Critical, MsgButtons::Ok);
}

} // namespace marrowick::summary
