#include "PercentText.h"
#include "SummaryCommon.h"
#include "Summaries.h"

namespace marrowick {

using namespace summary;

bool clsScoreByType::RefillScoresByType()
{
    if (!deleteOldRows(QStringLiteral("DELETE from tblScoresByType")))
        return false;
    // Failures from here on are the caller's to report.
    WriteBatch batch;
    QList<QPair<qint64, QString>> rows;
    {
        QSqlQuery g = run(kDupTypes);
        while (g.next()) {
            QSqlQuery insert = run(QStringLiteral("INSERT INTO tblScoresByType (ProblemCode, DupProblemCount) VALUES (?, ?)"),
                                   {g.value(QStringLiteral("ProblemCode")), g.value(QStringLiteral("Total"))});
            rows.append({insert.lastInsertId().toLongLong(), g.value(QStringLiteral("ProblemCode")).toString()});
        }
    }
    const QString lookAlikesOfType = QStringLiteral(
        "SELECT count(*) AS Total From DupTestData WHERE (ProblemCode='DL_BASE_RECORD' AND ComboCode in "
        "(Select ComboCode from tblComboMap WHERE ProbCode =?));");
    const QString lostOfType = QStringLiteral(
        "SELECT count(*) AS MissTotal FROM IIS_MISSING_RECORDS  INNER JOIN DupTestData ON IIS_MISSING_RECORDS.ID = "
        "DupTestData.ID WHERE ComboCode in (Select ComboCode from tblComboMap WHERE ProbCode =?);");
    for (const auto& [rowid, code] : rows) {
        {
            QSqlQuery l = firstRow(kProbDesc, {code});
            run(QStringLiteral("UPDATE tblScoresByType SET ProblemDesc=?, ProbOrder=? WHERE rowid=?"),
                {l.value(QStringLiteral("ProbDesc")), l.value(QStringLiteral("ProbOrder")), rowid});
        }
        run(QStringLiteral("UPDATE tblScoresByType SET NonDupProblemCount=? WHERE rowid=?"),
            {scalar(lookAlikesOfType, QStringLiteral("Total"), {code}), rowid});
        const qint16 caught = count16(kNotInDuplicates, QStringLiteral("Total"), {code});
        const qint16 flagged = count16(kFlaggedOfType, QStringLiteral("Total"), {code});
        const qint16 lostLookAlikes = count16(lostOfType, QStringLiteral("MissTotal"), {code});
        // The counts of the row as stored, read back.
        QSqlQuery stored = firstRow(QStringLiteral("SELECT DupProblemCount, NonDupProblemCount FROM tblScoresByType WHERE rowid=?"), {rowid});
        const qint16 dupCount = checked16(stored.value(0).toLongLong());
        const qint16 nonDupCount = checked16(stored.value(1).toLongLong());
        const qint16 missed = checked16(qint64(dupCount) - checked16(qint64(caught) + flagged));
        const QString sensitivity = PercentText(checked16(qint64(dupCount) - missed), dupCount);
        const QString specificity = nonDupCount == 0
            ? QStringLiteral("N/A")
            : PercentText(checked16(qint64(nonDupCount) - lostLookAlikes), nonDupCount);
        run(QStringLiteral("UPDATE tblScoresByType SET Sensitivity=?, Specificity=? WHERE rowid=?"), {sensitivity, specificity, rowid});
    }
    const qint16 totalDup = count16(kTotalDup, QStringLiteral("TotalDup"));
    const qint16 totalNonDup = count16(kTotalNonDup, QStringLiteral("Total"));
    const qint16 undetected = count16(kUndetected, QStringLiteral("DupTotal"));
    const qint16 missingGroups = count16(kMissingGroups, QStringLiteral("MisTotal"));
    appendRow(QStringLiteral("tblScoresByType"),
              {{"ProblemCode", QStringLiteral("TOTAL")},
               {"ProbOrder", 99},
               {"ProblemDesc", QStringLiteral("ALL TEST RECORDS")},
               {"DupProblemCount", totalDup},
               {"NonDupProblemCount", totalNonDup},
               {"Sensitivity", PercentText(checked16(qint64(totalDup) - undetected), totalDup)},
               {"Specificity", PercentText(checked16(qint64(totalNonDup) - missingGroups), totalNonDup)}});
    return true;
}

} // namespace marrowick
