#include "FakePlatform.h"
#include "TestDatabase.h"
#include "database/Db.h"
#include "gendeck/DeckGenerator.h"
#include "import/clsProcessResultsFile.h"
#include "simregistry/RegistrySimulator.h"

#include <QDate>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTest>

using namespace marrowick;
using namespace marrowick::test;

namespace {

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const QString kSource = QStringLiteral(MARROWICK_SOURCE_DIR);

sim::Simulation simulate(sim::Policy policy)
{
    const sim::RegistrySimulator simulator(
        policy, sim::RegistrySimulator::parseNicknames(readFile(kSource + "/tools/deckdata/nicknames.txt")),
        sim::RegistrySimulator::parseAnswerSheet(readFile(kSource + "/data/Answer_Sheet.csv")));
    return simulator.run(sim::RegistrySimulator::parseTestFile(readFile(kSource + "/data/DupTestData.txt")));
}

} // namespace

class TestDeck : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void generatorReproducesTheShippedDeck();
    void recordsAndIds();
    void groupStructure();
    void problemTypesAndLookAlikes();
    void namesNotesAndDates();
    void testFileMatchesTheRecordsWithRealisticVaccinations();
    void simulatorIsDeterministicAndSamplesAreCurrent();
    void everySampleLoads();

private:
    std::unique_ptr<FakePlatform> host;
    std::unique_ptr<TestDatabase> db;
};

void TestDeck::initTestCase()
{
    host = std::make_unique<FakePlatform>();
    db = std::make_unique<TestDatabase>();
}

void TestDeck::cleanupTestCase()
{
    db.reset();
    host.reset();
}

void TestDeck::generatorReproducesTheShippedDeck()
{
    const deck::DeckData data = deck::DeckData::load(kSource + "/tools/deckdata");
    deck::DeckGenerator generator(data, 20020625);
    const auto files = deck::DeckGenerator::render(generator.generate(), data);
    QCOMPARE(files.size(), 7);
    for (auto it = files.begin(); it != files.end(); ++it)
        QVERIFY2(readFile(kSource + "/data/" + it.key()) == it.value(), qPrintable(it.key() + " differs from a fresh generation"));
}

void TestDeck::recordsAndIds()
{
    QCOMPARE(scalar(QStringLiteral("SELECT count(*) AS n FROM DupTestData"), QStringLiteral("n")).toInt(), 550);
    QCOMPARE(scalar(QStringLiteral("SELECT min(ID) AS n FROM DupTestData"), QStringLiteral("n")).toInt(), 1);
    QCOMPARE(scalar(QStringLiteral("SELECT max(ID) AS n FROM DupTestData"), QStringLiteral("n")).toInt(), 550);
    const int nonDups = scalar(QStringLiteral("SELECT count(*) AS n FROM DupTestData WHERE ProblemCode IN ('BASE_RECORD','DL_BASE_RECORD')"),
                               QStringLiteral("n")).toInt();
    QVERIFY2(nonDups >= 240 && nonDups <= 300, qPrintable(QString::number(nonDups)));
}

void TestDeck::groupStructure()
{
    QHash<int, int> asBase, asMember;
    QSet<int> sizes;
    int gaps = 0;
    QSqlQuery sheet = run(QStringLiteral("SELECT rec_1, rec_2, rec_3, rec_4, rec_5 FROM Answer_Sheet"));
    while (sheet.next()) {
        QVERIFY(!sheet.isNull(0));
        asBase[sheet.value(0).toInt()]++;
        int size = 1;
        bool emptySeen = false;
        for (int i = 1; i < 5; ++i) {
            if (sheet.isNull(i)) {
                emptySeen = true;
                continue;
            }
            gaps += emptySeen;
            emptySeen = false;
            asMember[sheet.value(i).toInt()]++;
            ++size;
        }
        sizes.insert(size);
    }
    QCOMPARE(sizes, QSet<int>({1, 2, 3, 4, 5}));
    QVERIFY(gaps >= 2);
    QSqlQuery tests = run(QStringLiteral("SELECT ID, ProblemCode FROM DupTestData"));
    QHash<int, int> idOfMember;
    while (tests.next()) {
        const int id = tests.value(0).toInt();
        const bool nonDup = tests.value(1).toString().endsWith(QLatin1String("BASE_RECORD"));
        QCOMPARE(asBase.value(id), nonDup ? 1 : 0);
        QCOMPARE(asMember.value(id), nonDup ? 0 : 1);
    }
    // No duplicate sits next to its base record.
    QSqlQuery pairs = run(QStringLiteral(
        "SELECT rec_1, m FROM (SELECT rec_1, rec_2 AS m FROM Answer_Sheet UNION ALL SELECT rec_1, rec_3 FROM Answer_Sheet "
        "UNION ALL SELECT rec_1, rec_4 FROM Answer_Sheet UNION ALL SELECT rec_1, rec_5 FROM Answer_Sheet) WHERE m IS NOT NULL"));
    while (pairs.next())
        QVERIFY2(std::abs(pairs.value(0).toInt() - pairs.value(1).toInt()) > 1, qPrintable(pairs.value(1).toString()));
}

