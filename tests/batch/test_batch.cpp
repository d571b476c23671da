#include "FakePlatform.h"
#include "TestDatabase.h"
#include "database/Db.h"
#include "database/EvalDatabase.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Result {
    int code;
    QString out;
    QString err;
};

Result batch(const QStringList& args, const QString& workDir = QString())
{
    QProcess p;
    if (!workDir.isEmpty())
        p.setWorkingDirectory(workDir);
    p.start(QStringLiteral(MARROWICK_BIN_DIR "/marrowick-batch"), args);
    p.waitForFinished(120000);
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
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
    const Result r = batch({QStringLiteral("report"), QStringLiteral("--database"), database, QStringLiteral("0")});
    QCOMPARE(r.code, 3);
    QVERIFY2(r.err.startsWith(QStringLiteral("Database Error: The database file ")), qPrintable(r.err));
    QFile check(database);
    QVERIFY(check.open(QIODevice::ReadOnly));
    QVERIFY(check.readAll().startsWith("not a database")); // never overwritten without consent
    // A folder named as the database is refused and left as it was.
    const auto before = QFile::permissions(dir.path());
    const Result folder = batch({QStringLiteral("report"), QStringLiteral("--database"), dir.path(), QStringLiteral("0")});
    QCOMPARE(folder.code, 3);
    QVERIFY2(folder.err.contains(QStringLiteral("it is not a file")), qPrintable(folder.err));
    QCOMPARE(QFile::permissions(dir.path()), before);
}

void TestBatch::reportAllPrintsEveryReport()
{
    QCOMPARE(batch({QStringLiteral("evaluate"), QStringLiteral("--database"), database, sample("aggressive")}).code, 0);
    const Result r = batch({QStringLiteral("report"), QStringLiteral("--database"), database, QStringLiteral("all")});
    QCOMPARE(r.code, 0);
    for (const char* title : {"Summary of Results", "Results for Duplicate Records", "Results for Non-Duplicate Records",
                              "Scores by Problem Type", "List of Duplicate Records Missed (Not Detected)",
                              "List of Non-Duplicate Records Lost", "List of All Non-duplicate Records in Test Data",
                              "List of All Duplicate Records in Test Data"})
        QVERIFY2(r.out.contains(QLatin1String(title) + QLatin1Char('\n')), title);
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
