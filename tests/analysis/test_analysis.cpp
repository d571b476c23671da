#include "FakePlatform.h"
#include "TestDatabase.h"
#include "analysis/EvaluationRun.h"
#include "analysis/clsAnalyzeResults.h"
#include "database/Db.h"

#include <QTest>

using namespace marrowick;
using namespace marrowick::test;

namespace {

struct Person {
    int id;
    QString first, last, maiden, dob, sex, momFirst;
};

// Replaces the test deck with these people and groups.
void deck(const QList<Person>& people, const QList<QList<int>>& groups)
{
    run(QStringLiteral("DELETE FROM DupTestData"));
    run(QStringLiteral("DELETE FROM Answer_Sheet"));
    for (const Person& p : people)
        appendRow(QStringLiteral("DupTestData"), {{"ID", p.id}, {"FirstName", p.first}, {"LastName", p.last}, {"MomMaiden", p.maiden},
                                                  {"DOB", p.dob}, {"Sex", p.sex}, {"MomFirst", p.momFirst},
                                                  {"ProblemCode", QStringLiteral("BASE_RECORD")}});
    for (const QList<int>& g : groups) {
        QVariantList ids;
        for (int i = 0; i < 5; ++i)
            ids << (i < g.size() && g[i] != 0 ? QVariant(g[i]) : QVariant());
        run(QStringLiteral("INSERT INTO Answer_Sheet (rec_1, rec_2, rec_3, rec_4, rec_5) VALUES (?,?,?,?,?)"), ids);
    }
}

// One registry row: client, flag and the compared demographics.
void registryRow(const QString& client, const QString& flag, const Person& p)
{
    appendRow(QStringLiteral("IIS_LOADED_CHILD_ALL"),
              {{"ClientID", client}, {"QMflag", flag}, {"FirstName", p.first}, {"LastName", p.last}, {"MomMaiden", p.maiden},
               {"DOB", p.dob}, {"Sex", p.sex}, {"MomFirst", p.momFirst}});
}

QStringList sheet()
{
    return rows(QStringLiteral("SELECT rec_1_loaded, rec_2_loaded, rec_3_loaded, rec_1_IIS_ID, rec_2_IIS_ID, rec_3_IIS_ID, "
                               "total_loaded FROM Answer_Sheet ORDER BY rec_1"));
}

const Person kMary{1, "MARY ANN", "O'BRIEN", "JONES", "19990101", "F", "SUE"};

} // namespace

class TestAnalysis : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void textHelpers();
    void numberHelpers();
    void eachAttemptFindsWhatEarlierOnesMiss_data();
    void eachAttemptFindsWhatEarlierOnesMiss();
    void otherMemberIsFirstOtherColumn();
    void identicalRecordsGetTheFirstRowsClient();
    void emptySlotsAreSkipped();
    void scoring_data();
    void scoring();
    void clientNumbersAreFoundByValue();
    void scoreTwiceGivesTheSameTables();
    void progressIsReported();
    void emptyAnswerSheetGivesEmptyResults();
    void failureRollsBackToThePreviousEvaluation();

private:
    std::unique_ptr<FakePlatform> host;
    std::unique_ptr<TestDatabase> db;
};

void TestAnalysis::init()
{
    host = std::make_unique<FakePlatform>();
    db = std::make_unique<TestDatabase>();
    run(QStringLiteral("DELETE FROM IIS_LOADED_CHILD_ALL"));
}

void TestAnalysis::cleanup()
{
    db.reset();
    host.reset();
}

