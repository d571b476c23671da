// Results files from the registry simulator, checked against what the simulator
// knows it did with every test record, never against the program's own output;
// every record's outcome against the tables and summaries that count it, and the
// run saved with the evaluation against those summaries.
#include "Suite.h"
#include "analysis/EvaluationRun.h"
#include "analysis/MatchAttempts.h"
#include "analysis/ProblemCode.h"
#include "history/RunHistory.h"
#include "summaries/PercentText.h"
#include "simregistry/RegistrySimulator.h"

#include <QSet>

namespace {

// What the analysis must find: rec_1 of the groups of which nothing reached the
// export, and the IIS_DUPLICATES rows as ID|QM|OtherQM, both sorted; the groups
// whose records a reader finds in clients they did not create; the clients; the
// surplus clients that nothing flagged; and the people without a duplicate
// whose client is flagged.
struct Expectation { QStringList missing, surplus, offTruth; int clients = 0, undetected = 0, flaggedAlone = 0; };

// One line of the export: its client and what the matching compares.
struct ExportRow { qint64 client = 0; QString first, last, maiden, momFirst, dob, sex, date; int cvx = 0; };

QList<ExportRow> exportRows(const QByteArray& file)
{
    QList<ExportRow> rows;
    for (const QStringList& f : csvRecords(file))
        rows << ExportRow{f[0].toLongLong(), f[3], f[2], f[8], f[10], f[6], f[7], f[13], f[12].toInt()};
    return rows;
}

// Where a reader of the export finds a test record, attempt by attempt as the
// analysis makes them, preferring the row with the record's own vaccination;
// 0 when nowhere.
qint64 clientOf(const sim::TestRecord& r, const sim::TestRecord* other, const QList<ExportRow>& rows)
{
    auto values = [](const sim::TestRecord& x) { return MatchValues{x.first, x.last, x.momMaiden, x.momFirst, x.dob}; };
    for (const MatchAttempt& attempt : matchAttempts()) {
        if (attempt.needsOther && !other)
            continue;
        const Lookup l = attempt.lookup(values(r), other ? values(*other) : MatchValues{});
        const ExportRow* found = nullptr;
        for (const ExportRow& row : rows) {
            if (row.first != l.first || row.last != l.last || (l.byMomFirst ? row.momFirst : row.maiden) != l.mother
                || row.dob != l.dob || row.sex != r.sex)
                continue;
            if (row.cvx == r.cvx.toInt() && row.date == r.vacDate)
                return row.client;
            found = found ? found : &row;
        }
        if (found)
            return found->client;
    }
    return 0;
}

// What the analysis must find. A group's clients are exactly those its own
// records created (the truth). Its own client is the one of its base record,
// or of its first record found; every other client is a surplus client, named
// by its record found in the highest place, with that client's flag and, when
// the flag is "N", whether any client of the group was flagged.
Expectation expect(const QList<QList<int>>& groups, const QList<sim::TestRecord>& records, const sim::Simulation& simulation)
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
    QHash<int, const sim::TestRecord*> record;
    for (const sim::TestRecord& r : records)
        record.insert(r.id, &r);
    const QList<ExportRow> rows = exportRows(simulation.resultsFile);
    Expectation e;
    e.clients = int(allClients.size());
    for (const QList<int>& group : groups) {
        QList<qint64> found;
        QSet<qint64> created, seen;
        for (qsizetype j = 0; j < group.size(); ++j) {
            const sim::Outcome& o = outcome[group[j]];
            if (o.action == QLatin1String("new") || o.action == QLatin1String("flagged"))
                created.insert(o.client);
            const int other = group.size() < 2 ? 0 : group[j == 0 ? 1 : 0];
            found << clientOf(*record[group[j]], other ? record[other] : nullptr, rows);
            if (found.last())
                seen.insert(found.last());
        }
        if (seen != created)
            e.offTruth << QString::number(group.first());
        if (seen.isEmpty()) {
            e.missing << QString::number(group.first());
            continue;
        }
        e.flaggedAlone += group.size() == 1 && flaggedClients.contains(found[0]);
        const qint64 own = *std::find_if(found.begin(), found.end(), [](qint64 c) { return c != 0; });
        const bool groupFlag = std::any_of(seen.begin(), seen.end(), [&](qint64 c) { return flaggedClients.contains(c); });
        for (qint64 c : seen) {
            if (c == own)
                continue;
            const bool flagged = flaggedClients.contains(c);
            const char* otherQm = flagged ? "<null>" : groupFlag ? "Y" : "N";
            e.surplus << QStringLiteral("%1|%2|%3").arg(group[found.lastIndexOf(c)]).arg(QLatin1String(flagged ? "Y" : "N"), QLatin1String(otherQm));
            e.undetected += !flagged && !groupFlag;
        }
    }
    e.surplus.sort();
    e.missing.sort();
    return e;
}

