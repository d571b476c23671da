// Every completed evaluation kept, with intervals that can be trusted, and
// runs compared.
#include "Suite.h"
#include "analysis/EvaluationRun.h"
#include "database/EvalDatabase.h"
#include "database/Schema.h"
#include "history/RunHistory.h"

#include <QCryptographicHash>
#include <QFileInfo>

class TestHistory : public SessionTest {
    Q_OBJECT
private slots:

    void wilsonIntervals_data()
    {
        // Successes, trials, and the interval in percent: the roots of
        // (p - s/n)^2 = z^2 p (1 - p) / n, solved as a quadratic.
        QTest::addColumn<QList<double>>("c");
        QTest::newRow("0/10") << QList<double>{0, 10, 0.0, 27.75};
        QTest::newRow("10/10") << QList<double>{10, 10, 72.25, 100.0};
        QTest::newRow("7/11") << QList<double>{7, 11, 35.38, 84.83};
        QTest::newRow("250/266") << QList<double>{250, 266, 90.45, 96.26};
        QTest::newRow("no trials") << QList<double>{0, 0, 0.0, 0.0};
    }
    void wilsonIntervals()
    {
        QFETCH(QList<double>, c);
        const Interval computed = wilsonInterval(qint64(c[0]), qint64(c[1]));
        QCOMPARE((QList<double>{computed.low, computed.high}), c.mid(2));
    }

    // A run is saved with the evaluation, in its unit of work: never for a refused file or a failure.
    void savedOnlyWhenCompletedAndCompared()
    {
        const QString typical = sample(QStringLiteral("typical"));
        const QDateTime started = QDateTime::currentDateTimeUtc();
        EvaluationRun::LoadAndAnalyze(typical);
        // Kept to the second.
        const QDateTime saved = history::savedRuns().front().time;
        QVERIFY(saved.secsTo(started) <= 0 && saved <= QDateTime::currentDateTimeUtc());
        // Its fields are held by the golden files of the history command.
        QCOMPARE(countRows(QStringLiteral("tblRunOutcomes")), countRows(QStringLiteral("DupTestData")));

        const QStringList before = snapshot({"tblRuns", "tblRunFigures", "tblRunOutcomes"});
        const QString bad = s->db.writeFile(QStringLiteral("bad.txt"), "not,a,results,file\n");
        QVERIFY_THROWS_EXCEPTION(FileRefused, EvaluationRun::LoadAndAnalyze(bad));
        QVERIFY_THROWS_EXCEPTION(DbError, EvaluationRun::LoadAndAnalyze(typical, [] { throw DbError(DbError::General, "stop"); }));
        QCOMPARE(snapshot({"tblRuns", "tblRunFigures", "tblRunOutcomes"}), before);

        EvaluationRun::LoadAndAnalyze(sample(QStringLiteral("aggressive")));
        QCOMPARE(history::savedRuns().size(), size_t(2));
        QCOMPARE((QList<std::optional<qint64>>{history::resolveRun(-1), history::resolveRun(-2), history::resolveRun(-3),
                                               history::resolveRun(2), history::resolveRun(3), history::resolveRun(0)}),
                 (QList<std::optional<qint64>>{2, 1, std::nullopt, 2, std::nullopt, std::nullopt}));

        // The golden files of compare hold the records and figures of two runs; each change of a
        // figure is judged against both intervals: 9 of 10 against 5 of 10 lies outside both
        // intervals; against 7 of 10 inside the first.
        auto change = [](qint64 from, qint64 to) { return FigureChange{{"x", "", 0, {from, 10}}, {"x", "", 0, {to, 10}}}; };
        QVERIFY(change(9, 5).beyondIntervals() && !change(9, 7).beyondIntervals() && !change(9, 9).changed());
        QVERIFY((Interval{10, 20}.contains(10) && Interval{10, 20}.contains(20))); // its ends belong to it
        QVERIFY(history::compareRuns(2, 2).changed.empty());
    }