void TestAnalysis::textHelpers()
{
    QCOMPARE(clsAnalyzeResults::FixQuote(QStringLiteral("O'BRIEN")), QStringLiteral("O''BRIEN"));
    QCOMPARE(clsAnalyzeResults::FixQuote(QStringLiteral("''")), QStringLiteral("''''"));
    QCOMPARE(clsAnalyzeResults::FixQuote(QString()), QString());
    QCOMPARE(clsAnalyzeResults::FixQuote(QStringLiteral("SMITH")), QStringLiteral("SMITH"));
    QCOMPARE(clsAnalyzeResults::NoQuote(QStringLiteral("O''BRIEN")), QStringLiteral("OBRIEN"));
    QCOMPARE(clsAnalyzeResults::NoQuote(QStringLiteral("'''")), QString());
    QCOMPARE(clsAnalyzeResults::FirstPart(QStringLiteral("MARY ANN")), QStringLiteral("MARY"));
    QCOMPARE(clsAnalyzeResults::FirstPart(QStringLiteral("ANNE")), QStringLiteral("ANNE"));
    QCOMPARE(clsAnalyzeResults::FirstPart(QStringLiteral(" ANN")), QString());
    QCOMPARE(clsAnalyzeResults::FirstPart(QStringLiteral("ANN ")), QStringLiteral("ANN "));
    QCOMPARE(clsAnalyzeResults::FirstPart(QStringLiteral(" ")), QStringLiteral(" "));
    QCOMPARE(clsAnalyzeResults::FirstPart(QStringLiteral("A")), QStringLiteral("A"));
}

void TestAnalysis::numberHelpers()
{
    QCOMPARE(clsAnalyzeResults::FindNonZeroUniques(0, 0, 0, 0, 0), qint16(0));
    QCOMPARE(clsAnalyzeResults::FindNonZeroUniques(7, 7, 0, 7, 0), qint16(1));
    QCOMPARE(clsAnalyzeResults::FindNonZeroUniques(3, 9, 0, 3, 5), qint16(3));
    QCOMPARE(clsAnalyzeResults::FindNonZeroUniques(12, 0, 0, 0, 0), qint16(1));
    QList<qint32> values{5, 1, 4, 1, 0};
    clsAnalyzeResults::BubSort(values, 5);
    QCOMPARE(values, QList<qint32>({0, 1, 1, 4, 5}));
    QList<qint32> partly{9, 3, 1};
    clsAnalyzeResults::BubSort(partly, 2);
    QCOMPARE(partly, QList<qint32>({3, 9, 1}));
    QCOMPARE(clsAnalyzeResults::ClientNumber(QStringLiteral("000123")), 123);
    QCOMPARE(clsAnalyzeResults::ClientNumber(QStringLiteral("12.5")), 12);
    QCOMPARE(clsAnalyzeResults::ClientNumber(QStringLiteral("13.5")), 14);
}

void TestAnalysis::eachAttemptFindsWhatEarlierOnesMiss_data()
{
    // The registry holds one row for member 1 of the group {1, 2}; member 2
    // (a different record) is its own row. What the registry changed decides
    // which attempt finds member 1.
    QTest::addColumn<QString>("change");
    QTest::addColumn<bool>("otherMember");
    QTest::addColumn<bool>("found");
    QTest::newRow("attempt 1: as sent") << "none" << true << true;
    QTest::newRow("attempt 2: first part of the first name") << "firstpart" << true << true;
    QTest::newRow("attempt 3: other member's maiden name") << "othermaiden" << true << true;
    QTest::newRow("attempt 3 needs another member") << "othermaiden" << false << false;
    QTest::newRow("attempt 4: other member's birth date") << "otherdob" << true << true;
    QTest::newRow("attempt 4 needs another member") << "otherdob" << false << false;
    QTest::newRow("attempt 5: mother's first name") << "momfirst" << true << true;
    QTest::newRow("attempt 6: apostrophe dropped") << "noquote" << false << true;
    QTest::newRow("nothing finds a changed sex") << "sex" << true << false;
    QTest::newRow("names compare without regard to case") << "lowercase" << false << true;
}