QString overallValue(int code) { return rows("SELECT ResultValue FROM tblOverallResults WHERE ResultCode=?", {code}).value(0); }

} // namespace

class TestEndToEnd : public SessionTest {
    Q_OBJECT
private slots:
    void findingsAgreeWithTheSimulator_data()
    {
        QTest::addColumn<QString>("policy");
        for (const QString& name : sim::policyNames())
            QTest::newRow(qPrintable(name)) << name;
    }

    void findingsAgreeWithTheSimulator()
    {
        QFETCH(QString, policy);
        const sim::Policy chosen = *sim::policyNamed(policy);
        const QList<QList<int>> groups = sim::RegistrySimulator::parseAnswerSheet(sourceBytes("data/Answer_Sheet.csv"));
        const sim::RegistrySimulator simulator(chosen, sim::RegistrySimulator::parseNicknames(sourceBytes("tools/deckdata/nicknames.txt")), groups);
        const QList<sim::TestRecord> records = sim::RegistrySimulator::parseTestFile(sourceBytes("data/DupTestData.txt"));
        const sim::Simulation simulation = simulator.run(records);
        const Expectation e = expect(groups, records, simulation);
        QCOMPARE(e.offTruth, QStringList());

        EvaluationRun::LoadAndAnalyze(s->db.writeFile("results.txt", simulation.resultsFile));
        QCOMPARE(sorted(rows("SELECT ID FROM IIS_MISSING_RECORDS")), e.missing);
        QCOMPARE(sorted(rows("SELECT ID, QM, OtherQM FROM IIS_DUPLICATES")), e.surplus);

        // Every record's outcome agrees with the tables and the summaries that count it.
        QVERIFY(refillSummaries());
        // The run saved with the evaluation keeps the summaries' figures, counted the same way.
        QStringList saved;
        for (const Figure& f : history::runFigures(history::resolveRun(-1).value()))
            saved << QStringList{f.name, f.label, PercentText(f.counts.successes, f.counts.trials)}.join(QLatin1Char('|'));
        QCOMPARE(saved, reportedScores());

        // The records the scores count: those IIS_DUPLICATES lists, and the main records of lost groups.
        QCOMPARE(count("SELECT count(*) FROM tblRecordOutcomes WHERE ID IN (SELECT ID FROM IIS_DUPLICATES) "
                       "AND Outcome IN ('missed', 'flagged')"),
                 countRows(QStringLiteral("IIS_DUPLICATES")));
        QCOMPARE(count("SELECT count(DISTINCT GroupNo) FROM tblRecordOutcomes WHERE Outcome = 'lost'"),
                 countRows(QStringLiteral("IIS_MISSING_RECORDS")));
        QCOMPARE(count(QStringLiteral("SELECT count(*) FROM tblRecordOutcomes WHERE Outcome IN ('kept_apart', 'stranger_merge') "
                                      "AND ID NOT IN (SELECT ID FROM DupTestData WHERE ")
                       + problem::isLookAlike() + ')'),
                 0);

        // The summary counts what the simulator did (its missing records through
        // the lost groups above).
        QCOMPARE(overallValue(5).toInt(), e.clients);
        QCOMPARE(overallValue(6).toInt(), e.undetected);
        QCOMPARE(overallValue(12).toInt(), e.flaggedAlone);

        // Each group's main record is its main record, found in place 1 unless a
        // look-alike; caught are duplicates only, and none where nothing was merged.
        const QString outcomeCount = QStringLiteral("SELECT count(*) FROM tblRecordOutcomes o JOIN DupTestData d ON d.ID = o.ID WHERE ");
        QCOMPARE(count(outcomeCount + "o.Outcome = 'main'"),
                 count(outcomeCount + "o.Place = 1 AND o.ClientID IS NOT NULL AND NOT "
                       + problem::isLookAlike("d.ProblemCode")));
        QCOMPARE(count(outcomeCount + "o.Outcome IN ('main', 'caught') AND (o.Place = 1) <> (o.Outcome = 'main')"), 0);
        if (chosen == sim::Policy::None)
            QCOMPARE(count(outcomeCount + "o.Outcome = 'caught'"), 0);
    }
};

QTEST_GUILESS_MAIN(TestEndToEnd)
#include "test_e2e.moc"
