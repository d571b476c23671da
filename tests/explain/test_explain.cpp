// Every test record's outcome: kept by the analysis, explained, and printed by
// the explain command.
#include "SmallDeck.h"
#include "Suite.h"
#include "analysis/EvaluationRun.h"
#include "analysis/ProblemCode.h"
#include "analysis/clsAnalyzeResults.h"
#include "database/EvalDatabase.h"
#include "reports/StyledExplanationModel.h"

#include <QFont>

namespace {

const Person kMain{1, "MARY ANN", "O'BRIEN", "JONES", "19990101", "F", "SUE"};
const Person kDup{2, "MARY", "OBRIEN", "SMITH", "19990202", "F", "SUE", "03", "20200202", "NICKNAME"};
const Person kThird{3, "MAREE", "OBRIEN", "JONES", "19990101", "F", "SUE", "03", "20200303", "FN_TYPO"};
Person twin(int id, const char* first, const char* date)
{
    return {id, first, "LEE", "KIM", "20200505", "F", "ANN", "03", date, problem::kLookAlike};
}

// A deck, its groups, the registry's rows as "client:record:flag" (the
// record as given) and the outcomes in ID order.
// The registry's rows as for Outcomes, a record and its verdict.
struct Verdict { QString registry; int id; QString verdict; };

struct Outcomes { QList<Person> people; QList<QList<int>> groups; QString registry, expected; };

// The deck analysed with the registry's rows as "client:record:flag" (anything else: no row).
void analyze(const QList<Person>& people, const QList<QList<int>>& groups, const QString& registry)
{
    deck(people, groups);
    for (const QString& row : registry.split(QLatin1Char(' ')))
        for (const Person& p : people)
            if (row.count(':') == 2 && p.id == row.section(':', 1, 1).toInt())
                registryRow(row.section(':', 0, 0), row.section(':', 2), p);
    clsAnalyzeResults().Analyze_IIS_LOAD();
}

} // namespace

class TestExplain : public SessionTest {
    Q_OBJECT
private slots:

    void oneGroupPerOutcome_data()
    {
        QTest::addColumn<Outcomes>("c");
        const QList<Person> three{kMain, kDup, kThird};
        const QList<QList<int>> one{{1, 2, 3}};
        QTest::newRow("caught") << Outcomes{three, one, "100:1:N 100:2:N 100:3:N", "main caught caught"};
        QTest::newRow("flagged by its own client or another") << Outcomes{three, one, "100:1:N 200:2:N 300:3:Y", "main flagged flagged"};
        QTest::newRow("missed; absent") << Outcomes{three, one, "100:1:N 200:2:N", "main missed absent"};
        QTest::newRow("two records in one surplus client") << Outcomes{three, one, "100:1:N 200:2:N 200:3:N", "main missed missed"};
        // The first duplicate found holds the group: still a duplicate, caught.
        QTest::newRow("main record merged away") << Outcomes{three, one, "100:2:N 100:3:N", "absent caught caught"};
        QTest::newRow("nothing merged") << Outcomes{three, one, "100:1:N 200:2:N 300:3:N", "main missed missed"};
        QTest::newRow("lost") << Outcomes{three, one, "", "lost lost lost"};
        QTest::newRow("twin lost, its twin kept")
            << Outcomes{{twin(7, "ANA", "20200601"), twin(8, "EVA", "20200602")}, {{7}, {8}}, "700:7:N", "kept_apart lost"};
        QTest::newRow("twins kept apart")
            << Outcomes{{twin(7, "ANA", "20200601"), twin(8, "EVA", "20200602")}, {{7}, {8}}, "700:7:N 800:8:N", "kept_apart kept_apart"};
        // Identical twins merged into one client that carries both their doses.
        QTest::newRow("twins under one client") << Outcomes{{twin(7, "ANA", "20200601"), twin(8, "ANA", "20200602")}, {{7}, {8}},
                                                            "700:7:N 700:8:N", "stranger_merge stranger_merge"};
    }