void TestAnalysis::eachAttemptFindsWhatEarlierOnesMiss()
{
    QFETCH(QString, change);
    QFETCH(bool, otherMember);
    QFETCH(bool, found);
    const Person other{2, "MARY", "O'BRIEN", "SMYTHE", "19990111", "F", "SUSAN"};
    deck({kMary, other}, otherMember ? QList<QList<int>>{{1, 2}} : QList<QList<int>>{{1}, {2}});
    Person stored = kMary;
    if (change == QLatin1String("firstpart"))
        stored.first = QStringLiteral("MARY");
    else if (change == QLatin1String("othermaiden"))
        stored.maiden = other.maiden;
    else if (change == QLatin1String("otherdob"))
        stored.dob = other.dob;
    else if (change == QLatin1String("momfirst"))
        stored.maiden = QStringLiteral("JONES-SMITH");
    else if (change == QLatin1String("noquote"))
        stored.last = QStringLiteral("OBRIEN");
    else if (change == QLatin1String("sex"))
        stored.sex = QStringLiteral("U");
    else if (change == QLatin1String("lowercase"))
        stored.first = stored.first.toLower();
    if (change != QLatin1String("momfirst"))
        stored.momFirst = QStringLiteral("X"); // so that only the attempt under test can find it
    registryRow(QStringLiteral("77"), QStringLiteral("N"), stored);
    registryRow(QStringLiteral("88"), QStringLiteral("N"), {0, "NOBODY", "ELSE", "X", "20000101", "M", ""});

    clsAnalyzeResults().Analyze_IIS_LOAD();
    const QString rec1 = rows(QStringLiteral("SELECT rec_1_loaded, rec_1_IIS_ID FROM Answer_Sheet WHERE rec_1=1")).value(0);
    QCOMPARE(rec1, found ? QStringLiteral("1|77") : QStringLiteral("0|0"));
}

void TestAnalysis::otherMemberIsFirstOtherColumn()
{
    // Three members; each is stored with the maiden name of one other member.
    const Person a{10, "ANA", "LE", "TRAN", "20200101", "F", "LAN"};
    const Person b{11, "ANH", "LE", "PHAM", "20200101", "F", "LAN"};
    const Person c{12, "AN", "LE", "VU", "20200101", "F", "LAN"};
    deck({a, b, c}, {{10, 11, 12}});
    Person a2 = a, b2 = b, c2 = c;
    a2.maiden = b.maiden; // j = 1: the other member is rec_2
    b2.maiden = a.maiden; // j = 2: the other member is rec_1
    c2.maiden = b.maiden; // j = 3 is also compared with rec_1 only: not found
    a2.momFirst = b2.momFirst = c2.momFirst = QStringLiteral("X");
    registryRow(QStringLiteral("1"), QStringLiteral("N"), a2);
    registryRow(QStringLiteral("2"), QStringLiteral("N"), b2);
    registryRow(QStringLiteral("3"), QStringLiteral("N"), c2);
    clsAnalyzeResults().Analyze_IIS_LOAD();
    QCOMPARE(sheet(), QStringList({"1|1|0|1|2|0|2"}));
}

void TestAnalysis::identicalRecordsGetTheFirstRowsClient()
{
    Person twin = kMary;
    twin.id = 2;
    deck({kMary, twin}, {{1}, {2}});
    registryRow(QStringLiteral("500"), QStringLiteral("N"), kMary);
    registryRow(QStringLiteral("600"), QStringLiteral("N"), kMary);
    clsAnalyzeResults().Analyze_IIS_LOAD();
    QCOMPARE(rows(QStringLiteral("SELECT rec_1_IIS_ID FROM Answer_Sheet ORDER BY rec_1")), QStringList({"500", "500"}));
}

void TestAnalysis::emptySlotsAreSkipped()
{
    Person b = kMary;
    b.id = 3;
    b.first = QStringLiteral("MARYANN");
    deck({kMary, b}, {{1, 0, 3}});
    registryRow(QStringLiteral("5"), QStringLiteral("N"), kMary);
    registryRow(QStringLiteral("6"), QStringLiteral("Y"), b);
    clsAnalyzeResults().Analyze_IIS_LOAD();
    QCOMPARE(sheet(), QStringList({"1|0|1|5|0|6|2"}));
    QCOMPARE(rows(QStringLiteral("SELECT ID, QM, quote(OtherQM) FROM IIS_DUPLICATES")), QStringList({"3|Y|NULL"}));
}

