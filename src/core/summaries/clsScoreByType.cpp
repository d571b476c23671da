#include "PercentText.h"
#include "SummaryCommon.h"
#include "SummaryCounts.h"
#include "clsScoreByType.h"
#include "database/WriteBatch.h"

namespace marrowick {

using namespace summary;

bool clsScoreByType::RefillScoresByType()
{
    if (!deleteOldRows(QStringLiteral("DELETE from tblScoresByType"))) return false;
    // Failures from here on are the caller's to report.
    WriteBatch batch;
    QList<QPair<qint64, QString>> rows;
    {
        QSqlQuery g = run(kDupTypes);
        while (g.next()) {
            QSqlQuery insert =
                run(QStringLiteral("INSERT INTO tblScoresByType (ProblemCode, DupProblemCount) VALUES (?, ?)"),
                    {g.value(QStringLiteral("ProblemCode")), g.value(QStringLiteral("Total"))});
            rows.append({insert.lastInsertId().toLongLong(), g.value(QStringLiteral("ProblemCode")).toString()});
        }
    }
    for (const auto& [rowid, code] : rows) {
        {
            QSqlQuery l = firstRow(kProbDesc, {code});
            run(QStringLiteral("UPDATE tblScoresByType SET ProblemDesc=?, ProbOrder=? WHERE rowid=?"),
                {l.value(QStringLiteral("ProbDesc")), l.value(QStringLiteral("ProbOrder")), rowid});
        }
        run(QStringLiteral("UPDATE tblScoresByType SET NonDupProblemCount=? WHERE rowid=?"),
            {lookAlikesOfType(code), rowid});
        const qint16 caught = checked16(unlistedOfType(code));
        const qint16 flagged = checked16(flaggedOfType(code));
        const qint16 lostLookAlikes = checked16(lostLookAlikesOfType(code));
        // The counts of the row as stored, read back.
        QSqlQuery stored = firstRow(
            QStringLiteral("SELECT DupProblemCount, NonDupProblemCount FROM tblScoresByType WHERE rowid=?"), {rowid});
        const qint16 dupCount = checked16(stored.value(0).toLongLong());
        const qint16 nonDupCount = checked16(stored.value(1).toLongLong());
        const qint16 missed = checked16(qint64(dupCount) - checked16(qint64(caught) + flagged));
        const QString sensitivity = PercentText(checked16(qint64(dupCount) - missed), dupCount);
        const QString specificity = nonDupCount == 0
                                        ? QStringLiteral("N/A")
                                        : PercentText(checked16(qint64(nonDupCount) - lostLookAlikes), nonDupCount);
        run(QStringLiteral("UPDATE tblScoresByType SET Sensitivity=?, Specificity=? WHERE rowid=?"),
            {sensitivity, specificity, rowid});
    }
    const qint16 totalDup = checked16(duplicatesInDeck());
    const qint16 totalNonDup = checked16(nonDuplicatesInDeck());
    const qint16 undetected = checked16(undetectedDuplicates());
    const qint16 missing = checked16(missingGroups());
    appendRow(QStringLiteral("tblScoresByType"),
              {{"ProblemCode", QStringLiteral("TOTAL")},
               {"ProbOrder", 99},
               {"ProblemDesc", QStringLiteral("ALL TEST RECORDS")},
               {"DupProblemCount", totalDup},
               {"NonDupProblemCount", totalNonDup},
               {"Sensitivity", PercentText(checked16(qint64(totalDup) - undetected), totalDup)},
               {"Specificity", PercentText(checked16(qint64(totalNonDup) - missing), totalNonDup)}});
    return true;
}

} // namespace marrowick
