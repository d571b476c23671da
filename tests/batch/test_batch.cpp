#include "FakePlatform.h"
#include "TestDatabase.h"
#include "database/Db.h"
#include "database/EvalDatabase.h"
#include "reports/ReportCatalogue.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <unistd.h>

namespace {

struct Result {
    int code;
    QString out;
    QString err;
};

const QString kBatch = QStringLiteral(MARROWICK_BIN_DIR "/marrowick-batch");
const bool kRoot = ::geteuid() == 0;

// Runs a batch program; as root, optionally as the unprivileged user "nobody",
// whom file modes bind.
Result batch(const QStringList& args, const QString& program = kBatch, bool asNobody = false,
             const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment())
{
    QProcess p;
    p.setProcessEnvironment(env);
    if (asNobody && kRoot)
        p.start(QStringLiteral("setpriv"),
                QStringList{"--reuid=65534", "--regid=65534", "--clear-groups", program} + args);
    else
        p.start(program, args);
    p.waitForFinished(120000);
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
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

QString sample(const char* policy) { return QStringLiteral(MARROWICK_SOURCE_DIR "/samples/results-%1.txt").arg(QLatin1String(policy)); }

} // namespace

class TestBatch : public QObject {
    Q_OBJECT
private slots:
    // Each test has its own database file.
    void init() { QVERIFY(dir.isValid()); database = dir.filePath(QStringLiteral("eval%1.db").arg(++serial)); }
    void usageErrors_data();
    void usageErrors();
    void helpDescribesEveryCommandAndOption();
    void evaluateLoadsAndLeavesTheFileReadOnly();
    void refusedFilesExitWithOne();
    void reuseNeedsEarlierData();
    void strictCompletenessWarning();
    void unusableDatabaseExitsWithThree();
    void databaseFaultsExitWithThree_data();
    void databaseFaultsExitWithThree();
    void lockOfACrashedRunIsTakenOver();
    void sharedInstallGivesEachUserACopy();
    void reportAllPrintsEveryReport();
    void reportFilesInCsvAndJson();
    void reportPdfsAndFailedRefills();

private:
    QTemporaryDir dir;
    QString database;
    int serial = 0;
};

void TestBatch::usageErrors_data()
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
}

void TestBatch::usageErrors()
{
    QFETCH(QStringList, args);
    const Result r = batch(args);
    QCOMPARE(r.code, 2);
    QVERIFY2(r.err.startsWith(QStringLiteral("marrowick-batch: ")), qPrintable(r.err));
    QVERIFY(r.err.contains(QStringLiteral("--help")));
}

void TestBatch::helpDescribesEveryCommandAndOption()
{
    const Result r = batch({QStringLiteral("--help")});
    QCOMPARE(r.code, 0);
    for (const char* word : {"evaluate", "report", "--database", "--reuse", "--strict", "--format", "--output", "--pdf",
                             "Exit codes"})
        QVERIFY2(r.out.contains(QLatin1String(word)), word);
}

void TestBatch::evaluateLoadsAndLeavesTheFileReadOnly()
{
    const Result r = batch({QStringLiteral("evaluate"), QStringLiteral("--database"), database, sample("perfect")});
    QCOMPARE(r.code, 0);
    QCOMPARE(r.err, QString()); // not a terminal: no progress bar
    QVERIFY2(r.out.contains(QStringLiteral("550 rows loaded")), qPrintable(r.out));
    QVERIFY(!(QFile::permissions(database) & (QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther)));
    // The next run clears the mark and reuses the evaluation.
    const Result again = batch({QStringLiteral("evaluate"), QStringLiteral("--database"), database, QStringLiteral("--reuse")});
    QCOMPARE(again.code, 0);
    QVERIFY(again.out.contains(QStringLiteral("550 rows loaded")));
}

void TestBatch::refusedFilesExitWithOne()
{
    const QString bad = dir.filePath(QStringLiteral("bad.txt"));
    QFile f(bad);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("1,N,A,B\r\n");
    f.close();
    Result r = batch({QStringLiteral("evaluate"), QStringLiteral("--database"), database, bad});
    QCOMPARE(r.code, 1);
    QCOMPARE(r.err, QStringLiteral("Data Format Error: 4 field(s) found in the data. Please verify that the file is in comma "
                                   "delimited format and all 15 fields required for processing have been included.\n"));
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write("1,y,A,B,,,20200101,M,,,,,08,20200101,MSD\r\n");
    f.close();
    r = batch({QStringLiteral("evaluate"), QStringLiteral("--database"), database, bad});
    QCOMPARE(r.code, 1);
    QCOMPARE(r.err, QStringLiteral("Invalid Results File: Record number 1 has the following errors:\n\nInvalid questionable "
                                   "match (potential duplicate) flag.\n"));
    r = batch({QStringLiteral("evaluate"), QStringLiteral("--database"), database, dir.filePath(QStringLiteral("none.txt"))});
    QCOMPARE(r.code, 1);
    QVERIFY2(r.err.startsWith(QStringLiteral("Error: Error reading results file.")), qPrintable(r.err));
}