void TestAnalysis::scoring_data()
{
    // Found members and their clients per column (0: not found), the clients'
    // flags, and what scoring must write.
    QTest::addColumn<QList<int>>("members");
    QTest::addColumn<QList<int>>("clients");
    QTest::addColumn<QStringList>("flags"); // "client=flag"
    QTest::addColumn<int>("totalLoaded");
    QTest::addColumn<QStringList>("duplicates");
    QTest::addColumn<QStringList>("missing");
    QTest::newRow("three none found") << QList<int>{1, 2, 3} << QList<int>{0, 0, 0} << QStringList{} << 0 << QStringList{}
                                      << QStringList{"1"};
    QTest::newRow("single found") << QList<int>{1} << QList<int>{5} << QStringList{"5=N"} << 1 << QStringList{} << QStringList{};
    QTest::newRow("three in one client") << QList<int>{1, 2, 3} << QList<int>{5, 5, 5} << QStringList{"5=N"} << 1
                                         << QStringList{} << QStringList{};
    QTest::newRow("two clients, rec_3 apart") << QList<int>{1, 2, 3} << QList<int>{5, 5, 6} << QStringList{"5=N", "6=N"} << 2
                                              << QStringList{"3|N|N"} << QStringList{};
    QTest::newRow("three clients") << QList<int>{1, 2, 3} << QList<int>{5, 6, 7} << QStringList{"5=N", "6=N", "7=N"} << 3
                                   << QStringList{"3|N|N", "2|N|N"} << QStringList{};
    QTest::newRow("two of two") << QList<int>{1, 2} << QList<int>{5, 6} << QStringList{"5=N", "6=N"} << 2
                                << QStringList{"2|N|N"} << QStringList{};
    QTest::newRow("rec_2 not found") << QList<int>{1, 2, 3} << QList<int>{5, 0, 6} << QStringList{"5=N", "6=N"} << 2
                                     << QStringList{"3|N|N"} << QStringList{};
    QTest::newRow("own client flagged") << QList<int>{1, 2} << QList<int>{5, 6} << QStringList{"5=N", "6=Y"} << 2
                                        << QStringList{"2|Y|NULL"} << QStringList{};
    QTest::newRow("other client flagged") << QList<int>{1, 2} << QList<int>{5, 6} << QStringList{"5=Y", "6=N"} << 2
                                          << QStringList{"2|N|Y"} << QStringList{};
    QTest::newRow("blank flag is not flagged") << QList<int>{1, 2} << QList<int>{5, 6} << QStringList{"5=", "6="} << 2
                                               << QStringList{"2|N|N"} << QStringList{};
    QTest::newRow("blank flag, other flagged") << QList<int>{1, 2} << QList<int>{5, 6} << QStringList{"5=Y", "6="} << 2
                                               << QStringList{"2|N|Y"} << QStringList{};
    QTest::newRow("client without a row") << QList<int>{1, 2} << QList<int>{5, 9} << QStringList{"5=N"} << 2
                                          << QStringList{"2|N|N"} << QStringList{};
}

void TestAnalysis::scoring()
{
    QFETCH(QList<int>, members);
    QFETCH(QList<int>, clients);
    QFETCH(QStringList, flags);
    QFETCH(int, totalLoaded);
    QFETCH(QStringList, duplicates);
    QFETCH(QStringList, missing);
    run(QStringLiteral("DELETE FROM Answer_Sheet"));
    QStringList sets;
    QVariantList binds;
    int found = 0;
    for (int n = 0; n < members.size(); ++n) {
        sets << QStringLiteral("rec_%1").arg(n + 1) << QStringLiteral("rec_%1_loaded").arg(n + 1)
             << QStringLiteral("rec_%1_IIS_ID").arg(n + 1);
        binds << members[n] << int(clients[n] != 0) << clients[n];
        found += clients[n] != 0;
    }
    sets << QStringLiteral("total_loaded");
    binds << found;
    run(QStringLiteral("INSERT INTO Answer_Sheet (%1) VALUES (%2)").arg(sets.join(','), QString("?,").repeated(sets.size()).chopped(1)),
        binds);
    for (const QString& f : flags)
        registryRow(f.section('=', 0, 0), f.section('=', 1), {0, "X", "Y", "Z", "20200101", "M", ""});
    clsAnalyzeResults().Score();
    QCOMPARE(rows(QStringLiteral("SELECT total_loaded FROM Answer_Sheet")), QStringList({QString::number(totalLoaded)}));
    QCOMPARE(rows(QStringLiteral("SELECT ID, QM, quote(OtherQM) FROM IIS_DUPLICATES ORDER BY rowid")).replaceInStrings("'", ""),
             duplicates);
    QCOMPARE(rows(QStringLiteral("SELECT ID FROM IIS_MISSING_RECORDS")), missing);
}

