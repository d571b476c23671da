// Results files from the registry simulator, checked against what the simulator
// knows it did with every test record, never against the program's own output.
#include "FakePlatform.h"
#include "TestDatabase.h"
#include "analysis/EvaluationRun.h"
#include "database/Db.h"
#include "database/EvalDatabase.h"
#include "simregistry/RegistrySimulator.h"
#include "summaries/Summaries.h"

#include <QFile>
#include <QProcess>
#include <QSet>
#include <QTest>

using namespace marrowick;
using namespace marrowick::test;

namespace {

const QString kSource = QStringLiteral(MARROWICK_SOURCE_DIR);

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct Expectation {
    QSet<int> missing;              // rec_1 of the groups of which nothing reached the export
    QHash<int, int> surplus;        // rec_1 -> clients beyond the first
    QHash<int, bool> flagged;       // rec_1 -> some client of the group carries the flag
    QSet<int> indistinguishable;    // groups with two clients that the matching cannot tell apart
    int clients = 0;
};

// What a perfect reader of the export would find, from the simulator's truth.
Expectation expect(const QList<QList<int>>& groups, const QList<sim::TestRecord>& records, const sim::Simulation& simulation)
{
    QHash<int, sim::Outcome> outcome;
    for (const sim::Outcome& o : simulation.outcomes)
        outcome.insert(o.id, o);
    QHash<int, const sim::TestRecord*> record;
    for (const sim::TestRecord& r : records)
        record.insert(r.id, &r);
    QSet<qint64> allClients, flaggedClients;
    for (const sim::Outcome& o : simulation.outcomes) {
        if (o.action == QLatin1String("new") || o.action == QLatin1String("flagged"))
            allClients.insert(o.client);
        if (o.action == QLatin1String("flagged"))
            flaggedClients.insert(o.client);
    }
    Expectation e;
    e.clients = int(allClients.size());
    for (const QList<int>& group : groups) {
        QSet<qint64> clients;
        QSet<QString> keys;
        bool sameKey = false;
        for (int id : group) {
            const sim::Outcome& o = outcome[id];
            if (o.action == QLatin1String("new") || o.action == QLatin1String("flagged")) {
                clients.insert(o.client);
                // The first matching attempt compares these; two clients with the
                // same values are both found under the first one.
                const sim::TestRecord* r = record[id];
                const QString key = QStringList{r->first, r->last, r->momMaiden, r->dob, r->sex}.join('|').toUpper();
                sameKey = sameKey || keys.contains(key);
                keys.insert(key);
            }
        }
        const int base = group.first();
        if (clients.isEmpty())
            e.missing.insert(base);
        if (clients.size() > 1)
            e.surplus.insert(base, int(clients.size()) - 1);
        bool flag = false;
        for (qint64 c : clients)
            flag = flag || flaggedClients.contains(c);
        e.flagged.insert(base, flag);
        if (sameKey)
            e.indistinguishable.insert(base);
    }
    return e;
}

QString overallValue(int code)
{
    return scalar(QStringLiteral("SELECT ResultValue FROM tblOverallResults WHERE ResultCode=?"), QStringLiteral("ResultValue"), {code})
        .toString();
}

} // namespace

class TestEndToEnd : public QObject {
    Q_OBJECT
private slots:
    void findingsAgreeWithTheSimulator_data();
    void findingsAgreeWithTheSimulator();
    void batchFillsTheSameTablesAsTheWizard();
};

void TestEndToEnd::findingsAgreeWithTheSimulator_data()
{
    QTest::addColumn<QString>("policy");
    for (const QString& name : sim::policyNames())
        QTest::newRow(qPrintable(name)) << name;
}

