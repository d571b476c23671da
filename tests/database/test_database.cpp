#include "FakePlatform.h"
#include "TestDatabase.h"
#include "database/CsvReader.h"
#include "database/Db.h"
#include "database/EvalDatabase.h"
#include "database/Schema.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

using namespace marrowick;
using namespace marrowick::test;

class TestDatabaseLayer : public QObject {
    Q_OBJECT
private slots:
    void newFileHoldsSchemaAndReferenceData();
    void referenceCountsMatchTheDataFiles();
    void unusableFileIsRebuiltOnlyWithConsent_data();
    void unusableFileIsRebuiltOnlyWithConsent();
    void databaseInUseIsNeverOfferedForRebuilding();
    void databaseOfAnotherDeckIsReplacedAndKept();
    void savepointsNestAndRollBack();
    void csvRecords_data();
    void csvRecords();
    void decodingFallsBackToWindows1252();
};

void TestDatabaseLayer::newFileHoldsSchemaAndReferenceData()
{
    FakePlatform host;
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/DupTestDataFin.db");
    QVERIFY2(openEvalDatabase(path), host.shown.isEmpty() ? "" : qPrintable(host.shown.first().prompt));
    QVERIFY(QFileInfo::exists(path));
    QCOMPARE(schemaProblem(), QString());
    QVERIFY(countRows(QStringLiteral("DupTestData")) > 0);
    QVERIFY(countRows(QStringLiteral("Answer_Sheet")) > 0);
    QCOMPARE(countRows(QStringLiteral("IIS_LOADED_CHILD_ALL")), 0);
    QVERIFY(host.shown.isEmpty());
    // The matching compares names without regard to case.
    QCOMPARE(run(QStringLiteral("SELECT count(*) FROM DupTestData WHERE LastName = lower(LastName)")).next(), true);
    QSqlQuery q = run(QStringLiteral("SELECT count(*) FROM DupTestData WHERE LastName = ?"),
                      {scalar(QStringLiteral("SELECT lower(LastName) AS n FROM DupTestData WHERE ID=1"), QStringLiteral("n"))});
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toInt() >= 1, true);
    closeEvalDatabase();
}

void TestDatabaseLayer::referenceCountsMatchTheDataFiles()
{
    FakePlatform host;
    TestDatabase db;
    for (const TableDef& table : schemaTables()) {
        if (!table.reference)
            continue;
        QFile file(QStringLiteral(MARROWICK_SOURCE_DIR "/data/%1.csv").arg(QLatin1String(table.name)));
        QVERIFY(file.open(QIODevice::ReadOnly));
        CsvReader reader(CsvReader::decode(file.readAll()));
        QStringList fields;
        int records = -1; // the header
        while (reader.next(fields))
            ++records;
        QCOMPARE(countRows(QLatin1String(table.name)), qint64(records));
    }
}

void TestDatabaseLayer::unusableFileIsRebuiltOnlyWithConsent_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QString>("cause");
    QTest::newRow("not a database") << QByteArray("this is not a database file at all, just text\n").repeated(40)
                                    << QStringLiteral("not a database");
    QTest::newRow("lacks a table") << QByteArray() << QStringLiteral("tblScoresByType");
}

void TestDatabaseLayer::unusableFileIsRebuiltOnlyWithConsent()
{
    QFETCH(QByteArray, contents);
    QFETCH(QString, cause);
    FakePlatform host;
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/DupTestDataFin.db");
    if (contents.isEmpty()) {
        QVERIFY(openEvalDatabase(path));
        run(QStringLiteral("DROP TABLE tblScoresByType"));
        closeEvalDatabase();
        contents = fileBytes(path);
    } else {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(contents);
    }
    // Read-only, as an exit leaves it: a file that is no database keeps even its mode.
    QVERIFY(setFileReadOnly(path, true));
    const QFileDevice::Permissions mode = QFile::permissions(path);

    host.expect(MsgResult::No);
    QVERIFY(!openEvalDatabase(path));
    const QList<ShownBox> boxes = host.shown;
    QVERIFY(host.showedOne(QStringLiteral("Database Error"), QStringLiteral("The database file ") + path, MsgIcon::Critical, true));
    QCOMPARE(boxes[0].buttons, MsgButtons::YesNo);
    QCOMPARE(boxes[0].defaultButton, MsgResult::No);
    QVERIFY2(boxes[0].prompt.contains(cause), qPrintable(boxes[0].prompt));
    QCOMPARE(fileBytes(path), contents);
    if (cause == QLatin1String("not a database"))
        QCOMPARE(QFile::permissions(path), mode);

    // Yes rebuilds, and the old file is kept beside it, a second time too.
    for (const char* backup : {".bak", ".2.bak"}) {
        host.expect(MsgResult::Yes);
        QVERIFY(openEvalDatabase(path));
        QCOMPARE(host.takeShown().size(), 1);
        QCOMPARE(schemaProblem(), QString());
        QVERIFY(countRows(QStringLiteral("DupTestData")) > 0);
        closeEvalDatabase();
        QCOMPARE(fileBytes(path + QLatin1String(backup)), contents);
        QFile::remove(path);
        QFile::copy(path + QStringLiteral(".bak"), path);
    }
}

