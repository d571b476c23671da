#include "SmallDeck.h"
#include "Suite.h"
#include "analysis/EvaluationRun.h"
#include "analysis/clsAnalyzeResults.h"
#include "reports/Explanation.h"

namespace {

QStringList sheet()
{
    return rows(QStringLiteral("SELECT rec_1_loaded, rec_2_loaded, rec_3_loaded, rec_1_IIS_ID, rec_2_IIS_ID, rec_3_IIS_ID, "
                               "total_loaded FROM Answer_Sheet ORDER BY rec_1"));
}

// The client found for each member in column order (0: not found), the
// clients' flags as "client=flag", and what scoring must write.
struct Score { QList<int> clients; QStringList flags; int totalLoaded; QStringList duplicates, missing; };

// Records 1 and 2 of one group (in these slots) agree in every compared value;
// 1 was given 03 on 20200101, 2 was given 08 on 20200301. All registry rows
// match both, in this order, as "client:code:date" and a flag "Y" when flagged.
struct Found { QStringList registry; QString findings; QStringList duplicates; QList<int> group = {1, 2}; };

// The first attempt that runs, whether the group has another member, and the client found.
struct Attempt { int from; bool otherMember; int client; };

const Person kMary{1, "MARY ANN", "O'BRIEN", "JONES", "19990101", "F", "SUE"};

} // namespace

class TestAnalysis : public SessionTest {
    Q_OBJECT
private slots:
    void init()
    {
        SessionTest::init();
        run("DELETE FROM IIS_LOADED_CHILD_ALL");
    }

    void helpers()
    {
        QCOMPARE(clsAnalyzeResults::NoQuote("O''BRIEN"), QStringLiteral("OBRIEN"));
        QCOMPARE(clsAnalyzeResults::NoQuote("'''"), QString());
        // The first name up to a blank that is not its last character.
        for (const QString& c : QStringList{"MARY ANN=MARY", "ANNE=ANNE", " ANN=", "ANN =ANN ", " = ", "A=A"})
            QCOMPARE(clsAnalyzeResults::FirstPart(c.section('=', 0, 0)), c.section('=', 1));
        // The count of a group's clients (FindNonZeroUniques) is the scoring table's total_loaded.
        // A client number is the whole part rounded down, as the loader checks it.
        for (const QString& c : QStringList{"000123=123", "12.7=12", "13.5=13", "-12.5=-13", "2147483647.5=2147483647"})
            QCOMPARE(clsAnalyzeResults::ClientNumber(c.section('=', 0, 0)), c.section('=', 1).toInt());
        // Zero is the empty slot, also where negative numbers sort before it.
        QCOMPARE(clsAnalyzeResults::FindNonZeroUniques(-5, 0, 3, -5, 0), 2);
        QCOMPARE(clsAnalyzeResults::FindNonZeroUniques(-2, -1, 0, 0, 0), 2);
        // Plain digits up to nine, and longer or padded IDs, read alike.
        QCOMPARE(clsAnalyzeResults::ClientNumber("999999999"), 999999999);
        QCOMPARE(clsAnalyzeResults::ClientNumber("2147483647"), 2147483647);
        QCOMPARE(clsAnalyzeResults::ClientNumber(" 42"), 42);
        QVERIFY_THROWS_EXCEPTION(DbError, clsAnalyzeResults::ClientNumber("2147483648"));
        QVERIFY_THROWS_EXCEPTION(DbError, clsAnalyzeResults::ClientNumber("12a"));
    }

    void earliestAttemptDecides_data()
    {
        // For member 1 of the group {1, 2} the registry holds one client per
        // attempt from `from` to 6, each findable by that attempt alone, so the
        // earliest attempt that runs decides the client (attempt k's is 11 * k).
        QTest::addColumn<Attempt>("c");
        QTest::newRow("attempt 1, names in another case") << Attempt{1, true, 11};
        QTest::newRow("attempt 2: first part of the first name") << Attempt{2, true, 22};
        QTest::newRow("attempt 3: other member's maiden name") << Attempt{3, true, 33};
        QTest::newRow("attempts 3 and 4 need another member") << Attempt{3, false, 55};
        QTest::newRow("attempt 4: other member's birth date") << Attempt{4, true, 44};
        QTest::newRow("attempt 5: mother's first name") << Attempt{5, true, 55};
        QTest::newRow("attempt 6: apostrophe dropped") << Attempt{6, false, 66};
        QTest::newRow("nothing finds a changed sex") << Attempt{7, true, 0};
    }

