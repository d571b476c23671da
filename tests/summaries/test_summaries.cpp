#include "Suite.h"
#include "summaries/PercentText.h"
#include "summaries/SummaryCommon.h"
#include "summaries/SummaryCounts.h"
#include "summaries/clsOverallResults.h"
#include "summaries/clsProblemTypeSummary.h"
#include "summaries/clsDupLikeSummary.h"
#include "summaries/clsScoreByType.h"

#include <QLocale>

namespace {

// A small evaluation whose every figure is worked out by hand:
// duplicate types A (11-14), B (21-23), C (41); base records 1-3; look-alikes
// 31, 32 (twins, combination 1, imitating A) and 33 (cousin, combination 2, imitating B).
void knownEvaluation()
{
    for (const char* t : {"DupTestData", "tblProbDescMap", "tblSecondProbDescMap", "tblComboMap", "IIS_DUPLICATES",
                          "IIS_MISSING_RECORDS", "IIS_LOADED_CHILD_ALL", "Answer_Sheet"})
        run("DELETE FROM " + QLatin1String(t));
    auto test = [](int id, const char* code, const QVariant& second = {}, const QVariant& combo = {}) {
        appendRow("DupTestData", {{"ID", id}, {"LastName", QStringLiteral("L%1").arg(id)}, {"FirstName", "F"}, {"Sex", "F"},
                                  {"ProblemCode", QLatin1String(code)}, {"SecondProblem", second}, {"ComboCode", combo},
                                  {"notes", QStringLiteral("note %1").arg(id)}});
    };
    for (const auto& [ids, code] : {std::pair{QList{11, 12, 13, 14}, "A"}, {{21, 22, 23}, "B"}, {{41}, "C"}, {{1, 2, 3}, "BASE_RECORD"}})
        for (int id : ids)
            test(id, code);
    for (const auto& [id, second, combo] : {std::tuple{31, "TWIN", 1}, {32, "TWIN", 1}, {33, "COUSIN", 2}})
        test(id, "DL_BASE_RECORD", QLatin1String(second), combo);
    for (const auto& [code, desc, order] : {std::tuple{"A", "Type A", 1}, {"B", "Type B", 2}, {"C", "Type C", 3}})
        appendRow("tblProbDescMap", {{"ProbCode", QLatin1String(code)}, {"ProbDesc", QLatin1String(desc)}, {"ProbOrder", order}});
    for (const auto& [code, desc, order] : {std::tuple{"TWIN", "Twins", 2}, {"COUSIN", "Cousins", 1}})
        appendRow("tblSecondProbDescMap", {{"ProbCode", QLatin1String(code)}, {"ProbDesc", QLatin1String(desc)}, {"ProbOrder", order}});
    for (const auto& [code, combo] : {std::pair{"A", 1}, {"B", 2}})
        appendRow("tblComboMap", {{"ProbCode", QLatin1String(code)}, {"ComboCode", combo}});
    for (const auto& [id, qm, other] : {std::tuple{11, "N", "N"}, {12, "Y", ""}, {21, "N", "Y"}, {22, "N", "N"}})
        appendRow("IIS_DUPLICATES",
                  {{"ID", id}, {"QM", QLatin1String(qm)}, {"OtherQM", *other ? QVariant(QLatin1String(other)) : QVariant()}});
    for (int id : {31, 2})
        appendRow("IIS_MISSING_RECORDS", {{"ID", id}});
    // Three clients, one of them on two rows, one row flagged.
    for (const auto& [client, flag] : {std::pair{"1", "Y"}, {"1", "N"}, {"2", "N"}, {"3", "N"}})
        appendRow("IIS_LOADED_CHILD_ALL", {{"ClientID", client}, {"QMflag", flag}});
}

// A percentage's parts, its text (empty: a division by zero) and the locale.
struct Percent { int part, whole; QString text, locale = QStringLiteral("C"); };

// A damage to the hand-worked evaluation, the box the refill shows (no title:
// it passes the failure up), and a query of the rows it saved before it failed.
struct Failure { int summary; QString damage, title, message, saved; QStringList savedRows; };

struct Flagged { QString groups, registry; int counted; };

// Changes to the hand-worked evaluation, for counting every code at once.
struct Recoded { QStringList statements; };

QString codeText(const QString& code) { return code.isNull() ? QStringLiteral("<null>") : code; }

// "code|records|unlisted|flagged" per duplicate type, "code|records|lost" per kind of look-alike,
// then the non-duplicates, the undetected and the missing groups: as the saved run counts them...
QStringList figureCounts()
{
    const summary::FigureCounts counts = summary::figureCounts();
    QStringList lines;
    for (const summary::TypeCounts& t : counts.types)
        lines << QStringLiteral("%1|%2|%3|%4").arg(codeText(t.code)).arg(t.records).arg(t.unlisted).arg(t.flagged);
    for (const summary::KindCounts& k : counts.kinds)
        lines << QStringLiteral("%1|%2|%3").arg(codeText(k.code)).arg(k.records).arg(k.lost);
    return lines << QStringLiteral("%1|%2|%3")
                        .arg(counts.nonDuplicates).arg(counts.undetected).arg(counts.missingGroups);
}

// ...and as the reports' statements count them, grouped and code by code.
QStringList statementCounts()
{
    QStringList lines;
    for (QSqlQuery q = run(summary::kDupTypes); q.next();) {
        const QString code = q.value(0).toString();
        lines << QStringLiteral("%1|%2|%3|%4").arg(codeText(code), q.value(1).toString())
                     .arg(summary::unlistedOfType(code)).arg(summary::flaggedOfType(code));
    }
    for (QSqlQuery q = run(summary::kLookAlikeKinds); q.next();) {
        const QString code = q.value(0).toString();
        lines << QStringLiteral("%1|%2|%3").arg(codeText(code), q.value(1).toString()).arg(summary::lostOfKind(code));
    }
    return lines << QStringLiteral("%1|%2|%3").arg(summary::nonDuplicatesInDeck()).arg(summary::undetectedDuplicates())
                        .arg(summary::missingGroups());
}

// Each summary: its table, the column that orders it, and its refill.
struct Summary { const char *table, *order; bool (*refill)(); };
const Summary kSummaries[] = {
    {"tblOverallResults", "ResultCode", [] { return clsOverallResults().RefillOverallResults(); }},
    {"tblDupProblemTypeSummary", "ProbOrder", [] { return clsProblemTypeSummary().RefillProblemTypeSummary(); }},
    {"tblDupLikeSummary", "ProbOrder", [] { return clsDupLikeSummary().RefillDupLikeSummary(); }},
    {"tblScoresByType", "ProbOrder", [] { return clsScoreByType().RefillScoresByType(); }}};

} // namespace