    // The run keeps the size and hash of the bytes that were loaded, even
    // when the file changes before the run is saved.
    void savedRunDescribesTheBytesLoaded()
    {
        const QByteArray loaded = sourceBytes(QStringLiteral("samples/results-typical.txt"));
        const QString file = s->db.writeFile(QStringLiteral("results.txt"), loaded);
        EvaluationRun::LoadAndAnalyze(file, [&] { s->db.writeFile(QStringLiteral("results.txt"), "changed\n"); });
        const std::optional<SavedRun> saved = history::savedRun(1);
        QVERIFY(saved);
        QCOMPARE(saved->size, loaded.size());
        QCOMPARE(saved->sha256, QString::fromLatin1(QCryptographicHash::hash(loaded, QCryptographicHash::Sha256).toHex()));
    }

    void damagedRunsAreLeftOut_data()
    {
        QTest::addColumn<QString>("damage"); // a statement on run 1 of two
        QTest::addColumn<QString>("cause");
        QTest::newRow("more successes than trials") << "UPDATE tblRunFigures SET Successes = Trials + 1 WHERE RunID = 1 AND Position = 0"
                                                    << "sensitivity counts ";
        QTest::newRow("negative successes") << "UPDATE tblRunFigures SET Successes = -1 WHERE RunID = 1 AND Position = 1"
                                            << "specificity counts -1 successes";
        QTest::newRow("no trials") << "UPDATE tblRunFigures SET Trials = NULL WHERE RunID = 1" << "a value it needs is missing";
        QTest::newRow("no time") << "UPDATE tblRuns SET RunTime = NULL WHERE RunID = 1" << "a value it needs is missing";
        QTest::newRow("score beyond 100") << "UPDATE tblRuns SET Sensitivity = 200 WHERE RunID = 1" << "are not both percentages";
    }

    // A run edited by hand is named with its cause, and never shown as a score.
    void damagedRunsAreLeftOut()
    {
        QFETCH(QString, damage);
        QFETCH(QString, cause);
        for (int k = 0; k < 2; ++k)
            EvaluationRun::LoadAndAnalyze(sample(QStringLiteral("perfect")));
        run(damage);
        QCOMPARE(history::damagedRuns().size(), size_t(1));
        QVERIFY2(history::runDamage(1).value_or(QString()).contains(cause), qPrintable(history::runDamage(1).value_or("none")));
        QCOMPARE(history::savedRuns().size(), size_t(1));
        QCOMPARE(history::trend().size(), size_t(1));
        QCOMPARE(history::trend().front().run, 2);
        QVERIFY_THROWS_EXCEPTION(DbError, history::savedRun(1));
        QVERIFY_THROWS_EXCEPTION(DbError, history::compareRuns(1, 2));
    }

    // A database of an earlier version opens and gains every added table empty.
    void earlierDatabaseGainsTheTablesEmpty()
    {
        EvaluationRun::LoadAndAnalyze(sample(QStringLiteral("typical")));
        const qint64 loaded = countRows(QStringLiteral("IIS_LOADED_CHILD_ALL"));
        for (const TableDef& table : addedTables())
            run(QStringLiteral("DROP TABLE %1").arg(QLatin1String(table.name)));
        closeEvalDatabase();
        openEvalDatabase(s->db.path());
        QVERIFY(s->host.takeShown().isEmpty() && !QFileInfo::exists(s->db.path() + QStringLiteral(".bak")));
        for (const TableDef& table : addedTables())
            QCOMPARE(countRows(QLatin1String(table.name)), 0);
        QCOMPARE(countRows(QStringLiteral("IIS_LOADED_CHILD_ALL")), loaded);
        EvaluationRun::LoadAndAnalyze(sample(QStringLiteral("typical")));
        QCOMPARE(history::savedRuns().size(), size_t(1));
    }
};

QTEST_GUILESS_MAIN(TestHistory)
#include "test_history.moc"