    void earliestAttemptDecides()
    {
        QFETCH(Attempt, c);
        const auto [from, otherMember, client] = c;
        const Person other{2, "MARY", "O'BRIEN", "SMYTHE", "19990111", "F", "SUSAN"};
        deck({kMary, other}, otherMember ? QList<QList<int>>{{1, 2}} : QList<QList<int>>{{1}, {2}});
        QList<Person> stored(6, kMary);
        for (Person& p : stored)
            p.momFirst = QStringLiteral("X"); // only attempt 5 compares it
        stored[0].first = kMary.first.toLower();
        stored[1].first = QStringLiteral("MARY");
        stored[2].maiden = other.maiden;
        stored[3].dob = other.dob;
        stored[4].maiden = QStringLiteral("JONES-SMITH");
        stored[4].momFirst = kMary.momFirst;
        stored[5].last = QStringLiteral("OBRIEN");
        Person changedSex = kMary;
        changedSex.sex = QStringLiteral("U");
        registryRow("99", "N", changedSex);
        // Later attempts' rows first, so that the order of the rows cannot decide.
        for (int k = 6; k >= from; --k)
            registryRow(QString::number(11 * k), "N", stored[k - 1]);

        clsAnalyzeResults().Analyze_IIS_LOAD();
        const QString rec1 = rows("SELECT rec_1_loaded, rec_1_IIS_ID FROM Answer_Sheet WHERE rec_1=1").value(0);
        QCOMPARE(rec1, client ? QStringLiteral("1|%1").arg(client) : QStringLiteral("0|0"));
        // The record's outcome keeps the attempt that found it, and says so.
        QCOMPARE(rows("SELECT Attempt, ClientID, QMflag FROM tblRecordOutcomes WHERE ID=1").value(0),
                 client ? QStringLiteral("%1|%2|N").arg(client / 11).arg(client) : QStringLiteral("<null>|<null>|<null>"));
        QVERIFY(attemptWords(explain::outcomesOf({1}).front().attempt).startsWith(client ? "found by" : "not found"));
    }

    void lookupsCompareAsTheColumnsDo_data()
    {
        // One registry row of Zoë, one of its values as stored.
        QTest::addColumn<QString>("column");
        QTest::addColumn<QVariant>("stored");
        QTest::newRow("ASCII letters in another case") << "FirstName" << QVariant("zoË");
        QTest::newRow("a letter beyond ASCII in another case") << "FirstName" << QVariant("ZOë");
        QTest::newRow("a blank after the name") << "LastName" << QVariant("MÜLLER ");
        QTest::newRow("the birth date stored as a number") << "DOB" << QVariant(20010203);
        QTest::newRow("sex in lower case") << "Sex" << QVariant("f");
        QTest::newRow("no maiden name: Null") << "MomMaiden" << QVariant();
        QTest::newRow("an empty maiden name") << "MomMaiden" << QVariant("");
    }

    // The attempts' look-ups find exactly the rows that SQL's own comparison
    // of those columns finds.
    void lookupsCompareAsTheColumnsDo()
    {
        QFETCH(QString, column);
        QFETCH(QVariant, stored);
        const Person zoe{1, "ZOË", "MÜLLER", "KÖHLER", "20010203", "F", "ANNA"};
        deck({zoe}, {{1}});
        registryRow("7", "N", zoe);
        run(QStringLiteral("UPDATE IIS_LOADED_CHILD_ALL SET %1 = ?, MomFirst = 'X'").arg(column), {stored});
        const qint64 sqlFinds = scalar("SELECT count(*) AS n FROM IIS_LOADED_CHILD_ALL WHERE FirstName=? AND LastName=? "
                                       "AND MomMaiden=? AND DOB=? AND Sex=?",
                                       "n", {zoe.first, zoe.last, zoe.maiden, zoe.dob, zoe.sex})
                                    .toLongLong();
        clsAnalyzeResults().Analyze_IIS_LOAD();
        QCOMPARE(rows("SELECT rec_1_loaded FROM Answer_Sheet").value(0), sqlFinds > 0 ? QStringLiteral("1") : QStringLiteral("0"));
    }