class TestSummaries : public SessionTest {
    Q_OBJECT
private slots:
    void cleanup() { SessionTest::cleanup(); QLocale::setDefault(QLocale::system()); }

    void percentText_data()
    {
        QTest::addColumn<Percent>("c");
        QTest::newRow("87.5") << Percent{35, 40, "87.5 %"};
        QTest::newRow("85.71") << Percent{6, 7, "85.71 %"};
        QTest::newRow("100") << Percent{7, 7, "100 %"};
        QTest::newRow("tie to even, down") << Percent{1, 32, "3.12 %"};
        QTest::newRow("66.67") << Percent{2, 3, "66.67 %"};
        QTest::newRow("zero") << Percent{0, 5, "0 %"};
        QTest::newRow("below zero") << Percent{-1, 4, "-25 %"};
        QTest::newRow("large") << Percent{32767, 1, "3276700 %"};
        QTest::newRow("the locale's separator") << Percent{35, 40, "87,5 %", "de_DE"};
        QTest::newRow("no group separator") << Percent{2000, 2, "100000 %", "de_DE"};
        QTest::newRow("nothing of nothing") << Percent{1, 0, ""};
    }

    void percentText()
    {
        QFETCH(Percent, c);
        QLocale::setDefault(QLocale(c.locale)); // cleanup() puts back the system's
        try {
            QCOMPARE(PercentText(c.part, c.whole), c.text);
        } catch (const DbError& e) {
            QVERIFY(c.text.isEmpty());
            QCOMPARE(e.number(), int(DbError::DivisionByZero));
        }
    }