void TestEndToEnd::findingsAgreeWithTheSimulator()
{
    QFETCH(QString, policy);
    FakePlatform host;
    TestDatabase db;
    const QList<QList<int>> groups = sim::RegistrySimulator::parseAnswerSheet(readFile(kSource + "/data/Answer_Sheet.csv"));
    const QList<sim::TestRecord> records = sim::RegistrySimulator::parseTestFile(readFile(kSource + "/data/DupTestData.txt"));
    const sim::RegistrySimulator simulator(*sim::policyNamed(policy),
                                           sim::RegistrySimulator::parseNicknames(readFile(kSource + "/tools/deckdata/nicknames.txt")),
                                           groups);
    const sim::Simulation simulation = simulator.run(records);
    const Expectation e = expect(groups, records, simulation);

    QVERIFY(EvaluationRun::LoadAndAnalyze(db.writeFile(QStringLiteral("results.txt"), simulation.resultsFile)));
    QVERIFY(host.shown.isEmpty());

    QSet<int> missing;
    for (const QString& id : rows(QStringLiteral("SELECT ID FROM IIS_MISSING_RECORDS")))
        missing.insert(id.toInt());
    QCOMPARE(missing, e.missing);

    QHash<int, int> baseOf;
    for (const QList<int>& g : groups)
        for (int id : g)
            baseOf.insert(id, g.first());
    QHash<int, int> surplus;
    QHash<int, QSet<bool>> flaggedRows;
    QSqlQuery dups = run(QStringLiteral("SELECT ID, QM, OtherQM FROM IIS_DUPLICATES"));
    while (dups.next()) {
        const int base = baseOf.value(dups.value(0).toInt());
        surplus[base]++;
        flaggedRows[base].insert(dups.value(1).toString() == QLatin1String("Y") || dups.value(2).toString() == QLatin1String("Y"));
    }
    int excused = 0;
    int undetected = 0;
    for (const QList<int>& g : groups) {
        const int base = g.first();
        const int expected = e.surplus.value(base);
        const int found = surplus.value(base);
        if (found != expected && e.indistinguishable.contains(base) && found < expected) {
            // Known limit of the matching: two clients with identical names,
            // mother's maiden name, birth date and sex are both found under the
            // first one, so the surplus client is not seen.
            ++excused;
            continue;
        }
        QVERIFY2(found == expected, qPrintable(QStringLiteral("group %1: %2 surplus clients, expected %3").arg(base).arg(found).arg(expected)));
        if (found > 0) {
            QCOMPARE(flaggedRows[base], QSet<bool>({e.flagged[base]}));
            if (!e.flagged[base])
                undetected += found;
        }
    }
    qInfo("%s: %d lost groups, %d groups with surplus clients, %d excused as indistinguishable", qPrintable(policy),
          int(e.missing.size()), int(e.surplus.size()), excused);
    if (policy == QLatin1String("perfect")) {
        QVERIFY(e.missing.isEmpty());
        QVERIFY(e.surplus.isEmpty());
    }

    // The summary counts what the simulator did.
    QVERIFY(clsOverallResults().RefillOverallResults());
    QCOMPARE(overallValue(5).toInt(), e.clients);
    QCOMPARE(overallValue(10).toInt(), int(e.missing.size()));
    if (excused == 0)
        QCOMPARE(overallValue(6).toInt(), undetected);
}

void TestEndToEnd::batchFillsTheSameTablesAsTheWizard()
{
    FakePlatform host;
    const QString sample = kSource + QStringLiteral("/samples/results-typical.txt");
    const QStringList tables{"IIS_LOADED_CHILD_ALL", "Answer_Sheet", "IIS_DUPLICATES", "IIS_MISSING_RECORDS"};
    QList<QStringList> wizard;
    QString batchDb;
    {
        TestDatabase db;
        QVERIFY(EvaluationRun::LoadAndAnalyze(sample));
        for (const QString& t : tables)
            wizard << rows(QStringLiteral("SELECT * FROM %1 ORDER BY rowid").arg(t));
        batchDb = db.folder() + QStringLiteral("/batch.db");
        closeEvalDatabase();

        QProcess batch;
        batch.start(QStringLiteral(MARROWICK_BIN_DIR "/marrowick-batch"),
                    {QStringLiteral("evaluate"), QStringLiteral("--database"), batchDb, sample});
        QVERIFY(batch.waitForFinished(60000));
        QCOMPARE(batch.exitCode(), 0);
        QVERIFY(openEvalDatabase(batchDb));
        for (qsizetype i = 0; i < tables.size(); ++i)
            QCOMPARE(rows(QStringLiteral("SELECT * FROM %1 ORDER BY rowid").arg(tables[i])), wizard[i]);
    }
}

QTEST_GUILESS_MAIN(TestEndToEnd)
#include "test_e2e.moc"