    void otherMemberIsFirstOtherColumn()
    {
        // Three members; each is stored with the maiden name of one other member.
        const Person a{10, "ANA", "LE", "TRAN", "20200101", "F", "LAN"};
        const Person b{11, "ANH", "LE", "PHAM", "20200101", "F", "LAN"};
        const Person c{12, "AN", "LE", "VU", "20200101", "F", "LAN"};
        deck({a, b, c}, {{10, 11, 12}});
        // j = 1: the other member is rec_2; j = 2: it is rec_1; j = 3 is also
        // compared with rec_1 only: not found.
        for (const auto& [client, kept, maiden] : {std::tuple{"1", a, b.maiden}, {"2", b, a.maiden}, {"3", c, b.maiden}}) {
            Person stored = kept;
            stored.maiden = maiden;
            stored.momFirst = QStringLiteral("X");
            registryRow(QLatin1String(client), "N", stored);
        }
        clsAnalyzeResults().Analyze_IIS_LOAD();
        QCOMPARE(sheet(), QStringList({"1|1|0|1|2|0|2"}));
    }

    void ownVaccinationChoosesAmongRowsFound_data()
    {
        QTest::addColumn<Found>("c");
        QTest::newRow("kept as two clients, codes as numbers") << Found{{"6:08:20200301", "5:3:20200101"}, "1|1|0|5|6|0|2", {"2|N|N"}};
        QTest::newRow("merged: one client holds both doses") << Found{{"5:08:20200301", "5:03:20200101"}, "1|1|0|5|5|0|1", {}};
        QTest::newRow("no row holds the dose: the first row")
            << Found{{"6:10:20200101", "5:03:20200102", "7:8:20200302"}, "1|1|0|6|6|0|1", {}};
        QTest::newRow("code and date agree: the first such row")
            << Found{{"5:03:20200301", "6:08:20200101", "7:003:20200101", "8:03:20200101", "9:8:20200301", "10:08:20200301"},
                     "1|1|0|7|9|0|2", {"2|N|N"}};
        // The flag of the client written "000123" is seen: the group is flagged.
        QTest::newRow("client numbers by value") << Found{{"000123:03:20200101:Y", "124:08:20200301"}, "1|1|0|123|124|0|2", {"2|N|Y"}};
        // A client number in any form the loader accepts is that number's client: the whole part, rounded down.
        QTest::newRow("a fraction is its whole part") << Found{{"12.7:03:20200101", "12:08:20200301"}, "1|1|0|12|12|0|1", {}};
        QTest::newRow("a negative fraction rounded down") << Found{{"-12.5:03:20200101", "-13:08:20200301"}, "1|1|0|-13|-13|0|1", {}};
        QTest::newRow("an empty slot is skipped") << Found{{"5:03:20200101", "6:08:20200301:Y"}, "1|0|1|5|0|6|2", {"2|Y|<null>"}, {1, 0, 2}};
    }

    void ownVaccinationChoosesAmongRowsFound()
    {
        QFETCH(Found, c);
        Person twin = kMary;
        twin.id = 2;
        twin.vacCode = QStringLiteral("08");
        twin.vacDate = QStringLiteral("20200301");
        deck({kMary, twin}, {c.group});
        for (const QString& row : c.registry) {
            Person stored = kMary;
            stored.vacCode = row.section(':', 1, 1);
            stored.vacDate = row.section(':', 2, 2);
            const QString flag = row.section(':', 3, 3);
            registryRow(row.section(':', 0, 0), flag.isEmpty() ? QStringLiteral("N") : flag, stored);
        }
        clsAnalyzeResults().Analyze_IIS_LOAD();
        QCOMPARE(sheet(), QStringList{c.findings});
        QCOMPARE(rows("SELECT ID, QM, OtherQM FROM IIS_DUPLICATES"), c.duplicates);
    }

    void progressEndsAtTheEnd_data()
    {
        QTest::addColumn<int>("groups");
        for (int groups : {1, 266, 400})
            QTest::newRow(qPrintable(QString::number(groups))) << groups;
    }

    // The bar never passes 100 % before the work ends, and is full when it does.
    void progressEndsAtTheEnd()
    {
        QFETCH(int, groups);
        run("DELETE FROM Answer_Sheet");
        for (int id = 1; id <= groups; ++id)
            appendRow("Answer_Sheet", {{"rec_1", id}});
        double highest = 0;
        s->host.onIncrement = [&] { highest = std::max(highest, s->host.barTotal); };
        clsAnalyzeResults().Analyze_IIS_LOAD();
        QVERIFY2(qAbs(highest - 100) < 1e-6, qPrintable(QString::number(highest)));
        QCOMPARE(s->host.barTotal, 100.0);
        // A step for each group's matching, one for its scoring.
        QCOMPARE(s->host.increments, 2 * groups);
        QCOMPARE(s->host.progressTexts, QStringList(2, QStringLiteral("Analyzing results ....")));
    }