    void summaryTables_data()
    {
        QTest::addColumn<int>("summary");
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("overall") << 0 << QString() << QStringList{
                                        "0|Actual Total Records in Test Data|14", "1|     Total Duplicates in Test Data|8",
                                        "2|     Total Non-duplicates in Test Data|6", "3|<null>|<null>", "4|TEST RESULTS:|<null>",
                                        "5|Total New Clients Added to Registry (Unique IDs)|3",
                                        "6|Undetected duplicates added as new records|2",
                                        "7|Duplicate records merged, rejected, or flagged as duplicates|6",
                                        "8|     Records handled as certain duplicates (merged with match or rejected)|4",
                                        "9|     Records handled as potential duplicates (flagged)|2",
                                        "10|Missing records (mistaken for duplicates or rejected)|2",
                                        "11|Records correctly identified as non-duplicates|4",
                                        "12|Non-duplicates flagged as possible duplicates|0", "13|<null>|<null>",
                                        "14|Overall Score for Duplicate Record Detection (Sensitivity)|75 %",
                                        "15|Overall Score for Accuracy in Duplicate Record Determination (Specificity)|66.67 %"};
        QTest::newRow("problem types") << 1 << QString() << QStringList{"A|Type A|1|4|2|1|1|75 %", "B|Type B|2|3|1|1|1|66.67 %",
                                                      "C|Type C|3|1|1|0|0|100 %", "TOTAL|TOTAL DUPLICATES|100|8|4|2|2|75 %"};
        QTest::newRow("look-alikes") << 2 << QString() << QStringList{"COUSIN|Cousins|1|1|1|0|100 %", "TWIN|Twins|2|2|1|1|50 %",
                                                    "TOTAL_DUPLIKE|TOTAL for duplicate look alikes|99|3|2|1|66.67 %",
                                                    "TOTAL|TOTAL for all non-duplicate records|100|6|4|2|66.67 %"};
        QTest::newRow("scores by type") << 3 << QString() << QStringList{"A|Type A|1|4|2|75 %|50 %", "B|Type B|2|3|1|66.67 %|100 %",
                                                       "C|Type C|3|1|0|100 %|N/A", "TOTAL|ALL TEST RECORDS|99|8|6|75 %|66.67 %"};
        // Lost base records that carry a mapped combination code count against the type too.
        QTest::newRow("scores, a lost base record of a combination") << 3 << "UPDATE DupTestData SET ComboCode=1 WHERE ID IN (2)"
            << QStringList{"A|Type A|1|4|2|75 %|0 %", "B|Type B|2|3|1|66.67 %|100 %", "C|Type C|3|1|0|100 %|N/A",
                           "TOTAL|ALL TEST RECORDS|99|8|6|75 %|66.67 %"};
    }

    // Each summary from a hand-worked evaluation; a second refill gives the same
    // rows, not twice as many.
    void summaryTables()
    {
        QFETCH(int, summary);
        QFETCH(QString, setup);
        QFETCH(QStringList, expected);
        knownEvaluation();
        if (!setup.isEmpty())
            run(setup);
        const Summary& summaryDef = kSummaries[summary];
        const QString dump = QStringLiteral("SELECT * FROM %1 ORDER BY %2").arg(QLatin1String(summaryDef.table), QLatin1String(summaryDef.order));
        for (int pass = 0; pass < 2; ++pass) {
            QVERIFY(summaryDef.refill());
            QCOMPARE(rows(dump), expected);
        }
    }

    // "Non-duplicates flagged as possible duplicates" counts people, not rows.
    void flaggedPeopleWithoutDuplicate_data()
    {
        // Groups of "record:client" members (client 0: not found), the registry's rows as "client:flag", the count.
        QTest::addColumn<Flagged>("c");
        QTest::newRow("flagged, no duplicate") << Flagged{"1:100", "100:Y", 1};
        QTest::newRow("flagged, with a duplicate") << Flagged{"1:100,2:100", "100:Y", 0};
        QTest::newRow("several flagged rows of one client") << Flagged{"1:100", "100:Y 100:Y 100:Y", 1};
        QTest::newRow("the flag on a later row") << Flagged{"1:100", "100:N 100:Y", 1};
        QTest::newRow("not flagged") << Flagged{"1:100", "100:N", 0};
        QTest::newRow("not found, another client flagged") << Flagged{"1:0", "100:Y", 0};
        QTest::newRow("client number with leading zeros") << Flagged{"1:42", "0042:Y", 1};
        QTest::newRow("two people alone, a family, a client of nobody") << Flagged{"1:100 2:200 3:300,4:400", "100:Y 200:N 300:Y 400:Y 500:Y", 1};
    }

