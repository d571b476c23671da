#include "PercentText.h"
#include "SummaryCommon.h"
#include "SummaryCounts.h"
#include "clsOverallResults.h"
#include "analysis/clsAnalyzeResults.h"
#include "database/WriteBatch.h"

#include <QSet>
#include <QSqlQuery>

namespace marrowick {

using namespace summary;

namespace {

// Test people who have no duplicate in the deck (groups of one) and whose
// client, as the analysis found it, carries the potential-duplicate flag on any
// of its rows: each such person counts once, however many rows the client has.
// Subtracting flagged duplicates from flagged rows would mix two units.
qint64 flaggedPeopleWithoutDuplicate()
{
    QSet<qint32> flaggedClients;
    for (QSqlQuery q = run(QStringLiteral("SELECT ClientID FROM IIS_LOADED_CHILD_ALL WHERE QMflag='Y'")); q.next();) {
        try {
            flaggedClients.insert(clsAnalyzeResults::ClientNumber(q.value(0).toString()));
        } catch (const DbError&) {
            // not a client number: no test record was found under it
        }
    }
    qint64 people = 0;
    for (QSqlQuery q =
             run(QStringLiteral("SELECT rec_1_IIS_ID FROM Answer_Sheet WHERE rec_1_loaded <> 0 AND "
                                "COALESCE(rec_2, 0) = 0 AND COALESCE(rec_3, 0) = 0 AND COALESCE(rec_4, 0) = 0 "
                                "AND COALESCE(rec_5, 0) = 0"));
         q.next();)
        people += flaggedClients.contains(qint32(q.value(0).toLongLong()));
    return people;
}

} // namespace

bool clsOverallResults::RefillOverallResults()
{
    if (!deleteOldRows(QStringLiteral("DELETE from tblOverallResults"))) return false;
    try {
        WriteBatch batch;
        auto row = [](int code, const QVariant& desc, const QVariant& value) {
            appendRow(QStringLiteral("tblOverallResults"),
                      {{"ResultCode", code}, {"ResultDesc", desc}, {"ResultValue", value}});
        };
        const QVariant notSet;
        const QString q6 = QStringLiteral("SELECT count(*) AS QMTotal FROM IIS_DUPLICATES  INNER JOIN DupTestData ON "
                                          "IIS_DUPLICATES.ID = DupTestData.ID "
                                          "WHERE (QM='Y' or OTHERQM='Y') ");

        row(0, QStringLiteral("Actual Total Records in Test Data"),
            QString::number(scalar(QStringLiteral("SELECT count(*) AS Total From DupTestData"), QStringLiteral("Total"))
                                .toLongLong()));
        const qint16 D = checked16(duplicatesInDeck());
        row(1, QStringLiteral("     Total Duplicates in Test Data"), QString::number(D));
        const qint16 N = checked16(nonDuplicatesInDeck());
        row(2, QStringLiteral("     Total Non-duplicates in Test Data"), QString::number(N));
        row(3, notSet, notSet);
        row(4, QStringLiteral("TEST RESULTS:"), notSet);
        qint64 clients = 0;
        for (QSqlQuery q4 =
                 run(QStringLiteral("SELECT Count(*) AS Total From IIS_LOADED_CHILD_ALL GROUP BY ClientID;"));
             q4.next();)
            ++clients;
        row(5, QStringLiteral("Total New Clients Added to Registry (Unique IDs)"), QString::number(clients));
        const qint16 U = checked16(undetectedDuplicates());
        row(6, QStringLiteral("Undetected duplicates added as new records"), QString::number(U));
        const qint16 C = checked16(qint64(D) - U);
        row(7, QStringLiteral("Duplicate records merged, rejected, or flagged as duplicates"), QString::number(C));
        const qint64 flagged = scalar(q6, QStringLiteral("QMTotal")).toLongLong();
        row(8, QStringLiteral("     Records handled as certain duplicates (merged with match or rejected)"),
            QString::number(C - flagged));
        const qint16 F = checked16(flagged);
        row(9, QStringLiteral("     Records handled as potential duplicates (flagged)"), QString::number(F));
        const qint16 M = checked16(missingGroups());
        row(10, QStringLiteral("Missing records (mistaken for duplicates or rejected)"), QString::number(M));
        const qint16 kept = checked16(qint64(N) - M);
        row(11, QStringLiteral("Records correctly identified as non-duplicates"), QString::number(kept));
        row(12, QStringLiteral("Non-duplicates flagged as possible duplicates"),
            QString::number(flaggedPeopleWithoutDuplicate()));
        row(13, notSet, notSet);
        row(14, QStringLiteral("Overall Score for Duplicate Record Detection (Sensitivity)"), PercentText(C, D));
        row(15, QStringLiteral("Overall Score for Accuracy in Duplicate Record Determination (Specificity)"),
            PercentText(kept, N));
    } catch (const DbError& error) {
        showGeneralError(QStringLiteral("Error occurred in RefillOverallResults: "), error);
        return false;
    }
    return true;
}

} // namespace marrowick
