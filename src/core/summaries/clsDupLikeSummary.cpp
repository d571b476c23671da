#include "PercentText.h"
#include "SummaryCommon.h"
#include "SummaryCounts.h"
#include "clsDupLikeSummary.h"
#include "database/WriteBatch.h"

namespace marrowick {

using namespace summary;

bool clsDupLikeSummary::RefillDupLikeSummary()
{
    if (!deleteOldRows(QStringLiteral("DELETE from tblDupLikeSummary"))) return false;
    // Failures from here on are the caller's to report.
    WriteBatch batch;
    qint16 countSum = 0, uniqueSum = 0, mistakeSum = 0;
    QList<QPair<qint64, QString>> rows;
    {
        QSqlQuery g = firstRow(kLookAlikeKinds);
        do {
            const QString code = g.value(QStringLiteral("SecondProblem")).toString();
            const qint64 total = g.value(QStringLiteral("Total")).toLongLong();
            QSqlQuery insert =
                run(QStringLiteral("INSERT INTO tblDupLikeSummary (ProblemCode, ProblemCount) VALUES (?, ?)"),
                    {code, total});
            rows.append({insert.lastInsertId().toLongLong(), code});
            countSum = checked16(qint64(countSum) + total);
        } while (g.next());
    }
    for (const auto& [rowid, code] : rows) {
        {
            QSqlQuery l = firstRow(
                QStringLiteral("SELECT ProbDesc, ProbOrder From tblSecondProbDescMap where ProbCode = ?;"), {code});
            run(QStringLiteral("UPDATE tblDupLikeSummary SET ProblemDesc=?, ProbOrder=? WHERE rowid=?"),
                {l.value(QStringLiteral("ProbDesc")), l.value(QStringLiteral("ProbOrder")), rowid});
        }
        const qint64 unique =
            scalar(QStringLiteral("SELECT Count(*) AS Total From DupTestData  WHERE ( ((DupTestData.ID) Not in "
                                  "(SELECT id FROM IIS_MISSING_RECORDS)) AND DupTestData.SecondProblem = ?);"),
                   QStringLiteral("Total"), {code})
                .toLongLong();
        run(QStringLiteral("UPDATE tblDupLikeSummary SET TotalUnique=? WHERE rowid=?"), {unique, rowid});
        const qint64 mistaken = lostOfKind(code);
        const qint64 count = scalar(QStringLiteral("SELECT ProblemCount FROM tblDupLikeSummary WHERE rowid=?"),
                                    QStringLiteral("ProblemCount"), {rowid})
                                 .toLongLong();
        const QString specificity = PercentText(count - mistaken, count);
        uniqueSum = checked16(qint64(uniqueSum) + unique);
        mistakeSum = checked16(qint64(mistakeSum) + mistaken);
        run(QStringLiteral("UPDATE tblDupLikeSummary SET TotalDupMistake=?, Specificity=? WHERE rowid=?"),
            {mistaken, specificity, rowid});
    }
    const qint16 kept = checked16(qint64(countSum) - mistakeSum);
    appendRow(QStringLiteral("tblDupLikeSummary"), {{"ProblemCode", QStringLiteral("TOTAL_DUPLIKE")},
                                                    {"ProblemCount", countSum},
                                                    {"TotalUnique", uniqueSum},
                                                    {"TotalDupMistake", mistakeSum},
                                                    {"Specificity", PercentText(kept, countSum)},
                                                    {"ProblemDesc", QStringLiteral("TOTAL for duplicate look alikes")},
                                                    {"ProbOrder", 99}});

    const qint16 T = checked16(nonDuplicatesInDeck());
    QSqlQuery insert =
        run(QStringLiteral("INSERT INTO tblDupLikeSummary (ProblemCode, ProblemCount) VALUES ('TOTAL', ?)"), {T});
    const qint64 totalRow = insert.lastInsertId().toLongLong();
    const qint64 lost =
        scalar(QStringLiteral("SELECT count(*) AS Total From IIS_MISSING_RECORDS"), QStringLiteral("Total"))
            .toLongLong();
    run(QStringLiteral("UPDATE tblDupLikeSummary SET TotalDupMistake=? WHERE rowid=?"), {lost, totalRow});
    const qint16 keptAll = checked16(qint64(T) - lost);
    run(QStringLiteral(
            "UPDATE tblDupLikeSummary SET TotalUnique=?, Specificity=?, ProblemDesc=?, ProbOrder=100 WHERE rowid=?"),
        {keptAll, PercentText(keptAll, T), QStringLiteral("TOTAL for all non-duplicate records"), totalRow});
    return true;
}

} // namespace marrowick