void TestDeck::problemTypesAndLookAlikes()
{
    const QStringList undescribed = rows(QStringLiteral(
        "SELECT DISTINCT ProblemCode FROM DupTestData WHERE ProblemCode NOT IN ('BASE_RECORD','DL_BASE_RECORD') "
        "AND ProblemCode NOT IN (SELECT ProbCode FROM tblProbDescMap)"));
    QCOMPARE(undescribed, QStringList());
    const QStringList small = rows(QStringLiteral(
        "SELECT ProblemCode FROM DupTestData WHERE ProblemCode NOT IN ('BASE_RECORD','DL_BASE_RECORD') GROUP BY ProblemCode HAVING count(*) < 6"));
    QCOMPARE(small, QStringList());
    QVERIFY(rows(QStringLiteral("SELECT DISTINCT ProblemCode FROM DupTestData WHERE ProblemCode NOT IN ('BASE_RECORD','DL_BASE_RECORD')")).size() >= 25);
    QVERIFY(rows(QStringLiteral("SELECT DISTINCT SecondProblem FROM DupTestData WHERE ProblemCode='DL_BASE_RECORD'")).size() >= 8);
    QCOMPARE(rows(QStringLiteral("SELECT ID FROM DupTestData WHERE ProblemCode='DL_BASE_RECORD' AND (SecondProblem IS NULL OR "
                                 "SecondProblem NOT IN (SELECT ProbCode FROM tblSecondProbDescMap) OR ComboCode NOT IN "
                                 "(SELECT ComboCode FROM tblComboMap))")),
             QStringList());
    QCOMPARE(rows(QStringLiteral("SELECT ProbCode FROM tblComboMap WHERE ProbCode NOT IN (SELECT ProbCode FROM tblProbDescMap)")), QStringList());
    QCOMPARE(rows(QStringLiteral("SELECT ProbCode FROM tblProbDescMap WHERE ProbOrder >= 99 OR ProbCode LIKE '%''%' UNION ALL "
                                 "SELECT ProbCode FROM tblSecondProbDescMap WHERE ProbOrder >= 99 OR ProbCode LIKE '%''%' UNION ALL "
                                 "SELECT ProblemCode FROM DupTestData WHERE ProblemCode LIKE '%''%' OR SecondProblem LIKE '%''%'")),
             QStringList());
    // The problems that registries meet most, each covered.
    for (const char* code : {"NICKNAME", "FN_TYPO", "FN_TRANSPOSE", "FN_SOUNDALIKE", "MIDDLE_MISSING", "MIDDLE_AS_FIRST",
                             "NAME_TRANSPOSED", "NEWBORN_NAME", "COMPOUND_FIRST", "APOSTROPHE", "HYPHEN_DROPPED",
                             "HISPANIC_SURNAMES", "SURNAME_PARTICLE", "SURNAME_CHANGED", "SUFFIX", "LN_TYPO", "DOB_DAY_MONTH",
                             "DOB_DIGIT", "DOB_YEAR", "SEX_WRONG", "MOM_MARRIED_AS_MAIDEN", "MOM_NICKNAME", "MOM_MISSING",
                             "EXACT", "TWO_PROBLEMS"})
        QVERIFY2(count16(QStringLiteral("SELECT count(*) AS n FROM DupTestData WHERE ProblemCode=?"), QStringLiteral("n"),
                         {QLatin1String(code)}) >= 6,
                 code);
    for (const char* kind : {"TWIN_SAME_SEX", "TWIN_OPP_SEX", "TWIN_PLACEHOLDER", "TRIPLETS", "SIBLINGS", "COMMON_NAME_DOB",
                             "COUSINS", "DOB_ONE_OFF"})
        QVERIFY2(count16(QStringLiteral("SELECT count(*) AS n FROM DupTestData WHERE SecondProblem=?"), QStringLiteral("n"),
                         {QLatin1String(kind)}) >= 2,
                 kind);
}

