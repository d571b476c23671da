#include "PdfText.h"
#include "Suite.h"
#include "database/EvalDatabase.h"
#include "history/Scores.h"
#include "reports/ReportCatalogue.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSqlRecord>
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

    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("nothing") << QStringList{};
        QTest::newRow("unknown command") << QStringList{"frobnicate"};
        QTest::newRow("no file") << QStringList{"evaluate"};
        QTest::newRow("file and reuse") << QStringList{"evaluate", "--reuse", "x.txt"};
        QTest::newRow("two files") << QStringList{"evaluate", "a.txt", "b.txt"};
        QTest::newRow("unknown option") << QStringList{"evaluate", "--fast", "a.txt"};
        QTest::newRow("database without value") << QStringList{"evaluate", "--database"};
        QTest::newRow("report index out of range") << QStringList{"report", "8"};
        QTest::newRow("report without index") << QStringList{"report"};
        QTest::newRow("report format") << QStringList{"report", "--format", "xml", "all"};
        QTest::newRow("deck format") << QStringList{"deck", "--format", "xml"};
        QTest::newRow("deck processing id") << QStringList{"deck", "--processing-id", "D"};
        QTest::newRow("explain without selection") << QStringList{"explain"};
        QTest::newRow("explain selection mixed with ids") << QStringList{"explain", "12", "all"};
        QTest::newRow("explain format") << QStringList{"explain", "--format", "xml", "all"};
        QTest::newRow("a negative number outside compare") << QStringList{"explain", "-1"};
        QTest::newRow("explain record zero") << QStringList{"explain", "0"};
        QTest::newRow("explain a record with a blank") << QStringList{"explain", " 12"};
        QTest::newRow("compare a run with a blank") << QStringList{"compare", " 1", "-1"};
        QTest::newRow("compare a run with a plus") << QStringList{"compare", "+1", "-1"};
        QTest::newRow("history with an argument") << QStringList{"history", "1"};
        QTest::newRow("rebuild outside evaluate") << QStringList{"report", "--rebuild-database", "0"};
        QTest::newRow("compare one run") << QStringList{"compare", "-1"};
        QTest::newRow("compare run zero") << QStringList{"compare", "0", "-1"};
        QTest::newRow("compare a word") << QStringList{"compare", "-1", "newest"};
        QTest::newRow("fail-below not a number") << QStringList{"evaluate", "--fail-below", "90,high", "a.txt"};
        QTest::newRow("fail-below beyond 100") << QStringList{"evaluate", "--fail-below", "90,100.5", "a.txt"};
    }

    void usageErrors()
    {
        QFETCH(QStringList, args);
        const BatchRun r = batch(args);
        QCOMPARE(r.code, 2);
        QVERIFY2(r.err.startsWith("marrowick-batch: ") && r.err.contains("--help"), qPrintable(r.err));
    }

    void refusedFilesExitWithOne_data()
    {
        // The file's contents ("<missing>": no file; "<command ...>": that command on a new database),
        // and what the batch says (its start, without a line end); breaks become LF.
        QTest::addColumn<QString>("contents");
        QTest::addColumn<QString>("error");
        QTest::newRow("field count") << "1,N,A,B\r\n"
                                     << "Data Format Error: 4 field(s) found in the data. Please verify that the file is in comma "
                                        "delimited format and all 15 fields required for processing have been included.\n";
        QTest::newRow("invalid record") << "1,y,A,B,,,20200101,M,,,,,08,20200101,MSD\r\n"
                                        << "Invalid Results File: Record number 1 has the following errors:\n\nInvalid questionable "
                                           "match (potential duplicate) flag.\n";
        QTest::newRow("missing file") << "<missing>" << "Error: Error reading results file.";
        // Nor does any command that reads an evaluation find scores where there is none.
        for (const char* command : {"<evaluate --reuse>", "<report 0>", "<explain 1>", "<compare 1 1>"})
            QTest::newRow(command) << command << "File Name Missing: Please specify the file name for the results file.\n";
    }

    void refusedFilesExitWithOne()
    {
        QFETCH(QString, contents);
        QFETCH(QString, error);
        const QString file = dir.filePath(QStringLiteral("bad.txt"));
        QFile::remove(file);
        if (!contents.startsWith(QLatin1Char('<')))
            QVERIFY(writeBytes(file, contents.toUtf8()));
        const QStringList words = contents.mid(1).chopped(1).split(' ');
        const BatchRun r = contents.startsWith(QLatin1Char('<')) && contents != QLatin1String("<missing>")
            ? batch(QStringList{words.first(), "--database", database} + words.mid(1))
            : evaluate({file});
        QCOMPARE(r.code, 1);
        QVERIFY2(error.endsWith('\n') ? r.err == error : r.err.startsWith(error), qPrintable(r.err));
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

    void reportsInEveryForm()
    {
        QCOMPARE(evaluate({sample("typical")}).code, 0);
        // As text: every report under its title, each shown column under its caption.
        BatchRun r = report({"all"});
        QCOMPARE(r.code, 0);
        for (const ReportDef& report : reportCatalogue()) {
            QVERIFY2(r.out.contains(report.title + QLatin1Char('\n')), qPrintable(report.title));
            for (const ColumnRule& rule : report.rules)
                QVERIFY2(r.out.contains(rule.caption), qPrintable(rule.caption));
        }
        QVERIFY(r.out.contains("Overall Score for Duplicate Record Detection (Sensitivity)"));
        QVERIFY(!r.out.contains("ProbOrder")); // a column no rule shows

        const QString out = dir.filePath(QStringLiteral("out"));
        QCOMPARE(report({"--format", "csv", "--output", out, "0", "1", "2", "3", "5"}).code, 0);
        QCOMPARE(report({"--format", "json", "--output", out, "0", "1", "2", "3"}).code, 0);
        const QList<QByteArray> lines = fileBytes(out + QStringLiteral("/rptProbTypeSummary.csv")).split('\n');
        int duplicates = 0;
        for (const QByteArray& line : sourceBytes("data/DupTestData.csv").split('\n'))
            duplicates += line.contains(',') && !line.startsWith("ID,") && !line.contains("BASE_RECORD,");
        QVERIFY(lines.at(lines.size() - 2).startsWith("TOTAL,TOTAL DUPLICATES,100," + QByteArray::number(duplicates) + ","));
        QVERIFY(fileBytes(out + QStringLiteral("/rptNonDupsLost.csv")).split('\n').first().contains("Notes,ID"));
        const QJsonObject overall = jsonOf(fileBytes(out + QStringLiteral("/rptOverall.json")));
        QCOMPARE(overall.value("title").toString(), reportAt(0)->title);
        QCOMPARE(overall.value("rows").toArray().size(), 16);
        QCOMPARE(overall.value("rows").toArray().at(0).toObject().value("ResultValue").toString(), QStringLiteral("550"));

        QCOMPARE(report({"--pdf", dir.filePath(QStringLiteral("pdf")), "0", "7"}).code, 0);
        QVERIFY(pdfPages(dir.filePath("pdf/rptOverall.pdf")).join(' ').contains("Overall Score for Duplicate Record Detection"));
        QVERIFY(pdfPages(dir.filePath("pdf/rptAllDupsList.pdf")).value(0).contains(QRegularExpression("page\\s+1\\s+of")));

        // In csv and json every score field X gains XLow and XHigh after the report's own fields: the 95 %
        // interval of a score ("90.12 %"), none for counts, N/A and blanks.
        FakePlatform host;
        openEvalDatabase(database);
        const QList<QStringList> scoreFields{{"ResultValue"}, {"Sensitivity"}, {"Specificity"}, {"Sensitivity", "Specificity"}};
        for (int index = 0; index < 4; ++index) {
            const QString file = out + '/' + reportAt(index)->fileName;
            const QJsonObject doc = jsonOf(fileBytes(file + ".json"));
            const QList<QStringList> csv = csvRecords(fileBytes(file + ".csv"));
            const QSqlRecord record = run(reportAt(index)->query).record();
            QStringList fields;
            for (int c = 0; c < record.count(); ++c)
                fields << record.fieldName(c);
            for (const QString& field : scoreFields[index])
                fields << field + "Low" << field + "High";
            const QJsonArray rows = doc["rows"].toArray();
            QVERIFY(doc["fields"].toVariant().toStringList() == fields && csv.value(0) == fields && csv.size() == rows.size() + 1);
            int scored = 0;
            for (int i = 0; i < rows.size(); ++i)
                for (const QString& field : scoreFields[index]) {
                    const QString score = rows[i][field].toString();
                    const QJsonValue low = rows[i][field + "Low"], high = rows[i][field + "High"];
                    const bool hasInterval = score.endsWith(" %");
                    scored += hasInterval;
                    QVERIFY(hasInterval ? low.isDouble() && high.isDouble() : low.isNull() && high.isNull());
                    const QString interval = QString::number(low.toDouble(), 'f', 2) + '-' + QString::number(high.toDouble(), 'f', 2);
                    QCOMPARE(csv[i + 1][fields.indexOf(field + "Low")] + '-' + csv[i + 1][fields.indexOf(field + "High")],
                             hasInterval ? interval : "-");
                    const double value = hasInterval ? score.chopped(2).toDouble() : 0;
                    QVERIFY2(!hasInterval || (low.toDouble() <= value && value <= high.toDouble()), qPrintable(score));
                    const int judged = rows[i]["ProblemCount"].toInt();
                    const Interval counted = wilsonInterval(judged - rows[i]["TotalMissed"].toInt(), judged);
                    QVERIFY(index != 1 || !hasInterval || (counted.low == low.toDouble() && counted.high == high.toDouble()));
                }
            QVERIFY(scored >= 2);
        }

        // A refill that fails: its message, and exit code 3.
        run("DELETE FROM DupTestData WHERE ProblemCode NOT LIKE '%BASE_RECORD'");
        closeEvalDatabase();
        r = report({"0"});
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

    // Every completed evaluation is listed, and compare names exactly the scores
    // and records that differ between two of them.
    void historyKeepsRunsAndCompareNamesTheChanges()
    {
        const QStringList files{sample("typical"), sample("aggressive")};
        QList<QHash<QString, QString>> states; // each evaluation's scores by name and outcomes by ID
        QList<int> rows;
        for (const QString& file : files) {
            rows << evaluate({file}).out.section(' ', 0, 0).toInt(); // "550 rows loaded; ..."
            states << shownScores();
            for (const QJsonValue r : json({"explain", "all"})["records"].toArray())
                states.last().insert(QString::number(r["id"].toInteger()), r["outcome"].toString());
            // Neither a reuse nor a refused file adds a run.
            QCOMPARE(evaluate({"--reuse"}).code, 0);
            QCOMPARE(evaluate({dir.filePath("missing.txt")}).code, 1);
        }
        const QJsonArray runs = json({"history"})["runs"].toArray();
        QCOMPARE(runs.size(), 2);
        QVERIFY(QRegularExpression("^[0-9a-f]{8}$").match(runs[0]["deck"].toString()).hasMatch());
        for (int k = 0; k < 2; ++k) {
            const QByteArray bytes = fileBytes(files[k]);
            const QString time = runs[k]["time"].toString();
            const QString sha256 = QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
            QCOMPARE(runs[k].toObject(), (QJsonObject{{"run", k + 1}, {"time", time}, {"file", QFileInfo(files[k]).fileName()},
                                                      {"size", bytes.size()}, {"sha256", sha256}, {"rows", rows[k]},
                                                      {"deck", runs[0]["deck"]}, {"sensitivity", states[k]["sensitivity"].chopped(2).toDouble()},
                                                      {"specificity", states[k]["specificity"].chopped(2).toDouble()}}));
            QVERIFY(time.endsWith('Z') && qAbs(QDateTime::fromString(time, Qt::ISODate).secsTo(QDateTime::currentDateTimeUtc())) < 120);
        }
        const BatchRun csv = batch({"history", "--database", database, "--format", "csv"});
        QVERIFY(csv.out.startsWith("run,time,file,size,sha256,rows,deck,sensitivity,specificity\r\n1,") && csv.out.count("\r\n") == 3);
        QVERIFY(batch({"history", "--database", database}).out.contains(states[1]["sensitivity"] + " ("));

        const QJsonObject compared = json({"compare", "-2", "-1"});
        QCOMPARE(json({"compare", "1", "2"}), compared);
        QCOMPARE(compared.keys(), (QStringList{"changed", "figures", "from", "to"}));
        QCOMPARE((QList<int>{compared["from"].toInt(), compared["to"].toInt()}), (QList<int>{1, 2}));
        QStringList expected, listed;
        for (auto it = states[0].begin(); it != states[0].end(); ++it)
            if (states[1].value(it.key()) != it.value())
                expected << it.key() + ' ' + it.value() + '>' + states[1].value(it.key());
        for (const QJsonValue f : compared["figures"].toArray()) {
            QVERIFY(f.toObject().keys() == (QStringList{"after", "before", "beyondIntervals", "name"}) && f["beyondIntervals"].isBool());
            listed << f["name"].toString() + ' ' + QString::number(f["before"].toDouble()) + " %>"
                          + QString::number(f["after"].toDouble()) + " %";
        }
        for (const QJsonValue c : compared["changed"].toArray())
            listed << QString::number(c["id"].toInteger()) + ' ' + c["before"].toString() + '>' + c["after"].toString();
        QVERIFY(expected.size() > 20);
        QCOMPARE(sorted(listed), sorted(expected));
        const BatchRun table = batch({"compare", "--database", database, "--format", "csv", "1", "-1"});
        QCOMPARE(table.out.count("\r\nfigure,") + table.out.count("\r\nrecord,"), expected.size());

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