    void oneGroupPerOutcome()
    {
        QFETCH(Outcomes, c);
        analyze(c.people, c.groups, c.registry);
        QCOMPARE(rows("SELECT Outcome FROM tblRecordOutcomes ORDER BY ID").join(' '), c.expected);
        // Flagged and missed records name each surplus client once in IIS_DUPLICATES.
        QCOMPARE(count(QStringLiteral("SELECT count(*) FROM (SELECT DISTINCT GroupNo, ClientID FROM tblRecordOutcomes "
                                      "WHERE Outcome IN ('flagged', 'missed'))")),
                 countRows(QStringLiteral("IIS_DUPLICATES")));
        QCOMPARE(count(QStringLiteral("SELECT count(DISTINCT GroupNo) FROM tblRecordOutcomes WHERE Outcome = 'lost'")),
                 countRows(QStringLiteral("IIS_MISSING_RECORDS")));
        // Every verdict names the outcome's client, or says the record was not found.
        for (const RecordOutcome& r : explain::outcomesSelected(QStringLiteral("all"))) {
            const QString sentence = explain::verdict(r);
            QVERIFY2(r.client ? sentence.contains(QString::number(*r.client)) : sentence.startsWith(QLatin1String("Not in")),
                     qPrintable(sentence));
            // A lost look-alike is said to have gone, probably, to the client of its look-alike.
            if (r.outcome == Outcome::Lost && problem::isLookAlikeCode(r.problem))
                QVERIFY2(sentence.contains(QLatin1String("test record 7, is client 700")), qPrintable(sentence));
            // One main record per group, the answer sheet's first, as the grid marks it.
            QCOMPARE(sentence.contains(QLatin1String("The group's main record")), r.outcome == Outcome::Main);
            // A person reads the problem type in words, not as its code.
            const QString problem = explain::problemWords(r.id);
            QVERIFY2(!problem.isEmpty() && !problem.contains(QLatin1Char('_')), qPrintable(problem));
        }
    }

    void verdictsNameTheMainClient_data()
    {
        // The registry's rows of the group {1, 2, 3} as "client:record:flag", a record, its verdict.
        QTest::addColumn<Verdict>("c");
        QTest::newRow("the first found holds the group") << Verdict{"200:2:N 200:3:N", 2,
            "Under the group's client, 200; the group's main record is not in the registry's export under its own names: merged."};
        QTest::newRow("merged into it") << Verdict{"200:2:N 200:3:N", 3, "Merged into the group's main client, 200."};
        QTest::newRow("the main client is not the lowest") << Verdict{"300:1:N 200:2:N", 2,
            "Kept as a separate client, 200, without a potential-duplicate flag; the group's main client is 300."};
        QTest::newRow("its own flag") << Verdict{"100:1:N 200:2:N 300:3:Y", 3,
            "Kept as a separate client, 300, with a potential-duplicate flag; the group's main client is 100."};
        QTest::newRow("another client's flag") << Verdict{"100:1:N 200:2:N 300:3:Y", 2,
            "Kept as a separate client, 200, without a flag of its own, but another client of its group is flagged as a potential "
            "duplicate; the group's main client is 100."};
        QTest::newRow("a stranger merge without its client")
            << Verdict{"<edited>", 2, "Merged with a different person, but the evaluation does not record the client."};
    }

    void verdictsNameTheMainClient()
    {
        QFETCH(Verdict, c);
        const auto& [registry, id, verdict] = c;
        analyze({kMain, kDup, kThird}, {{1, 2, 3}}, registry);
        if (registry == QLatin1String("<edited>"))
            run("UPDATE tblRecordOutcomes SET Outcome = 'stranger_merge', ClientID = NULL WHERE ID = ?", {id});
        QCOMPARE(explain::verdict(explain::outcomesOf({id}).front()), verdict);
    }