void TestDeck::namesNotesAndDates()
{
    QSqlQuery q = run(QStringLiteral("SELECT ID, LastName, FirstName, MiddleName, DOB, Sex, MomMaiden, MomFirst, notes FROM DupTestData"));
    int apostrophes = 0, motherApostrophes = 0;
    while (q.next()) {
        const QString id = q.value(0).toString();
        for (int c : {1, 2, 3, 6, 7})
            QVERIFY2(q.value(c).toString() == q.value(c).toString().toUpper(), qPrintable(id));
        const QDate dob = QDate::fromString(q.value(4).toString(), QStringLiteral("yyyyMMdd"));
        QVERIFY2(dob.isValid() && dob.year() >= 2019 && dob.year() <= 2025, qPrintable(id));
        QVERIFY(QStringList({"M", "F", "U"}).contains(q.value(5).toString()));
        QVERIFY2(q.value(8).toString().size() > 10, qPrintable(id));
        apostrophes += q.value(1).toString().contains(QLatin1Char('\''));
        motherApostrophes += q.value(6).toString().contains(QLatin1Char('\''));
    }
    QVERIFY(apostrophes >= 5);
    QVERIFY(motherApostrophes >= 2);
}

void TestDeck::testFileMatchesTheRecordsWithRealisticVaccinations()
{
    QSet<QString> makers; // cvx|mvx
    const QList<QByteArray> vaccines = readFile(kSource + "/tools/deckdata/vaccines.csv").split('\n');
    for (qsizetype i = 1; i < vaccines.size(); ++i) {
        const QList<QByteArray> f = vaccines[i].split(',');
        if (f.size() >= 4)
            makers.insert(QString::fromUtf8(f.first() + "|" + f[f.size() - 3]));
    }
    const QList<sim::TestRecord> records =
        sim::RegistrySimulator::parseTestFile(readFile(kSource + "/data/DupTestData.txt"));
    QCOMPARE(records.size(), 550);
    QSqlQuery q = run(QStringLiteral("SELECT LastName, FirstName, DOB, Sex, MomMaiden, MomFirst, VacCode, VacDate, VacMfr "
                                     "FROM DupTestData LEFT JOIN DupTestVaccination USING (ID) ORDER BY ID"));
    for (const sim::TestRecord& r : records) {
        QVERIFY(q.next());
        QStringList stored;
        for (int i = 0; i < 9; ++i)
            stored << q.value(i).toString();
        QCOMPARE(QStringList({r.last, r.first, r.dob, r.sex, r.momMaiden, r.momFirst, r.cvx, r.vacDate, r.mvx}), stored);
        QVERIFY2(makers.contains(r.cvx + "|" + r.mvx), qPrintable(r.cvx + "|" + r.mvx));
        const QDate given = QDate::fromString(r.vacDate, QStringLiteral("yyyyMMdd"));
        QVERIFY(given.isValid());
        QVERIFY(given <= QDate(2026, 11, 30));
    }
    // Vaccinations follow the true birth date; only a mistyped birth date can put one before it.
    int beforeBirth = 0;
    for (const sim::TestRecord& r : records)
        beforeBirth += r.vacDate < r.dob;
    QVERIFY(beforeBirth > 0 && beforeBirth < 40);
}

void TestDeck::simulatorIsDeterministicAndSamplesAreCurrent()
{
    for (const QString& name : sim::policyNames()) {
        const sim::Policy policy = *sim::policyNamed(name);
        const sim::Simulation first = simulate(policy);
        const sim::Simulation second = simulate(policy);
        QCOMPARE(first.resultsFile, second.resultsFile);
        QCOMPARE(first.truth, second.truth);
        QVERIFY2(readFile(kSource + "/samples/results-" + name + ".txt") == first.resultsFile, qPrintable(name));
        QVERIFY2(readFile(kSource + "/samples/truth-" + name + ".csv") == first.truth, qPrintable(name));
    }
}

void TestDeck::everySampleLoads()
{
    for (const QString& name : sim::policyNames()) {
        QVERIFY2(clsProcessResultsFile().ReadResults(kSource + "/samples/results-" + name + ".txt"), qPrintable(name));
        QVERIFY(host->shown.isEmpty());
    }
}

QTEST_GUILESS_MAIN(TestDeck)
#include "test_deck.moc"