void TestBatch::reuseNeedsEarlierData()
{
    const Result r = batch({QStringLiteral("evaluate"), QStringLiteral("--database"), database, QStringLiteral("--reuse")});
    QCOMPARE(r.code, 1);
    QCOMPARE(r.err, QStringLiteral("File Name Missing: Please specify the file name for the results file.\n"));
}

void TestBatch::strictCompletenessWarning()
{
    // Every tenth line of a sample: far fewer than 80 percent of the test records.
    QFile in(sample("none"));
    QVERIFY(in.open(QIODevice::ReadOnly));
    QByteArray some;
    int n = 0;
    for (const QByteArray& line : in.readAll().split('\n'))
        if (n++ % 10 == 0)
            some += line + '\n';
    const QString partial = dir.filePath(QStringLiteral("partial.txt"));
    QFile out(partial);
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(some);
    out.close();
    const QString warning = QStringLiteral("Warning: More than 20 percent of the records are missing. Please verify the data is complete.\n");
    Result r = batch({QStringLiteral("evaluate"), QStringLiteral("--database"), database, partial});
    QCOMPARE(r.code, 0);
    QCOMPARE(r.err, warning);
    r = batch({QStringLiteral("evaluate"), QStringLiteral("--strict"), QStringLiteral("--database"), database, partial});
    QCOMPARE(r.code, 4);
    QCOMPARE(r.err, warning);
}

void TestBatch::unusableDatabaseExitsWithThree()
{
    QFile f(database);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(QByteArray("not a database\n").repeated(100));
    f.close();
    QVERIFY(marrowick::setFileReadOnly(database, true));
    const auto mode = QFile::permissions(database);
    const Result r = batch({QStringLiteral("report"), QStringLiteral("--database"), database, QStringLiteral("0")});
    QCOMPARE(r.code, 3);
    QVERIFY2(r.err.startsWith(QStringLiteral("Database Error: The database file ")), qPrintable(r.err));
    // Never overwritten without consent, nor even made writable.
    QVERIFY(marrowick::test::fileBytes(database).startsWith("not a database"));
    QCOMPARE(QFile::permissions(database), mode);
    // A script that asks for it gets a new database, and the old file is kept.
    const Result rebuilt = batch({QStringLiteral("evaluate"), QStringLiteral("--rebuild-database"), QStringLiteral("--database"),
                                  database, sample("perfect")});
    QCOMPARE(rebuilt.code, 0);
    QVERIFY2(rebuilt.err.startsWith(QStringLiteral("Database Rebuilt: ")), qPrintable(rebuilt.err));
    QVERIFY(marrowick::test::fileBytes(database + QStringLiteral(".bak")).startsWith("not a database"));
    // A folder named as the database is refused and left as it was.
    const auto before = QFile::permissions(dir.path());
    const Result folder = batch({QStringLiteral("report"), QStringLiteral("--database"), dir.path(), QStringLiteral("0")});
    QCOMPARE(folder.code, 3);
    QVERIFY2(folder.err.contains(QStringLiteral("it is not a file")), qPrintable(folder.err));
    QCOMPARE(QFile::permissions(dir.path()), before);
}