    void differingFieldsAreMarked()
    {
        deck({kMain, kDup, kThird}, {{1, 2, 3}});
        registryRow("100", QStringLiteral("N"), kMain);
        Person kept = kDup;
        kept.maiden = QStringLiteral("JONES");
        registryRow("200", QStringLiteral("N"), kept);
        clsAnalyzeResults().Analyze_IIS_LOAD();
        QCOMPARE(explain::outcomesOf({1}).front().differs, QStringList());
        QCOMPARE(explain::outcomesOf({2}).front().differs, (QStringList{"LastName", "FirstName", "DOB", "MomMaiden"}));

        StyledExplanationModel model(2);
        const int first = fieldColumn(model, "FirstName"), sex = fieldColumn(model, "Sex"), maiden = fieldColumn(model, "MomMaiden");
        // Rows: record 1, its registry row, record 2 (this), its registry row, record 3.
        QCOMPARE(model.rowCount(), 5);
        auto marked = [&](int row, int column) {
            const QModelIndex cell = model.index(row, column);
            const bool bold = cell.data(Qt::FontRole).value<QFont>().bold();
            // Colour never comes alone.
            return bold == cell.data(Qt::BackgroundRole).isValid() ? bold : throw std::logic_error("colour without bold");
        };
        QVERIFY(!marked(0, first) && !marked(1, first));
        QVERIFY(marked(2, first) && !marked(2, sex) && marked(2, maiden));
        QVERIFY(marked(3, first) && !marked(3, maiden)); // the registry kept the main record's maiden name
        QVERIFY(model.index(2, fieldColumn(model, QStringLiteral("Row"))).data().toString().contains(QLatin1String("this")));
        QCOMPARE(model.verdictText(),
                 QStringLiteral("Kept as a separate client, 200, without a potential-duplicate flag; the group's main client is 100."));
        // Letter case and stray blanks never make a value differ.
        run("UPDATE DupTestData SET FirstName = ' mary Ann', LastName = 'o''brien ' WHERE ID = 3");
        QCOMPARE(explain::outcomesOf({3}).front().differs, QStringList());
    }

    void explainCommand_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("file"); // written into the output folder, or empty for standard output
        QTest::newRow("json of missed") << QStringList{"--format", "json", "missed"} << "";
        QTest::newRow("csv of ids into a folder, one repeated") << QStringList{"--format", "csv", "--output", "OUT", "12", "153", "12"}
                                                                << "OUT/explain.csv";
        QTest::newRow("text of ids") << QStringList{"376", "516"} << "";
    }

    void explainCommand()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, file);
        EvaluationRun::LoadAndAnalyze(sample("typical"));
        closeEvalDatabase();
        args.replaceInStrings(QStringLiteral("OUT"), s->db.folder() + QStringLiteral("/out"));
        file.replace(QLatin1String("OUT"), s->db.folder() + QStringLiteral("/out"));
        const BatchRun printed = runBatch(QStringList{"explain", "--database", s->db.path()} + args);
        QCOMPARE(printed.code, 0);
        openEvalDatabase(s->db.path());
        const QByteArray out = file.isEmpty() ? printed.out.toUtf8() : fileBytes(file);
        if (args.contains(QStringLiteral("json"))) {
            // The records of that outcome, and no other; the golden files hold every record's fields.
            QStringList ids;
            for (const QJsonValue r : jsonOf(out).value(QStringLiteral("records")).toArray())
                ids << QString::number(r["id"].toInteger());
            QCOMPARE(sorted(ids), sorted(rows("SELECT ID FROM tblRecordOutcomes WHERE Outcome = 'missed'")));
        } else if (args.contains(QStringLiteral("csv"))) {
            const QList<QByteArray> lines = out.trimmed().split('\n');
            QCOMPARE(lines.size(), 3);
            QCOMPARE(lines[0].trimmed(), QByteArray("id,group,problem,outcome,attempt,client,flag,differs"));
            QVERIFY(lines[1].startsWith("12,") && lines[2].startsWith("153,"));
        } else {
            // The window's verdict, word for word.
            const std::vector<RecordOutcome> asked = explain::outcomesOf({376, 516});
            QCOMPARE(asked.size(), size_t(2));
            for (const RecordOutcome& r : asked)
                QVERIFY(QString::fromUtf8(out).contains(explain::verdict(r)));
        }
    }

};

QTEST_GUILESS_MAIN(TestExplain)
#include "test_explain.moc"