    void scoring_data()
    {
        QTest::addColumn<Score>("c");
        QTest::newRow("three none found") << Score{{0, 0, 0}, {}, 0, {}, {"1"}};
        QTest::newRow("single found") << Score{{5}, {"5=N"}, 1, {}, {}};
        QTest::newRow("three in one client") << Score{{5, 5, 5}, {"5=N"}, 1, {}, {}};
        QTest::newRow("two clients, rec_3 apart") << Score{{5, 5, 6}, {"5=N", "6=N"}, 2, {"3|N|N"}, {}};
        QTest::newRow("all clients differ") << Score{{5, 6, 7, 8, 9}, {}, 5, {"5|N|N", "4|N|N", "3|N|N", "2|N|N"}, {}};
        QTest::newRow("all differ, rec_1 not found") << Score{{0, 6, 7, 8, 9}, {}, 4, {"5|N|N", "4|N|N", "3|N|N"}, {}};
        // The group's own client is rec_1's, or else the first found member's; each
        // other client is named once, by its highest member, with its own flag.
        QTest::newRow("rec_1 and rec_3 share a client") << Score{{5, 6, 5}, {"5=Y", "6=N"}, 2, {"2|N|Y"}, {}};
        QTest::newRow("rec_1 not found, rec_2 and rec_4 share") << Score{{0, 6, 7, 6}, {"6=N", "7=Y"}, 2, {"3|Y|NULL"}, {}};
        QTest::newRow("each other client by its highest member") << Score{{5, 7, 6, 6, 5}, {}, 3, {"4|N|N", "2|N|N"}, {}};
        QTest::newRow("rec_2 not found") << Score{{5, 0, 6}, {"5=N", "6=N"}, 2, {"3|N|N"}, {}};
        QTest::newRow("own client flagged") << Score{{5, 6}, {"5=N", "6=Y"}, 2, {"2|Y|NULL"}, {}};
        QTest::newRow("other client flagged") << Score{{5, 6}, {"5=Y", "6=N"}, 2, {"2|N|Y"}, {}};
        QTest::newRow("blank flag is not flagged") << Score{{5, 6}, {"5=", "6="}, 2, {"2|N|N"}, {}};
        QTest::newRow("blank flag, other flagged") << Score{{5, 6}, {"5=Y", "6="}, 2, {"2|N|Y"}, {}};
        QTest::newRow("client without a row") << Score{{5, 9}, {"5=N"}, 2, {"2|N|N"}, {}};
        QTest::newRow("a later row of a client flagged") << Score{{5, 6}, {"5=N", "5=Y", "6=N"}, 2, {"2|N|Y"}, {}};
        QTest::newRow("negative client numbers") << Score{{-5, 0, -6}, {"-5=N", "-6=N"}, 2, {"3|N|N"}, {}};
    }

    // Member n of the group is test record n.
    void scoring()
    {
        QFETCH(Score, c);
        const auto& [clients, flags, totalLoaded, duplicates, missing] = c;
        run("DELETE FROM Answer_Sheet");
        QStringList sets;
        QVariantList binds;
        int found = 0;
        for (int n = 0; n < clients.size(); ++n) {
            sets << QStringLiteral("rec_%1,rec_%1_loaded,rec_%1_IIS_ID").arg(n + 1);
            binds << n + 1 << int(clients[n] != 0) << clients[n];
            found += clients[n] != 0;
        }
        binds << found;
        run(QStringLiteral("INSERT INTO Answer_Sheet (%1,total_loaded) VALUES (%2?)").arg(sets.join(QLatin1Char(',')), QString("?,").repeated(binds.size() - 1)),
            binds);
        for (const QString& f : flags)
            registryRow(f.section('=', 0, 0), f.section('=', 1), {0, "X", "Y", "Z", "20200101", "M", ""});
        clsAnalyzeResults().Score();
        QCOMPARE(rows("SELECT total_loaded FROM Answer_Sheet"), QStringList({QString::number(totalLoaded)}));
        QCOMPARE(rows("SELECT ID, QM, quote(OtherQM) FROM IIS_DUPLICATES ORDER BY rowid").replaceInStrings("'", ""), duplicates);
        QCOMPARE(rows("SELECT ID FROM IIS_MISSING_RECORDS"), missing);
    }