void TestAnalysis::clientNumbersAreFoundByValue()
{
    Person b = kMary;
    b.id = 2;
    b.first = QStringLiteral("MOLLY");
    deck({kMary, b}, {{1, 2}});
    registryRow(QStringLiteral("000123"), QStringLiteral("Y"), kMary);
    registryRow(QStringLiteral("124"), QStringLiteral("N"), b);
    clsAnalyzeResults().Analyze_IIS_LOAD();
    QCOMPARE(sheet(), QStringList({"1|1|0|123|124|0|2"}));
    // The flag of the client written "000123" is seen: the group is flagged.
    QCOMPARE(rows(QStringLiteral("SELECT ID, QM, OtherQM FROM IIS_DUPLICATES")), QStringList({"2|N|Y"}));
}

void TestAnalysis::scoreTwiceGivesTheSameTables()
{
    QVERIFY(EvaluationRun::LoadAndAnalyze(QStringLiteral(MARROWICK_SOURCE_DIR "/samples/results-none.txt")));
    const QString dump = QStringLiteral("SELECT * FROM %1 ORDER BY rowid");
    const QStringList tables{"Answer_Sheet", "IIS_DUPLICATES", "IIS_MISSING_RECORDS"};
    QList<QStringList> before;
    for (const QString& t : tables)
        before << rows(dump.arg(t));
    QVERIFY(!before[1].isEmpty());
    clsAnalyzeResults().Score();
    for (qsizetype i = 0; i < tables.size(); ++i)
        QCOMPARE(rows(dump.arg(tables[i])), before[i]);
}

void TestAnalysis::progressIsReported()
{
    deck({kMary}, {{1}});
    registryRow(QStringLiteral("1"), QStringLiteral("N"), kMary);
    clsAnalyzeResults().Analyze_IIS_LOAD();
    QCOMPARE(host->increments, 2);
    QCOMPARE(host->barTotal, 0.35);
    QCOMPARE(host->progressTexts, QStringList({"Analyzing results ...."}));
}

void TestAnalysis::emptyAnswerSheetGivesEmptyResults()
{
    run(QStringLiteral("DELETE FROM Answer_Sheet"));
    registryRow(QStringLiteral("1"), QStringLiteral("N"), kMary);
    clsAnalyzeResults().Analyze_IIS_LOAD();
    QCOMPARE(countRows(QStringLiteral("IIS_DUPLICATES")), 0);
    QCOMPARE(countRows(QStringLiteral("IIS_MISSING_RECORDS")), 0);
}

void TestAnalysis::failureRollsBackToThePreviousEvaluation()
{
    const QString sample = QStringLiteral(MARROWICK_SOURCE_DIR "/samples/results-typical.txt");
    QVERIFY(EvaluationRun::LoadAndAnalyze(sample));
    const QStringList tables{"IIS_LOADED_CHILD_ALL", "Answer_Sheet", "IIS_DUPLICATES", "IIS_MISSING_RECORDS"};
    QList<QStringList> before;
    for (const QString& t : tables)
        before << rows(QStringLiteral("SELECT * FROM %1 ORDER BY rowid").arg(t));

    // An answer-sheet member with no test record fails the matching half way.
    run(QStringLiteral("UPDATE Answer_Sheet SET rec_5 = 9999 WHERE rec_1 = (SELECT max(rec_1) FROM Answer_Sheet)"));
    before[1] = rows(QStringLiteral("SELECT * FROM Answer_Sheet ORDER BY rowid"));
    try {
        EvaluationRun::LoadAndAnalyze(QStringLiteral(MARROWICK_SOURCE_DIR "/samples/results-none.txt"));
        QFAIL("the analysis did not fail");
    } catch (const DbError& error) {
        QCOMPARE(error.number(), int(DbError::NoCurrentRecord));
        QVERIFY(error.description().contains(QStringLiteral("9999")));
    }
    for (qsizetype i = 0; i < tables.size(); ++i)
        QCOMPARE(rows(QStringLiteral("SELECT * FROM %1 ORDER BY rowid").arg(tables[i])), before[i]);
}

QTEST_GUILESS_MAIN(TestAnalysis)
#include "test_analysis.moc"