void TestBatch::databaseFaultsExitWithThree_data()
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
void TestBatch::databaseFaultsExitWithThree()
{
    QFETCH(QString, fault);
    QFETCH(QString, message);
    if ((fault == QLatin1String("read-only") || fault == QLatin1String("full")) && !kRoot)
        QSKIP("needs root: file modes do not bind a file's owner, and a small disk needs a mount");
    const QString folder = sharedFolder(dir, QStringLiteral("fault%1").arg(serial));
    database = folder + QStringLiteral("/eval.db");
    const QString mount = folder + QStringLiteral("/small");
    if (fault == QLatin1String("full")) {
        // Just room for the database: the load cannot grow it.
        QDir().mkpath(mount);
        QVERIFY(QProcess::execute(QStringLiteral("mount"), {"-t", "tmpfs", "-o", "size=600k", "tmpfs", mount}) == 0);
        database = mount + QStringLiteral("/eval.db");
    }
    QCOMPARE(batch({QStringLiteral("evaluate"), QStringLiteral("--database"), database, sample("none")}).code, 0);
    if (fault == QLatin1String("full")) {
        QFile filler(mount + QStringLiteral("/filler"));
        QVERIFY(filler.open(QIODevice::WriteOnly));
        while (filler.write(QByteArray(4096, 'x')) == 4096 && filler.flush()) {
        }
    }
    const QByteArray before = marrowick::test::fileBytes(database);

    marrowick::test::FakePlatform host;
    QSqlDatabase other;
    if (fault == QLatin1String("instance")) {
        QVERIFY(marrowick::openEvalDatabase(database));
    } else if (fault == QLatin1String("locked")) {
        other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other"));
        other.setDatabaseName(database);
        QVERIFY(other.open());
        QVERIFY(QSqlQuery(other).exec(QStringLiteral("BEGIN EXCLUSIVE")));
    } else if (fault == QLatin1String("read-only")) {
        QVERIFY(marrowick::setFileReadOnly(database, true));
    }
    const Result r = batch({QStringLiteral("evaluate"), QStringLiteral("--database"), database, sample("typical")}, kBatch,
                           fault == QLatin1String("read-only"));
    QCOMPARE(r.code, 3);
    QVERIFY2(r.err.startsWith(QStringLiteral("Database Error: ")) && r.err.contains(message), qPrintable(r.err));
    QVERIFY2(!r.err.contains(QLatin1String("INSERT")) && !r.err.contains(QLatin1String("Rebuild")), qPrintable(r.err));

    if (other.isOpen()) {
        QSqlQuery(other).exec(QStringLiteral("ROLLBACK"));
        other.close();
    }
    other = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("other"));
    marrowick::closeEvalDatabase();
    QCOMPARE(marrowick::test::fileBytes(database), before);
    if (fault == QLatin1String("full"))
        QProcess::execute(QStringLiteral("umount"), {mount});
}

void TestBatch::lockOfACrashedRunIsTakenOver()
{
    QCOMPARE(batch({QStringLiteral("evaluate"), QStringLiteral("--database"), database, sample("none")}).code, 0);
    {
        // A run that holds the program's lock while it waits for another
        // program's, and is killed there.
        QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other"));
        other.setDatabaseName(database);
        QVERIFY(other.open());
        QVERIFY(QSqlQuery(other).exec(QStringLiteral("BEGIN EXCLUSIVE")));
        QProcess crashing;
        crashing.start(kBatch, {QStringLiteral("evaluate"), QStringLiteral("--database"), database, sample("typical")});
        QVERIFY(crashing.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(database + QStringLiteral(".lock")), 2500);
        crashing.kill();
        crashing.waitForFinished();
        QSqlQuery(other).exec(QStringLiteral("ROLLBACK"));
        other.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("other"));
    QVERIFY(QFile::exists(database + QStringLiteral(".lock")));
    const Result r = batch({QStringLiteral("evaluate"), QStringLiteral("--database"), database, sample("perfect")});
    QCOMPARE(r.code, 0);
    QCOMPARE(r.err, QString());
}

// Installed where users cannot write, with a database another user left there:
// each user works on a fresh copy of their own, and the shared one is untouched.
void TestBatch::sharedInstallGivesEachUserACopy()
{
    const QString program = sharedFolder(dir, QStringLiteral("install")) + QStringLiteral("/marrowick-batch");
    QVERIFY(QFile::copy(kBatch, program));
    QCOMPARE(batch({QStringLiteral("evaluate"), sample("perfect")}, program).code, 0);
    const QString shared = QFileInfo(program).path() + QStringLiteral("/DupTestDataFin.db");
    QVERIFY(QFile::exists(shared));
    const QByteArray before = marrowick::test::fileBytes(shared);
    QVERIFY(QFile::setPermissions(QFileInfo(program).path(), QFileDevice::Permissions(0x5555)));

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    const QString home = sharedFolder(dir, QStringLiteral("home"));
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/data"));
    const Result r = batch({QStringLiteral("evaluate"), sample("typical")}, program, true, env);
    QVERIFY(QFile::setPermissions(QFileInfo(program).path(), QFileDevice::Permissions(0x7777)));
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QVERIFY2(r.out.contains(QStringLiteral("rows loaded")), qPrintable(r.out));
    QCOMPARE(marrowick::test::fileBytes(shared), before);
    QVERIFY(QFile::exists(home + QStringLiteral("/data/Marrowick/Marrowick/DupTestDataFin.db")));
}