void TestDatabaseLayer::databaseInUseIsNeverOfferedForRebuilding()
{
    FakePlatform host;
    TestDatabase db;
    closeEvalDatabase();
    const QByteArray before = fileBytes(db.path());
    {
        QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other"));
        other.setDatabaseName(db.path());
        QVERIFY(other.open());
        QVERIFY(QSqlQuery(other).exec(QStringLiteral("BEGIN EXCLUSIVE")));

        host.expect(MsgResult::Cancel);
        QVERIFY(!openEvalDatabase(db.path()));
        const QList<ShownBox> boxes = host.takeShown();
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].buttons, MsgButtons::RetryCancel);
        QVERIFY2(boxes[0].prompt.startsWith(QStringLiteral("The evaluation database is in use by another program")),
                 qPrintable(boxes[0].prompt));
        QVERIFY(!cnEval().isOpen());
        QSqlQuery(other).exec(QStringLiteral("ROLLBACK"));
        other.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("other"));
    QCOMPARE(fileBytes(db.path()), before);
    QVERIFY(!QFileInfo::exists(db.path() + QStringLiteral(".bak")));
    QVERIFY(openEvalDatabase(db.path()));
}

// An evaluation made against another version's test data cannot be read
// against this one's: the file is replaced, and kept whole beside it.
void TestDatabaseLayer::databaseOfAnotherDeckIsReplacedAndKept()
{
    FakePlatform host;
    TestDatabase db;
    QCOMPARE(storedDeckFingerprint(), deckFingerprint());
    appendRow(QStringLiteral("IIS_MISSING_RECORDS"), {{"ID", 4242}});
    run(QStringLiteral("PRAGMA user_version = 0"));
    closeEvalDatabase();

    QVERIFY(openEvalDatabase(db.path()));
    QVERIFY(host.showedOne(QStringLiteral("New Test Data"), QStringLiteral("The database file ") + db.path(),
                           MsgIcon::Information, true));
    QCOMPARE(storedDeckFingerprint(), deckFingerprint());
    QCOMPARE(countRows(QStringLiteral("IIS_MISSING_RECORDS")), 0);
    {
        QSqlDatabase old = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("old"));
        old.setDatabaseName(db.path() + QStringLiteral(".bak"));
        QVERIFY(old.open());
        QSqlQuery kept(old);
        QVERIFY(kept.exec(QStringLiteral("SELECT ID FROM IIS_MISSING_RECORDS")) && kept.next());
        QCOMPARE(kept.value(0).toInt(), 4242);
    }
    QSqlDatabase::removeDatabase(QStringLiteral("old"));
}

void TestDatabaseLayer::savepointsNestAndRollBack()
{
    FakePlatform host;
    TestDatabase db;
    {
        Savepoint outer;
        appendRow(QStringLiteral("IIS_MISSING_RECORDS"), {{"ID", 1}});
        {
            Savepoint inner;
            appendRow(QStringLiteral("IIS_MISSING_RECORDS"), {{"ID", 2}});
            inner.commit();
        }
        {
            Savepoint discarded;
            appendRow(QStringLiteral("IIS_MISSING_RECORDS"), {{"ID", 3}});
        }
        QCOMPARE(rows(QStringLiteral("SELECT ID FROM IIS_MISSING_RECORDS ORDER BY ID")), QStringList({"1", "2"}));
    }
    // The outer unit was never committed: nothing of it stays.
    QCOMPARE(countRows(QStringLiteral("IIS_MISSING_RECORDS")), 0);
}

void TestDatabaseLayer::csvRecords_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("records");
    QTest::newRow("plain, LF") << "a,b\nc,d\n" << QStringList{"a|b", "c|d"};
    QTest::newRow("CRLF and CR") << "a,b\r\nc,d\re,f" << QStringList{"a|b", "c|d", "e|f"};
    QTest::newRow("empty lines skipped") << "\n\na,b\n\n\r\nc\n\n" << QStringList{"a|b", "c"};
    QTest::newRow("quoted comma") << "\"SMITH, JR\",x\n" << QStringList{"SMITH, JR|x"};
    QTest::newRow("doubled quote") << "\"say \"\"hi\"\"\",x" << QStringList{"say \"hi\"|x"};
    QTest::newRow("line break in quotes") << "\"two\r\nlines\",x\ny,z" << QStringList{"two\r\nlines|x", "y|z"};
    QTest::newRow("empty values") << ",,\n" << QStringList{"||"};
    QTest::newRow("blanks kept") << " a , b \n" << QStringList{" a | b "};
}

void TestDatabaseLayer::csvRecords()
{
    QFETCH(QString, text);
    QFETCH(QStringList, records);
    CsvReader reader(text);
    QStringList got;
    QStringList fields;
    while (reader.next(fields))
        got << fields.join(QLatin1Char('|'));
    QCOMPARE(got, records);
}

void TestDatabaseLayer::decodingFallsBackToWindows1252()
{
    QCOMPARE(CsvReader::decode(QByteArray("\xEF\xBB\xBFMU\xC3\x91OZ")), QStringLiteral("MU\u00D1OZ"));
    QCOMPARE(CsvReader::decode(QByteArray("MU\xD1OZ")), QStringLiteral("MU\u00D1OZ"));
    QCOMPARE(CsvReader::decode(QByteArray("O\x92" "BRIEN")), QStringLiteral("O\u2019BRIEN"));
}

QTEST_GUILESS_MAIN(TestDatabaseLayer)
#include "test_database.moc"
