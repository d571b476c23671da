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
    QSet<int> missing;    // rec_1 of the groups of which nothing reached the export
    QStringList surplus;  // IIS_DUPLICATES rows as ID|QM|OtherQM, sorted
    int clients = 0;
    int undetected = 0;
};

// What the analysis must find, from the simulator's truth: a group's clients
// are those its own records created. The client of its first record found
// (in column order) is the group's; every other client is a surplus client,
// named by its member of the highest column, with that client's flag ("N"
// when the export left it empty) and, when that is "N", whether any client of
// the group was flagged.
Expectation expect(const QList<QList<int>>& groups, const sim::Simulation& simulation)
{
    QHash<int, sim::Outcome> outcome;
    QSet<qint64> allClients, flaggedClients;
    for (const sim::Outcome& o : simulation.outcomes) {
        outcome.insert(o.id, o);
        if (o.action == QLatin1String("new") || o.action == QLatin1String("flagged"))
            allClients.insert(o.client);
        if (o.action == QLatin1String("flagged"))
            flaggedClients.insert(o.client);
    }
    Expectation e;
    e.clients = int(allClients.size());
    for (const QList<int>& group : groups) {
        QList<qint64> clients; // in order of their first member
        QHash<qint64, int> namedBy;
        for (int id : group) {
            const sim::Outcome& o = outcome[id];
            if (o.action != QLatin1String("new") && o.action != QLatin1String("flagged") && !clients.contains(o.client))
                continue; // merged into another group's client, or into none of this group's
            if (!clients.contains(o.client))
                clients << o.client;
            namedBy[o.client] = id;
        }
        if (clients.isEmpty()) {
            e.missing.insert(group.first());
            continue;
        }
        bool groupFlag = false;
        for (qint64 c : clients)
            groupFlag = groupFlag || flaggedClients.contains(c);
        for (qsizetype i = 1; i < clients.size(); ++i) {
            const QString qm = flaggedClients.contains(clients[i]) ? QStringLiteral("Y") : QStringLiteral("N");
            const QString other = qm == QLatin1String("N") ? (groupFlag ? QStringLiteral("Y") : QStringLiteral("N")) : QStringLiteral("<null>");
            e.surplus << QStringList{QString::number(namedBy[clients[i]]), qm, other}.join(QLatin1Char('|'));
            e.undetected += qm != QLatin1String("Y") && other != QLatin1String("Y");
        }
    }
    e.surplus.sort();
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
    const sim::Policy chosen = *sim::policyNamed(policy);
    const QList<QList<int>> groups = sim::RegistrySimulator::parseAnswerSheet(readFile(kSource + "/data/Answer_Sheet.csv"));
    const sim::RegistrySimulator simulator(chosen, sim::RegistrySimulator::parseNicknames(readFile(kSource + "/tools/deckdata/nicknames.txt")),
                                           groups);
    const sim::Simulation simulation =
        simulator.run(sim::RegistrySimulator::parseTestFile(readFile(kSource + "/data/DupTestData.txt")));
    const Expectation e = expect(groups, simulation);

    QVERIFY(EvaluationRun::LoadAndAnalyze(db.writeFile(QStringLiteral("results.txt"), simulation.resultsFile)));
    QVERIFY(host.shown.isEmpty());

    QSet<int> missing;
    for (const QString& id : rows(QStringLiteral("SELECT ID FROM IIS_MISSING_RECORDS")))
        missing.insert(id.toInt());
    QCOMPARE(missing, e.missing);
    QStringList surplus = rows(QStringLiteral("SELECT ID, QM, OtherQM FROM IIS_DUPLICATES"));
    surplus.sort();
    QCOMPARE(surplus, e.surplus);

    // The summary counts what the simulator did.
    QVERIFY(clsOverallResults().RefillOverallResults());
    QCOMPARE(overallValue(5).toInt(), e.clients);
    QCOMPARE(overallValue(6).toInt(), e.undetected);
    QCOMPARE(overallValue(10).toInt(), int(e.missing.size()));

    // A registry that merges nothing catches nothing, one that merges only
    // identical records catches only exact duplicates, a perfect one all; none
    // of them loses anybody.
    if (chosen == sim::Policy::Typical || chosen == sim::Policy::Aggressive)
        return;
    QVERIFY(clsScoreByType().RefillScoresByType());
    QSqlQuery scores = run(QStringLiteral("SELECT ProblemCode, Sensitivity, Specificity FROM tblScoresByType"));
    int types = 0;
    while (scores.next()) {
        const QString code = scores.value(0).toString();
        const bool caught = chosen == sim::Policy::Perfect || (chosen == sim::Policy::Exact && code == QLatin1String("EXACT"));
        if (code != QLatin1String("TOTAL"))
            QVERIFY2(scores.value(1).toString() == (caught ? QStringLiteral("100 %") : QStringLiteral("0 %")), qPrintable(code));
        QVERIFY2(QStringList({"100 %", "N/A"}).contains(scores.value(2).toString()), qPrintable(code));
        ++types;
    }
    QVERIFY(types >= 30);
    QCOMPARE(overallValue(15), QStringLiteral("100 %"));
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