    void flaggedPeopleWithoutDuplicate()
    {
        QFETCH(Flagged, c);
        const auto& [groups, registry, counted] = c;
        knownEvaluation();
        for (const QString& group : groups.split(u' ')) {
            QStringList columns;
            QVariantList values;
            const QStringList members = group.split(u',');
            for (qsizetype n = 0; n < members.size(); ++n) {
                const QString rec = QStringLiteral("rec_%1").arg(n + 1), client = members[n].section(u':', 1);
                columns << rec << rec + "_IIS_ID" << rec + "_loaded";
                values << members[n].section(u':', 0, 0).toInt() << client.toInt() << int(client != "0");
            }
            run(QStringLiteral("INSERT INTO Answer_Sheet (%1) VALUES (%2)")
                    .arg(columns.join(u','), QStringList(columns.size(), QStringLiteral("?")).join(u',')),
                values);
        }
        run("DELETE FROM IIS_LOADED_CHILD_ALL");
        for (const QString& r : registry.split(u' '))
            appendRow("IIS_LOADED_CHILD_ALL", {{"ClientID", r.section(u':', 0, 0)}, {"QMflag", r.section(u':', 1)}});
        QVERIFY(clsOverallResults().RefillOverallResults());
        QCOMPARE(rows("SELECT ResultValue FROM tblOverallResults WHERE ResultCode = 12"), QStringList{QString::number(counted)});
    }

    // The saved run counts every code in one pass of its own; it must agree with the
    // reports' statements, down to the spelling and order of each group's code.
    void figureCountsAgreeWithTheStatements_data()
    {
        QTest::addColumn<Recoded>("c");
        QTest::newRow("hand-worked") << Recoded{};
        QTest::newRow("codes in mixed case")
            << Recoded{{"UPDATE DupTestData SET ProblemCode = 'a' WHERE ID IN (11, 13)",
                        "UPDATE DupTestData SET SecondProblem = 'twin' WHERE ID = 31"}};
        QTest::newRow("codes ordered by their small letters")
            << Recoded{{"UPDATE DupTestData SET ProblemCode = 'A_' WHERE ID IN (21, 22)",
                        "UPDATE DupTestData SET ProblemCode = 'AA' WHERE ID = 41",
                        "UPDATE DupTestData SET ProblemCode = 'A[' WHERE ID = 23"}};
        QTest::newRow("accented capitals are another code")
            << Recoded{{"UPDATE DupTestData SET ProblemCode = '\u00e9' WHERE ID = 11",
                        "UPDATE DupTestData SET ProblemCode = '\u00c9' WHERE ID = 12",
                        "UPDATE DupTestData SET SecondProblem = '\u00e9' WHERE ID = 31",
                        "UPDATE DupTestData SET SecondProblem = '\u00c9' WHERE ID = 32"}};
        QTest::newRow("base records and look-alikes in small letters, a record without a code")
            << Recoded{{"UPDATE DupTestData SET ProblemCode = 'base_record' WHERE ID = 2",
                        "UPDATE DupTestData SET ProblemCode = 'dl_Base_record' WHERE ID = 32",
                        "UPDATE DupTestData SET ProblemCode = NULL WHERE ID = 41"}};
        QTest::newRow("a surplus client without an ID")
            << Recoded{{"INSERT INTO IIS_DUPLICATES (ID, QM) VALUES (NULL, 'Y')"}};
        QTest::newRow("surplus clients and missing groups listed twice, or of no record")
            << Recoded{{"INSERT INTO IIS_DUPLICATES (ID, QM, OtherQM) VALUES (12, 'N', 'Y'), (11, 'N', 'N'), "
                        "(99, 'Y', 'Y'), ('x13', 'Y', 'Y')",
                        "INSERT INTO IIS_MISSING_RECORDS (ID) VALUES (31), (99), (NULL), ('x33')"}};
        QTest::newRow("no surplus clients, no missing groups")
            << Recoded{{"DELETE FROM IIS_DUPLICATES", "DELETE FROM IIS_MISSING_RECORDS"}};
        QTest::newRow("lost look-alike without a kind")
            << Recoded{{"UPDATE DupTestData SET SecondProblem = NULL WHERE ID = 31"}};
        QTest::newRow("lost look-alike of an empty kind")
            << Recoded{{"UPDATE DupTestData SET SecondProblem = '' WHERE ID = 31"}};
        QTest::newRow("a kind spelled first, and lost, by a record that is no look-alike")
            << Recoded{{"UPDATE DupTestData SET SecondProblem = 'Twin' WHERE ID = 11",
                        "INSERT INTO IIS_MISSING_RECORDS (ID) VALUES (11)"}};
        QTest::newRow("flags in lower case, duplicates lost")
            << Recoded{{"UPDATE IIS_DUPLICATES SET QM = 'y'",
                        "INSERT INTO IIS_MISSING_RECORDS (ID) VALUES (32), (33), (13)"}};
    }