void TestBatch::reportAllPrintsEveryReport()
{
    QCOMPARE(batch({QStringLiteral("evaluate"), QStringLiteral("--database"), database, sample("aggressive")}).code, 0);
    const Result r = batch({QStringLiteral("report"), QStringLiteral("--database"), database, QStringLiteral("all")});
    QCOMPARE(r.code, 0);
    for (const marrowick::ReportDef& report : marrowick::reportCatalogue())
        QVERIFY2(r.out.contains(report.title + QLatin1Char('\n')), qPrintable(report.title));
    QVERIFY(r.out.contains(QStringLiteral("Overall Score for Duplicate Record Detection (Sensitivity)")));
    QVERIFY(r.out.contains(QStringLiteral("Rejected/ Merged")));
    QVERIFY(r.out.contains(QStringLiteral("Database ID")));
    QVERIFY(!r.out.contains(QStringLiteral("ProbOrder")));
}

void TestBatch::reportFilesInCsvAndJson()
{
    QCOMPARE(batch({QStringLiteral("evaluate"), QStringLiteral("--database"), database, sample("typical")}).code, 0);
    const QString out = dir.filePath(QStringLiteral("out"));
    Result r = batch({QStringLiteral("report"), QStringLiteral("--database"), database, QStringLiteral("--format"), QStringLiteral("csv"),
                      QStringLiteral("--output"), out, QStringLiteral("1"), QStringLiteral("5")});
    QCOMPARE(r.code, 0);
    QFile csv(out + QStringLiteral("/rptProbTypeSummary.csv"));
    QVERIFY(csv.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = csv.readAll().split('\n');
    QCOMPARE(lines.first().trimmed(), QByteArray("ProblemCode,ProblemDesc,ProbOrder,ProblemCount,TotalCaught,TotalQM,TotalMissed,Sensitivity"));
    QFile deck(QStringLiteral(MARROWICK_SOURCE_DIR "/data/DupTestData.csv"));
    QVERIFY(deck.open(QIODevice::ReadOnly));
    int duplicates = 0;
    for (const QByteArray& line : deck.readAll().split('\n'))
        duplicates += line.contains(',') && !line.startsWith("ID,") && !line.contains("BASE_RECORD,");
    QVERIFY(lines.at(lines.size() - 2).startsWith("TOTAL,TOTAL DUPLICATES,100," + QByteArray::number(duplicates) + ","));
    QFile lost(out + QStringLiteral("/rptNonDupsLost.csv"));
    QVERIFY(lost.open(QIODevice::ReadOnly));
    QVERIFY(lost.readLine().contains("Notes,ID"));

    r = batch({QStringLiteral("report"), QStringLiteral("--database"), database, QStringLiteral("--format"), QStringLiteral("json"),
               QStringLiteral("--output"), out, QStringLiteral("0")});
    QCOMPARE(r.code, 0);
    QFile json(out + QStringLiteral("/rptOverall.json"));
    QVERIFY(json.open(QIODevice::ReadOnly));
    const QJsonObject doc = QJsonDocument::fromJson(json.readAll()).object();
    QCOMPARE(doc.value(QStringLiteral("title")).toString(), QStringLiteral("Summary of Results"));
    QCOMPARE(doc.value(QStringLiteral("rows")).toArray().size(), 16);
    QCOMPARE(doc.value(QStringLiteral("rows")).toArray().at(0).toObject().value(QStringLiteral("ResultValue")).toString(),
             QStringLiteral("550"));
}

void TestBatch::reportPdfsAndFailedRefills()
{
    QCOMPARE(batch({QStringLiteral("evaluate"), QStringLiteral("--database"), database, sample("typical")}).code, 0);
    const QString pdfs = dir.filePath(QStringLiteral("pdf"));
    Result r = batch({QStringLiteral("report"), QStringLiteral("--database"), database, QStringLiteral("--pdf"), pdfs,
                      QStringLiteral("0"), QStringLiteral("7")});
    QCOMPARE(r.code, 0);
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {pdfs + QStringLiteral("/rptOverall.pdf"), QStringLiteral("-")});
    QVERIFY(text.waitForFinished(30000));
    QVERIFY(text.readAllStandardOutput().contains("Overall Score for Duplicate Record Detection (Sensitivity)"));
    QVERIFY(QFile::exists(pdfs + QStringLiteral("/rptAllDupsList.pdf")));

    // A refill that fails: its message, and exit code 3.
    {
        marrowick::test::FakePlatform host;
        QVERIFY(marrowick::openEvalDatabase(database));
        marrowick::run(QStringLiteral("DELETE FROM DupTestData WHERE ProblemCode NOT LIKE '%BASE_RECORD'"));
        marrowick::closeEvalDatabase();
    }
    r = batch({QStringLiteral("report"), QStringLiteral("--database"), database, QStringLiteral("0")});
    QCOMPARE(r.code, 3);
    QCOMPARE(r.err, QStringLiteral("Error: Error occurred in RefillOverallResults: 11 Division by zero\n"));
}

QTEST_GUILESS_MAIN(TestBatch)
#include "test_batch.moc"
