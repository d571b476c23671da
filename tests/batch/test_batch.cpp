#include "PdfText.h"
#include "Suite.h"
#include "analysis/ProblemCode.h"
#include "database/EvalDatabase.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QScopeGuard>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

const bool kRoot = ::geteuid() == 0;

// Runs a batch program; as root, optionally as the unprivileged user "nobody", whom file modes bind.
BatchRun batch(const QStringList& args, const QString& program = kBatchProgram, bool asNobody = false,
               const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment())
{
    if (asNobody && kRoot)
        return runBatch(QStringList{"--reuid=65534", "--regid=65534", "--clear-groups", program} + args, "setpriv", env);
    return runBatch(args, program, env);
}

// A folder everyone may write, as a shared install's users need.
QString sharedFolder(const QTemporaryDir& dir, const QString& name)
{
    const QString path = dir.filePath(name);
    QDir().mkpath(path);
    QFile::setPermissions(dir.path(), QFileDevice::Permissions(0x7777));
    QFile::setPermissions(path, QFileDevice::Permissions(0x7777));
    return path;
}

} // namespace

class TestBatch : public QObject {
    Q_OBJECT
private slots:
    // Each test has its own database file.
    void init() { QVERIFY(dir.isValid()); database = dir.filePath(QStringLiteral("eval%1.db").arg(++serial)); }

    void exitCodes_data()
    {
        // A command line (DB: the test's database; FILE: a file of the contents, none when they are null),
        // its exit code and what it says (its start, or all of it when that ends in a line end).
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("error");
        auto usage = [](const char* name, const QStringList& args) {
            QTest::newRow(name) << args << QByteArray() << 2 << "marrowick-batch: ";
        };
        usage("nothing", {});
        usage("unknown command", {"frobnicate"});
        usage("no file", {"evaluate"});
        usage("file and reuse", {"evaluate", "--reuse", "x.txt"});
        usage("two files", {"evaluate", "a.txt", "b.txt"});
        usage("unknown option", {"evaluate", "--fast", "a.txt"});
        usage("database without value", {"evaluate", "--database"});
        usage("report index out of range", {"report", "8"});
        usage("report without index", {"report"});
        usage("report format", {"report", "--format", "xml", "all"});
        usage("deck format", {"deck", "--format", "xml"});
        usage("deck processing id", {"deck", "--processing-id", "D"});
        usage("explain without selection", {"explain"});
        usage("explain selection mixed with ids", {"explain", "12", "all"});
        usage("explain format", {"explain", "--format", "xml", "all"});
        usage("a negative number outside compare", {"explain", "-1"});
        usage("explain record zero", {"explain", "0"});
        usage("explain a record with a blank", {"explain", " 12"});
        usage("compare a run with a blank", {"compare", " 1", "-1"});
        usage("compare a run with a plus", {"compare", "+1", "-1"});
        usage("history with an argument", {"history", "1"});
        usage("rebuild outside evaluate", {"report", "--rebuild-database", "0"});
        usage("compare one run", {"compare", "-1"});
        usage("compare run zero", {"compare", "0", "-1"});
        usage("compare a word", {"compare", "-1", "newest"});
        usage("fail-below not a number", {"evaluate", "--fail-below", "90,high", "a.txt"});
        usage("fail-below beyond 100", {"evaluate", "--fail-below", "90,100.5", "a.txt"});
        // The registry's commands: a command line they cannot follow is refused before anything is sent.
        const QString mllp = QStringLiteral("mllp://127.0.0.1:9");
        usage("send without an endpoint", {"send"});
        usage("send to an endpoint of no known kind", {"send", "--endpoint", "ftp://127.0.0.1/"});
        usage("send at no rate", {"send", "--endpoint", mllp, "--rate", "0"});
        usage("send with a certificate but no key", {"send", "--endpoint", mllp, "--cert", "c.pem"});
        usage("send with a word", {"send", "--endpoint", mllp, "all"});
        usage("fetch with a flag field that names nothing", {"fetch", "--endpoint", mllp, "--flag-field", "flag"});
        usage("roundtrip waiting back in time", {"roundtrip", "--endpoint", mllp, "--wait", "-1"});
        usage("evaluate after a send", {"send", "--endpoint", mllp, "--evaluate"});
        // A refused results file exits 1: the file's fault.
        const QStringList load{"evaluate", "--database", "DB", "FILE"};
        QTest::newRow("field count") << load << QByteArray("1,N,A,B\r\n") << 1
                                     << "Data Format Error: 4 field(s) found in the data. Please verify that the file is in comma "
                                        "delimited format and all 15 fields required for processing have been included.\n";
        QTest::newRow("invalid record") << load << QByteArray("1,y,A,B,,,20200101,M,,,,,08,20200101,MSD\r\n") << 1
                                        << "Invalid Results File: Record number 1 has the following errors:\n\nInvalid questionable "
                                           "match (potential duplicate) flag.\n";
        QTest::newRow("missing file") << load << QByteArray() << 1 << "Error: Error reading results file.";
        // Nor does any command that reads an evaluation find scores where there is none.
        const QString noEvaluation = "File Name Missing: Please specify the file name for the results file.\n";
        for (const QStringList& args :
             {QStringList{"evaluate", "--reuse"}, {"report", "0"}, {"explain", "1"}, {"compare", "1", "1"}})
            QTest::newRow(qPrintable(args.join(' ')))
                << QStringList{args.first(), "--database", "DB"} + args.mid(1) << QByteArray() << 1 << noEvaluation;
    }