    void figureCountsAgreeWithTheStatements()
    {
        QFETCH(Recoded, c);
        knownEvaluation();
        for (const QString& statement : c.statements)
            run(statement);
        QCOMPARE(figureCounts(), statementCounts());
    }

    // Codes that only SQLite can compare are grouped as it groups them: a blob
    // never equals text, and the NOCASE comparison stops at a NUL.
    void unplainCodesAreGroupedBySqlite_data()
    {
        QTest::addColumn<QString>("recode");
        QTest::addColumn<QStringList>("groups"); // code and records of each duplicate type
        QTest::newRow("a blob after the text") << QString("UPDATE DupTestData SET ProblemCode = CAST('A' AS BLOB) "
                                                          "WHERE ID = 14")
                                               << QStringList{"A|3", "B|3", "C|1", "A|1"};
        QTest::newRow("codes equal up to a NUL")
            << QString("UPDATE DupTestData SET ProblemCode = 'b' || char(0) || char(120 + ID - 21) WHERE ID IN (21, 22)")
            << QStringList{"A|4", "B|1", "b<NUL>x|2", "C|1"};
    }

    void unplainCodesAreGroupedBySqlite()
    {
        QFETCH(QString, recode);
        QFETCH(QStringList, groups);
        knownEvaluation();
        run(recode);
        QStringList found;
        for (const summary::TypeCounts& t : summary::figureCounts().types)
            found << QStringLiteral("%1|%2").arg(QString(t.code).replace(QChar(0), QLatin1String("<NUL>"))).arg(t.records);
        QCOMPARE(found, groups);
    }

    void failuresKeepWhatWasSaved_data()
    {
        QTest::addColumn<Failure>("c");
        QTest::newRow("overall without duplicates")
            << Failure{0, "DELETE FROM DupTestData WHERE ProblemCode IN ('A','B','C')", "Error",
                       "Error occurred in RefillOverallResults: 11 Division by zero",
                       "SELECT ResultCode, ResultValue FROM tblOverallResults WHERE ResultCode > 11", {"12|0", "13|<null>"}};
        // A complete, B and C without their description.
        QTest::newRow("problem type missing from the map")
            << Failure{1, "DELETE FROM tblProbDescMap WHERE ProbCode='B'", "Error", "Error occurred in RefillProblemType: 3021 No current record.",
                       "SELECT * FROM tblDupProblemTypeSummary ORDER BY rowid",
                       {"A|Type A|1|4|2|1|1|75 %", "B|<null>|<null>|3|<null>|<null>|<null>|<null>", "C|<null>|<null>|1|<null>|<null>|<null>|<null>"}};
        QTest::newRow("look-alike kind missing from the map")
            << Failure{2, "DELETE FROM tblSecondProbDescMap WHERE ProbCode='TWIN'", "", "",
                       "SELECT ProblemCode, TotalUnique FROM tblDupLikeSummary ORDER BY rowid", {"COUSIN|1", "TWIN|<null>"}};
        for (int summary = 0; summary < 4; ++summary)
            QTest::newRow(kSummaries[summary].table) << Failure{summary, QStringLiteral("DROP TABLE ") + QLatin1String(kSummaries[summary].table),
                                                                "Database Error", "Error occurred when deleting old data.", {}, {}};
    }

    void failuresKeepWhatWasSaved()
    {
        QFETCH(Failure, c);
        knownEvaluation();
        run(c.damage);
        try {
            QVERIFY(!kSummaries[c.summary].refill());
            QVERIFY(s->host.showedOne(c.title, c.message, MsgIcon::Critical));
        } catch (const DbError& e) {
            QVERIFY(c.title.isEmpty());
            QCOMPARE(e.number(), int(DbError::NoCurrentRecord));
        }
        if (!c.saved.isEmpty())
            QCOMPARE(rows(c.saved), c.savedRows);
    }

};

QTEST_GUILESS_MAIN(TestSummaries)
#include "test_summaries.moc"