    void findingsReplaceWhatTheSheetHeld_data()
    {
        // What an earlier evaluation, or a hand, left in rec_1's findings; the analysis finds client 5.
        QTest::addColumn<QString>("stale");
        QTest::newRow("nothing found yet") << "rec_1_loaded = 0, rec_1_IIS_ID = 0, total_loaded = 0";
        QTest::newRow("another client") << "rec_1_loaded = 1, rec_1_IIS_ID = 9, total_loaded = 2";
        QTest::newRow("text that reads as the findings")
            << "rec_1_loaded = '1x', rec_1_IIS_ID = '5x', total_loaded = '1x'";
        QTest::newRow("reals that read as the findings")
            << "rec_1_loaded = 1.5, rec_1_IIS_ID = 5.5, total_loaded = 1.5";
        QTest::newRow("the findings themselves") << "rec_1_loaded = 1, rec_1_IIS_ID = 5, total_loaded = 1";
    }

    void findingsReplaceWhatTheSheetHeld()
    {
        QFETCH(QString, stale);
        deck({kMary}, {{1}});
        registryRow("5", "N", kMary);
        run("UPDATE Answer_Sheet SET " + stale);
        clsAnalyzeResults().Analyze_IIS_LOAD();
        QCOMPARE(rows("SELECT typeof(rec_1_loaded), rec_1_loaded, typeof(rec_1_IIS_ID), rec_1_IIS_ID, "
                      "typeof(total_loaded), total_loaded FROM Answer_Sheet"),
                 QStringList{"integer|1|integer|5|integer|1"});
    }

    void emptyAnswerSheetGivesEmptyResults()
    {
        run("DELETE FROM Answer_Sheet");
        registryRow("1", "N", kMary);
        clsAnalyzeResults().Analyze_IIS_LOAD();
        QCOMPARE(countRows("IIS_DUPLICATES"), 0);
        QCOMPARE(countRows("IIS_MISSING_RECORDS"), 0);
    }

    // Scoring again gives the same tables, not more rows; and the evaluation is
    // one unit: a failure half way leaves the previous one whole.
    // The loader hands the matching the rows it stored, and the matching hands
    // the scoring the clients and look-alikes it read. An analysis of its own
    // reads them from the tables, and so does a rescore (which knows no
    // attempts): each must leave every finding as it was.
    void rereadingKeepsTheEvaluation_data()
    {
        QTest::addColumn<QString>("policy");
        for (const char* policy : {"aggressive", "exact", "none", "perfect", "typical"})
            QTest::newRow(policy) << QString(policy);
    }

    void rereadingKeepsTheEvaluation()
    {
        QFETCH(QString, policy);
        EvaluationRun::LoadAndAnalyze(sample(policy));
        auto scores = [](const QString& attempt) {
            return snapshot({"Answer_Sheet", "IIS_DUPLICATES", "IIS_MISSING_RECORDS"})
                   + rows("SELECT ID, GroupNo, Place, " + attempt
                          + ", ClientID, QMflag, Outcome FROM tblRecordOutcomes ORDER BY ID");
        };
        const QStringList analysed = scores("Attempt"), scored = scores("0");
        clsAnalyzeResults().Analyze_IIS_LOAD();
        QCOMPARE(scores("Attempt"), analysed);
        clsAnalyzeResults().Score();
        QCOMPARE(scores("0"), scored);
    }

    void failuresKeepTheEvaluation()
    {
        EvaluationRun::LoadAndAnalyze(sample("typical"));
        QVERIFY(countRows("IIS_DUPLICATES") > 0);
        // An answer-sheet member with no test record fails the matching half way.
        run("UPDATE Answer_Sheet SET rec_5 = 9999 WHERE rec_1 = (SELECT max(rec_1) FROM Answer_Sheet)");
        const QStringList before = snapshot();
        const auto error = thrown<DbError>([] { EvaluationRun::LoadAndAnalyze(sample("none")); });
        QVERIFY(error);
        QCOMPARE(error->number(), int(DbError::NoCurrentRecord));
        QVERIFY(error->description().contains(QStringLiteral("9999")));
        QCOMPARE(snapshot(), before);
    }

};

QTEST_GUILESS_MAIN(TestAnalysis)
#include "test_analysis.moc"
