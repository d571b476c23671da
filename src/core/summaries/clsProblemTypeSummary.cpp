#include "PercentText.h"
#include "SummaryCommon.h"
#include "SummaryCounts.h"
#include "clsProblemTypeSummary.h"
#include "database/WriteBatch.h"

#include <QSqlRecord>

namespace marrowick {

using namespace summary;

namespace {

// The problem codes of the first pass with their output rows.
struct TypeRow {
    qint64 rowid;
    QString code;
};

} // namespace

bool clsProblemTypeSummary::RefillProblemTypeSummary()
{
    if (!deleteOldRows(QStringLiteral("DELETE from tblDupProblemTypeSummary"))) return false;
    try {
        WriteBatch batch;
        qint16 countSum = 0, caughtSum = 0, flaggedSum = 0, missedSum = 0;
        QList<TypeRow> rows;
        {
            QSqlQuery g = firstRow(kDupTypes);
            do {
                const QString code = g.value(QStringLiteral("ProblemCode")).toString();
                const qint64 total = g.value(QStringLiteral("Total")).toLongLong();
                QSqlQuery insert = run(
                    QStringLiteral("INSERT INTO tblDupProblemTypeSummary (ProblemCode, ProblemCount) VALUES (?, ?)"),
                    {code, total});
                rows.append({insert.lastInsertId().toLongLong(), code});
                countSum = checked16(qint64(countSum) + total);
            } while (g.next());
        }
        for (const TypeRow& row : rows) {
            {
                QSqlQuery l = firstRow(kProbDesc, {row.code});
                run(QStringLiteral("UPDATE tblDupProblemTypeSummary SET ProblemDesc=?, ProbOrder=? WHERE rowid=?"),
                    {l.value(QStringLiteral("ProbDesc")), l.value(QStringLiteral("ProbOrder")), row.rowid});
            }
            const qint64 caught = unlistedOfType(row.code);
            run(QStringLiteral("UPDATE tblDupProblemTypeSummary SET TotalCaught=? WHERE rowid=?"), {caught, row.rowid});
            const qint64 flagged = flaggedOfType(row.code);
            // The row's values as stored, read back.
            const qint64 count =
                scalar(QStringLiteral("SELECT ProblemCount FROM tblDupProblemTypeSummary WHERE rowid=?"),
                       QStringLiteral("ProblemCount"), {row.rowid})
                    .toLongLong();
            const qint64 missed = count - (flagged + caught);
            const QString sensitivity = PercentText(count - missed, count);
            flaggedSum = checked16(qint64(flaggedSum) + flagged);
            caughtSum = checked16(qint64(caughtSum) + caught);
            missedSum = checked16(qint64(missedSum) + missed);
            run(QStringLiteral(
                    "UPDATE tblDupProblemTypeSummary SET TotalQM=?, TotalMissed=?, Sensitivity=? WHERE rowid=?"),
                {flagged, missed, sensitivity, row.rowid});
        }
        const qint16 found = checked16(qint64(countSum) - missedSum);
        appendRow(QStringLiteral("tblDupProblemTypeSummary"), {{"ProblemCode", QStringLiteral("TOTAL")},
                                                               {"ProblemCount", countSum},
                                                               {"TotalCaught", caughtSum},
                                                               {"TotalQM", flaggedSum},
                                                               {"TotalMissed", missedSum},
                                                               {"Sensitivity", PercentText(found, countSum)},
                                                               {"ProblemDesc", QStringLiteral("TOTAL DUPLICATES")},
                                                               {"ProbOrder", 100}});
    } catch (const DbError& error) {
        showGeneralError(QStringLiteral("Error occurred in RefillProblemType: "), error);
        return false;
    }
    return true;
}

} // namespace marrowick