    void exitCodes()
    {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, contents);
        QFETCH(int, code);
        QFETCH(QString, error);
        const QString file = dir.filePath(QStringLiteral("bad.txt"));
        QFile::remove(file);
        QVERIFY(contents.isNull() || writeBytes(file, contents));
        args.replaceInStrings(QStringLiteral("DB"), database).replaceInStrings(QStringLiteral("FILE"), file);
        const BatchRun r = batch(args);
        QCOMPARE(r.code, code);
        QVERIFY2(error.endsWith('\n') ? r.err == error : r.err.startsWith(error), qPrintable(r.err));
        QVERIFY2(code != 2 || r.err.contains("--help"), qPrintable(r.err));
    }

    void strictCompletenessWarning()
    {
        // A tenth of a sample: far fewer than 80 percent of the test records.
        const QString partial = dir.filePath(QStringLiteral("partial.txt"));
        QVERIFY(writeBytes(partial, fileBytes(sample("none")).split('\n').mid(0, 55).join('\n') + '\n'));
        const QString warning = QStringLiteral("Warning: More than 20 percent of the records are missing. Please verify the data is complete.\n");
        for (const auto& [args, code] : {std::pair{QStringList{partial}, 0}, {QStringList{"--strict", partial}, 4}}) {
            const BatchRun r = evaluate(args);
            QCOMPARE(r.code, code);
            QCOMPARE(r.err, warning);
        }
        // Code 4 wins over 5, and both faults are told.
        const BatchRun r = evaluate({"--strict", "--fail-below", "100,100", partial});
        QCOMPARE(r.code, 4);
        QVERIFY2(r.err.startsWith(warning) && r.err.count("Below Threshold: ") == 2, qPrintable(r.err));
    }

    void unusableDatabaseExitsWithThree()
    {
        QVERIFY(writeBytes(database, QByteArray("not a database\n").repeated(100)));
        QVERIFY(setFileReadOnly(database, true));
        const auto mode = QFile::permissions(database);
        const BatchRun r = report({"0"});
        QCOMPARE(r.code, 3);
        QVERIFY2(r.err.startsWith("Database Error: The database file "), qPrintable(r.err));
        // Never overwritten without consent, nor even made writable.
        QVERIFY(fileBytes(database).startsWith("not a database"));
        QCOMPARE(QFile::permissions(database), mode);
        // A script that asks for it gets a new database, and the old file is kept.
        const BatchRun rebuilt = evaluate({"--rebuild-database", sample("perfect")});
        QCOMPARE(rebuilt.code, 0);
        QVERIFY2(rebuilt.err.startsWith("Database Rebuilt: "), qPrintable(rebuilt.err));
        QVERIFY(fileBytes(database + QStringLiteral(".bak")).startsWith("not a database"));
        // Another deck's database: the commands that read refuse it and leave it be; an evaluation replaces it.
        QVERIFY(onDatabase(database, [] { run("PRAGMA user_version = 1"); }));
        const QByteArray other = fileBytes(database);
        for (const QStringList& args : {QStringList{"history"}, {"report", "0"}, {"explain", "1"}, {"compare", "1", "1"}}) {
            const BatchRun refused = batch(QStringList{args.first(), "--database", database} + args.mid(1));
            QVERIFY2(refused.code == 3 && refused.err.contains("another version of Marrowick. Nothing has been changed"),
                     qPrintable(refused.err));
        }
        QCOMPARE(fileBytes(database), other);
        QVERIFY(!QFile::exists(database + QStringLiteral(".2.bak")));
        QVERIFY(evaluate({sample("perfect")}).err.startsWith("New Test Data: "));
        // A folder named as the database is refused and left as it was.
        const auto before = QFile::permissions(dir.path());
        const BatchRun folder = batch({"report", "--database", dir.path(), "0"});
        QCOMPARE(folder.code, 3);
        QVERIFY2(folder.err.contains("it is not a file"), qPrintable(folder.err));
        QCOMPARE(QFile::permissions(dir.path()), before);
    }

    void databaseFaultsExitWithThree_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("message");
        QTest::newRow("another copy of the program") << "instance" << "in use by another copy of Marrowick";
        QTest::newRow("another program's lock") << "locked" << "in use by another program";
        QTest::newRow("read-only to this user") << "read-only" << "The database file cannot be written";
        QTest::newRow("disk full") << "full" << "The disk is full";
    }

    // A fault of the database exits 3, never 1 (the file's fault), and leaves the
    // previous evaluation whole.
    void databaseFaultsExitWithThree()
    {
        QFETCH(QString, fault);
        QFETCH(QString, message);
        const bool readOnly = fault == QLatin1String("read-only"), full = fault == QLatin1String("full");
        if ((readOnly || full) && !kRoot)
            QSKIP("needs root: file modes do not bind a file's owner, and a small disk needs a mount");
        const QString folder = sharedFolder(dir, QStringLiteral("fault%1").arg(serial));
        database = folder + QStringLiteral("/eval.db");
        const QString mount = folder + QStringLiteral("/small");
        if (full) {
            // Just room for the database: the load cannot grow it.
            QDir().mkpath(mount);
            QVERIFY(QProcess::execute(QStringLiteral("mount"), {"-t", "tmpfs", "-o", "size=600k", "tmpfs", mount}) == 0);
            database = mount + QStringLiteral("/eval.db");
        }
        QCOMPARE(evaluate({sample("none")}).code, 0);
        if (full) {
            QFile filler(mount + QStringLiteral("/filler"));
            QVERIFY(filler.open(QIODevice::WriteOnly));
            while (filler.write(QByteArray(4096, 'x')) == 4096 && filler.flush()) {
            }
        }
        const QByteArray before = fileBytes(database);
        FakePlatform host;
        std::optional<ForeignLock> lock;
        if (fault == QLatin1String("instance"))
            openEvalDatabase(database);
        else if (fault == QLatin1String("locked"))
            QVERIFY(lock.emplace(database).held());
        else if (readOnly)
            QVERIFY(setFileReadOnly(database, true));
        const BatchRun r = batch({"evaluate", "--database", database, sample("typical")}, kBatchProgram, readOnly);
        QCOMPARE(r.code, 3);
        QVERIFY2(r.err.startsWith("Database Error: ") && r.err.contains(message), qPrintable(r.err));
        // The batch offers its own choice, not the window's buttons.
        QVERIFY2(!r.err.contains("INSERT") && !r.err.contains("Rebuild") && !r.err.contains("Retry"), qPrintable(r.err));
        QVERIFY2(readOnly || full || r.err.contains("Run the command again when the other "), qPrintable(r.err));
        lock.reset();
        closeEvalDatabase();
        QCOMPARE(fileBytes(database), before);
        if (full)
            QProcess::execute(QStringLiteral("umount"), {mount});
    }

    // A run after one that crashed takes its lock over, loads, and leaves the
    // file read-only for the next, which reuses the evaluation.
    void lockOfACrashedRunIsTakenOver()
    {
        QCOMPARE(evaluate({sample("none")}).code, 0);
        {
            // A run that holds the program's lock while it waits for another
            // program's, and is killed there.
            ForeignLock lock(database);
            QVERIFY(lock.held());
            QProcess crashing;
            crashing.start(kBatchProgram, {"evaluate", "--database", database, sample("typical")});
            QVERIFY(crashing.waitForStarted());
            // Written, not just created: a kill in between leaves a lock nobody can prove stale.
            QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(database + QStringLiteral(".lock")).size() > 0, 2500);
            crashing.kill();
            crashing.waitForFinished();
        }
        QVERIFY(QFile::exists(database + QStringLiteral(".lock")));
        const BatchRun r = evaluate({sample("perfect")});
        QVERIFY2(r.code == 0 && r.err.isEmpty(), qPrintable(r.err)); // not a terminal: no progress bar
        QVERIFY2(r.out.contains("550 rows loaded"), qPrintable(r.out));
        QVERIFY(!(QFile::permissions(database) & (QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther)));
        // The next run clears the mark and reuses the evaluation.
        const BatchRun again = evaluate({"--reuse"});
        QCOMPARE(again.code, 0);
        QVERIFY(again.out.contains("550 rows loaded"));
    }

    // A lock that names no process, or a time to come, is taken over after 5 s.
    void ownerlessLockIsTakenOver_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<int>("age");
        QTest::newRow("empty, a minute old") << QByteArray() << 60;
        QTest::newRow("no process, fresh: its writer may still be at work") << QByteArray("0\nmarrowick-batch\nhost\n") << 0;
        QTest::newRow("an hour to come") << QByteArray("garbage") << -3600;
    }

    void ownerlessLockIsTakenOver()
    {
        QFETCH(QByteArray, contents);
        QFETCH(int, age);
        const QString lock = database + QStringLiteral(".lock");
        QVERIFY(writeBytes(lock, contents));
        QFile file(lock);
        QVERIFY(file.open(QIODevice::ReadWrite)
                && file.setFileTime(QDateTime::currentDateTime().addSecs(-age), QFileDevice::FileModificationTime));
        file.close();
        QElapsedTimer waited;
        waited.start();
        const BatchRun r = evaluate({sample("perfect")});
        QVERIFY2(r.code == 0 && r.err.isEmpty(), qPrintable(r.err));
        QVERIFY(waited.elapsed() < 8000);
        QCOMPARE(waited.elapsed() >= 4500, age == 0);
    }

    // Installed where users cannot write, with a database another user left there:
    // each user works on a fresh copy of their own, and the shared one is untouched.
    void sharedInstallGivesEachUserACopy()
    {
        const QString program = sharedFolder(dir, QStringLiteral("install")) + QStringLiteral("/marrowick-batch");
        QVERIFY(QFile::copy(kBatchProgram, program));
        QCOMPARE(batch({"evaluate", sample("perfect")}, program).code, 0);
        const QString shared = QFileInfo(program).path() + QStringLiteral("/DupTestDataFin.db");
        QVERIFY(QFile::exists(shared));
        const QByteArray before = fileBytes(shared);
        QVERIFY(QFile::setPermissions(QFileInfo(program).path(), QFileDevice::Permissions(0x5555)));

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        const QString home = sharedFolder(dir, QStringLiteral("home"));
        env.insert(QStringLiteral("HOME"), home);
        env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/data"));
        const BatchRun r = batch({"evaluate", sample("typical")}, program, true, env);
        QVERIFY(QFile::setPermissions(QFileInfo(program).path(), QFileDevice::Permissions(0x7777)));
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QVERIFY2(r.out.contains("rows loaded"), qPrintable(r.out));
        QCOMPARE(fileBytes(shared), before);
        QVERIFY(QFile::exists(home + QStringLiteral("/data/Marrowick/Marrowick/DupTestDataFin.db")));
    }

    // Printed as the viewer prints it; the golden files hold the bytes of every text, csv and json report.
    void reportsInEveryForm()
    {
        QCOMPARE(evaluate({sample("typical")}).code, 0);
        const QString out = dir.filePath(QStringLiteral("out"));
        QCOMPARE(report({"--pdf", out, "0", "7"}).code, 0);
        QVERIFY(pdfPages(out + "/rptOverall.pdf").join(' ').contains("Overall Score for Duplicate Record Detection"));
        QVERIFY(pdfPages(out + "/rptAllDupsList.pdf").value(0).contains(QRegularExpression("page\\s+1\\s+of")));

        // A refill that fails: its message, and exit code 3.
        QVERIFY(onDatabase(database, [] { run("DELETE FROM DupTestData WHERE " + problem::isDuplicate()); }));
        const BatchRun r = report({"0"});
        QCOMPARE(r.code, 3);
        QCOMPARE(r.err, QStringLiteral("Error: Error occurred in RefillOverallResults: 11 Division by zero\n"));
    }

    // A results file's name can neither run in a spreadsheet nor break a text table.
    void fileNamesStayText()
    {
        const QString file = dir.filePath(QStringLiteral("=HYPERLINK(1)\nx.txt"));
        QVERIFY(QFile::copy(sample("perfect"), file));
        QCOMPARE(evaluate({file}).code, 0);
        QCOMPARE(csvRecords(batch({"history", "--database", database, "--format", "csv"}).out.toUtf8()).value(1).value(2),
                 QStringLiteral("'=HYPERLINK(1)\nx.txt"));
        const QString text = batch({"history", "--database", database}).out;
        QVERIFY2(text.count('\n') == 3 && text.contains("=HYPERLINK(1)\\nx.txt"), qPrintable(text));
    }

    // Unknown records are named, before anything is printed; a folder named
    // like a run counted back is a folder, after one dash too.
    void argumentsAsWritten()
    {
        QCOMPARE(evaluate({sample("perfect")}).code, 0);
        const BatchRun r = batch({"explain", "--database", database, "216", "999", "998"});
        QCOMPARE(r.code, 3);
        QCOMPARE(r.out, QString());
        QCOMPARE(r.err, QStringLiteral("Error: Not test records of the last evaluation: 999, 998.\n"));
        const QString script = QStringLiteral("cd \"$0\" && exec \"$1\" compare --database \"$2\" -output -1 1 -1");
        QCOMPARE(batch({"-c", script, dir.path(), kBatchProgram, database}, "sh").code, 0);
        QVERIFY(QFile::exists(dir.filePath(QStringLiteral("-1/compare.txt"))));
    }

    void outputTargets_data()
    {
        // A command, OUT standing for its output folder, and the file it writes there ("": standard output).
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("file");
        QTest::newRow("evaluate") << QStringList{"evaluate", "--reuse"} << "";
        QTest::newRow("report text") << QStringList{"report", "0"} << "";
        QTest::newRow("report csv") << QStringList{"report", "--format", "csv", "--output", "OUT", "0"} << "rptOverall.csv";
        QTest::newRow("report pdf") << QStringList{"report", "--pdf", "OUT", "0"} << "rptOverall.pdf";
        QTest::newRow("report pdf=") << QStringList{"report", "--pdf=OUT", "0"} << "rptOverall.pdf";
        QTest::newRow("explain") << QStringList{"explain", "--output", "OUT", "216"} << "explain.txt";
        QTest::newRow("history") << QStringList{"history"} << "";
        QTest::newRow("compare") << QStringList{"compare", "--format", "json", "--output", "OUT", "1", "-1"} << "compare.json";
        QTest::newRow("deck") << QStringList{"deck", "--output", "OUT/deck.hl7", "--format", "hl7"} << "deck.hl7";
        QTest::newRow("deck to standard output") << QStringList{"deck"} << "";
    }

    // A device is written where it stands, never replaced by a file; a full one
    // fails with its cause; anything else is refused; a full disk leaves the old file whole.
    void outputTargets()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, file);
        QCOMPARE(evaluate({sample("perfect")}).code, 0);
        const QString out = dir.filePath(QStringLiteral("out%1").arg(serial)), target = out + '/' + file;
        QStringList command{args.first()};
        if (args.first() != QLatin1String("deck"))
            command << "--database" << database;
        for (QString word : args.mid(1))
            command << word.replace(QStringLiteral("OUT"), out);
        auto refused = [&](const QString& cause) {
            const BatchRun r = file.isEmpty() ? batch(QStringList{"-c", "exec \"$0\" \"$@\" >/dev/full", kBatchProgram} + command, "sh")
                                              : batch(command);
            return r.code == 3 && r.err.startsWith("Error: ") && r.err.endsWith(": " + cause + '\n');
        };
        // As root, a scratch node: a fault must never get to replace the system's own device.
        auto device = [&](int minor) { return ::mknod(QFile::encodeName(target).constData(), S_IFCHR | 0666, makedev(1, minor)) == 0; };
        auto isDevice = [&] {
            struct stat node {};
            return ::stat(QFile::encodeName(target).constData(), &node) == 0 && S_ISCHR(node.st_mode);
        };
        QVERIFY(QDir().mkpath(out));
        QVERIFY(file.isEmpty() || (kRoot ? device(7) : QFile::link(QStringLiteral("/dev/full"), target)));
        QVERIFY(refused(QStringLiteral("The disk is full.")));
        if (file.isEmpty())
            return;
        QVERIFY(isDevice() && QFile::remove(target) && QDir().mkpath(target));
        QVERIFY(refused(QStringLiteral("It is not a file, a character device or a pipe.")));
        if (!kRoot)
            QSKIP("needs root: a device node and a small disk");
        QVERIFY(QDir(target).removeRecursively() && device(3)); // as /dev/null
        QCOMPARE(batch(command).code, 0);
        QVERIFY(isDevice() && QFile::remove(target));
        QVERIFY(QProcess::execute(QStringLiteral("mount"), {"-t", "tmpfs", "-o", "size=64k", "tmpfs", out}) == 0);
        const auto unmount = qScopeGuard([&] { QProcess::execute(QStringLiteral("umount"), {out}); });
        QVERIFY(writeBytes(target, "old") && writeBytes(out + "/filler", QByteArray(60 * 1024, 'x')));
        QVERIFY(refused(QStringLiteral("The disk is full.")));
        QCOMPARE(fileBytes(target), QByteArray("old"));
        QCOMPARE(sorted(QDir(out).entryList(QDir::Files | QDir::Hidden | QDir::System)), sorted({"filler", file}));
    }

    // A file this user may not write is not replaced either, though its folder may be written.
    void readOnlyFileIsNotReplaced()
    {
        if (!kRoot)
            QSKIP("needs root: file modes do not bind a file's owner");
        const QString target = sharedFolder(dir, QStringLiteral("shared")) + QStringLiteral("/deck.txt");
        QVERIFY(writeBytes(target, "old") && QFile::setPermissions(target, QFileDevice::ReadOwner | QFileDevice::ReadOther));
        const BatchRun r = batch({"deck", "--output", target}, kBatchProgram, true);
        QVERIFY2(r.code == 3 && r.err.endsWith(": Permission denied.\n"), qPrintable(r.err));
        QCOMPARE(fileBytes(target), QByteArray("old"));
    }

    // Every completed evaluation is listed, with the time it was made; the golden
    // files hold the rest of the history and of compare, which needs runs that are there.
    void historyKeepsRunsAndCompareNamesTheChanges()
    {
        for (const QString& file : {sample("typical"), sample("aggressive")}) {
            QCOMPARE(evaluate({file}).code, 0);
            // Neither a reuse nor a refused file adds a run.
            QCOMPARE(evaluate({"--reuse"}).code, 0);
            QCOMPARE(evaluate({dir.filePath("missing.txt")}).code, 1);
        }
        const QJsonArray runs = json({"history"})["runs"].toArray();
        QCOMPARE(runs.size(), 2);
        for (const QJsonValue saved : runs) {
            const QString time = saved["time"].toString();
            QVERIFY(time.endsWith('Z') && qAbs(QDateTime::fromString(time, Qt::ISODate).secsTo(QDateTime::currentDateTimeUtc())) < 120);
        }
        const BatchRun csv = batch({"history", "--database", database, "--format", "csv"});
        QVERIFY(csv.out.startsWith("run,time,file,size,sha256,rows,deck,sensitivity,specificity\r\n1,") && csv.out.count("\r\n") == 3);
        QVERIFY(batch({"history", "--database", database}).out.contains(shownScores()["sensitivity"] + " ("));

        // A well-formed run that is not there: an error, not a usage fault.
        for (const auto& [a, b, missing] : {std::tuple{"1", "3", "3"}, {"-3", "-1", "-3"}}) {
            const BatchRun r = batch({"compare", "--database", database, a, b});
            QVERIFY2(r.code == 3 && r.err.startsWith(QStringLiteral("Error: There is no run %1;").arg(missing)), qPrintable(r.err));
        }
    }

    void failBelowThresholds_data()
    {
        // Each threshold as an offset from its score (sensitivity, specificity); the scores named as too low.
        QTest::addColumn<QList<double>>("offsets");
        QTest::addColumn<QStringList>("below");
        QTest::newRow("at both scores") << QList<double>{0.0, 0.0} << QStringList{};
        QTest::newRow("sensitivity a hundredth above") << QList<double>{0.01, -100.0} << QStringList{"sensitivity"};
        QTest::newRow("specificity a hundredth above") << QList<double>{-0.01, 0.01} << QStringList{"specificity"};
        QTest::newRow("both above") << QList<double>{5.0, 1.0} << QStringList{"sensitivity", "specificity"};
    }

    // A new evaluation and a reused one are held to the thresholds alike; a
    // failing evaluation is still kept, a reuse never.
    void failBelowThresholds()
    {
        QFETCH(QList<double>, offsets);
        QFETCH(QStringList, below);
        QCOMPARE(evaluate({sample("typical")}).code, 0);
        const QHash<QString, QString> scores = shownScores();
        QString messages;
        QStringList thresholds;
        for (const QString name : {"sensitivity", "specificity"}) {
            const double score = scores[name].chopped(2).toDouble();
            thresholds << QString::number(std::clamp(std::round((score + offsets[thresholds.size()]) * 100) / 100, 0.0, 100.0));
            if (below.contains(name))
                messages += QStringLiteral("Below Threshold: Overall %1 is %2, below the threshold of %3 %.\n")
                                .arg(name, scores[name], thresholds.last());
        }
        for (const QStringList& args : {QStringList{"--reuse"}, QStringList{sample("typical")}}) {
            const BatchRun r = evaluate(QStringList{"--fail-below", thresholds.join(',')} + args);
            QVERIFY2(r.code == (below.isEmpty() ? 0 : 5) && r.err == messages, qPrintable(r.err));
        }
        QCOMPARE(json({"history"})["runs"].toArray().size(), 2);
    }

private:
    BatchRun evaluate(const QStringList& args) { return batch(QStringList{"evaluate", "--database", database} + args); }
    BatchRun report(const QStringList& args) { return batch(QStringList{"report", "--database", database} + args); }
    QJsonObject json(const QStringList& args)
    {
        const BatchRun r = batch(QStringList{args.first(), "--database", database, "--format", "json"} + args.mid(1));
        return r.code == 0 ? jsonOf(r.out.toUtf8()) : QJsonObject{{"failed", r.err}};
    }
    // The scores of the evaluation in the database as the reports show them, under the names history gives them.
    QHash<QString, QString> shownScores()
    {
        QHash<QString, QString> scores;
        onDatabase(database, [&] {
            for (const QString& row : refillSummaries() ? reportedScores() : QStringList())
                scores.insert(row.section('|', 0, 0), row.section('|', -1));
        });
        return scores;
    }

    QTemporaryDir dir;
    QString database;
    int serial = 0;
};

QTEST_GUILESS_MAIN(TestBatch)
#include "test_batch.moc"
