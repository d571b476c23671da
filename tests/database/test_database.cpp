#include "Suite.h"
#include "database/Csv.h"
#include "database/EvalDatabase.h"
#include "database/Savepoint.h"
#include "database/Schema.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>

namespace {
// The file, or else the statements that damage a new database; the cause told.
struct Unusable { QByteArray contents; QStringList damage; QString cause; };
} // namespace

class TestDatabaseLayer : public SessionTest {
    Q_OBJECT
private slots:

    void newFileHoldsSchemaAndReferenceData()
    {
        const QString path = s->db.folder() + QStringLiteral("/new.db");
        openEvalDatabase(path);
        QVERIFY(s->host.shown.isEmpty());
        QCOMPARE(schemaProblem(), QString());
        QCOMPARE(countRows("IIS_LOADED_CHILD_ALL"), 0);
        // Every reference table holds its data file's records, no more, no fewer.
        for (const TableDef& table : schemaTables()) {
            if (!table.reference)
                continue;
            const qint64 records = csvRecords(sourceBytes(QStringLiteral("data/%1.csv").arg(QLatin1String(table.name)))).size() - 1;
            QVERIFY(records > 0);
            QCOMPARE(countRows(QLatin1String(table.name)), records);
        }
        // The matching compares names without regard to case.
        QCOMPARE(rows("SELECT ID FROM DupTestData WHERE LastName = (SELECT lower(LastName) FROM DupTestData WHERE ID=1) AND ID=1"),
                 QStringList{"1"});
        closeEvalDatabase();
    }

    void earlierVersionGainsWhatWasAddedSince_data()
    {
        QTest::addColumn<QString>("missing");
        for (const TableDef& table : addedTables())
            QTest::newRow(table.name) << QString::fromLatin1(table.name);
        for (const char* index : {"idxRunFigures", "idxRunOutcomes"})
            QTest::newRow(index) << QString::fromLatin1(index);
    }

    // A file of an earlier version lacks a table or index added since: opening it adds it, empty.
    void earlierVersionGainsWhatWasAddedSince()
    {
        QFETCH(QString, missing);
        const QString path = s->db.folder() + QStringLiteral("/earlier.db");
        QVERIFY(onDatabase(path, [&] { run((missing.startsWith("idx") ? "DROP INDEX " : "DROP TABLE ") + missing); }));
        qint64 present = -1;
        const QString sql = QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name = ?");
        QVERIFY(onDatabase(path, [&] { present = count(sql, {missing}); }));
        QCOMPARE(present, 1);
        QVERIFY(QFile::remove(path));
    }

    void unusableFileIsRebuiltOnlyWithConsent_data()
    {
        QTest::addColumn<Unusable>("c");
        QTest::newRow("not a database") << Unusable{QByteArray("this is not a database file at all, just text\n").repeated(40), {}, "not a database"};
        QTest::newRow("lacks a table") << Unusable{{}, {"DROP TABLE tblScoresByType"}, "tblScoresByType"};
        for (const QString added : {"tblRuns", "tblRunFigures", "tblRunOutcomes", "tblRegistrySends"})
            QTest::newRow(qPrintable(added)) << Unusable{{}, {"DROP TABLE " + added, "CREATE TABLE " + added + " (Other INTEGER)"},
                                                         "the column " + added + '.'};
        QTest::newRow("a view in a table's place")
            << Unusable{{}, {"DROP TABLE tblScoresByType", "CREATE VIEW tblScoresByType AS SELECT 1 AS ProblemCode"},
                        "the table tblScoresByType is missing"};
        QTest::newRow("lacks a column")
            << Unusable{{}, {"ALTER TABLE IIS_DUPLICATES DROP COLUMN OtherQM"}, "the column IIS_DUPLICATES.OtherQM is missing"};
    }

    void unusableFileIsRebuiltOnlyWithConsent()
    {
        QFETCH(Unusable, c);
        auto& [contents, damage, cause] = c;
        const QString path = s->db.folder() + QStringLiteral("/unusable.db");
        if (contents.isEmpty()) {
            QVERIFY(onDatabase(path, [&] {
                for (const QString& statement : c.damage)
                    run(statement);
            }));
            contents = fileBytes(path);
        }
        QVERIFY(writeBytes(path, contents));
        // Read-only, as an exit leaves it: a file that is no database keeps even its mode.
        QVERIFY(setFileReadOnly(path, true));
        const QFileDevice::Permissions mode = QFile::permissions(path);

        s->host.expect(MsgResult::No);
        // Declined: the question was the message, nothing is left to tell.
        const std::optional<FileRefused> declined = thrown<FileRefused>([&] { openEvalDatabase(path); });
        QVERIFY(declined);
        QCOMPARE(declined->text(), QString());
        const QList<ShownBox> boxes = s->host.shown;
        QVERIFY(s->host.showedOne("Database Error", "The database file " + path, MsgIcon::Critical, true));
        QCOMPARE(boxes[0].buttons, MsgButtons::YesNo);
        QCOMPARE(boxes[0].defaultButton, MsgResult::No);
        QVERIFY2(boxes[0].prompt.contains(cause), qPrintable(boxes[0].prompt));
        QCOMPARE(fileBytes(path), contents);
        if (cause == QLatin1String("not a database"))
            QCOMPARE(QFile::permissions(path), mode);

        // Yes rebuilds, and the old file is kept beside it, a second time too.
        for (const char* backup : {".bak", ".2.bak"}) {
            s->host.expect(MsgResult::Yes);
            openEvalDatabase(path);
            QCOMPARE(s->host.takeShown().size(), 1);
            QCOMPARE(schemaProblem(), QString());
            QVERIFY(countRows("DupTestData") > 0);
            closeEvalDatabase();
            QCOMPARE(fileBytes(path + QLatin1String(backup)), contents);
            QFile::remove(path);
            QFile::copy(path + QStringLiteral(".bak"), path);
        }
    }

    void databaseInUseIsNeverOfferedForRebuilding()
    {
        closeEvalDatabase();
        const QByteArray before = fileBytes(s->db.path());
        {
            ForeignLock lock(s->db.path());
            QVERIFY(lock.held());
            s->host.expect(MsgResult::Cancel);
            QVERIFY_THROWS_EXCEPTION(FileRefused, openEvalDatabase(s->db.path()));
            const QList<ShownBox> boxes = s->host.takeShown();
            QCOMPARE(boxes.size(), 1);
            QCOMPARE(boxes[0].buttons, MsgButtons::RetryCancel);
            QVERIFY2(boxes[0].prompt.startsWith("The evaluation database is in use by another program"), qPrintable(boxes[0].prompt));
            QVERIFY(!cnEval().isOpen());
        }
        QCOMPARE(fileBytes(s->db.path()), before);
        QVERIFY(!QFileInfo::exists(s->db.path() + QStringLiteral(".bak")));
        openEvalDatabase(s->db.path());
    }

    // An evaluation made against another version's test data cannot be read
    // against this one's: the file is replaced, and kept whole beside it.
    void databaseOfAnotherDeckIsReplacedAndKept()
    {
        QCOMPARE(storedDeckFingerprint(), deckFingerprint());
        appendRow("IIS_MISSING_RECORDS", {{"ID", 4242}});
        run("PRAGMA user_version = 0");
        closeEvalDatabase();
        const QByteArray old = fileBytes(s->db.path());

        openEvalDatabase(s->db.path());
        QVERIFY(s->host.showedOne("New Test Data", "The database file " + s->db.path(), MsgIcon::Information, true));
        QCOMPARE(storedDeckFingerprint(), deckFingerprint());
        QCOMPARE(countRows("IIS_MISSING_RECORDS"), 0);
        QCOMPARE(fileBytes(s->db.path() + QStringLiteral(".bak")), old);
    }

    // The fingerprint is fixed when the program is built: it must still be the
    // hash of the reference files it carries, taken in the schema's order.
    void deckFingerprintIsThatOfTheCarriedData()
    {
        QCryptographicHash hash(QCryptographicHash::Sha256);
        for (const TableDef& table : schemaTables())
            if (table.reference)
                hash.addData(fileBytes(QStringLiteral(":/data/%1.csv").arg(QLatin1String(table.name))));
        const QByteArray head = hash.result().left(4).toHex();
        QCOMPARE(deckFingerprint(), qint32((head.toUInt(nullptr, 16) & 0x7fffffffu) | 1u));
    }

    void savepointsNestAndRollBack()
    {
        {
            Savepoint outer;
            appendRow("IIS_MISSING_RECORDS", {{"ID", 1}});
            {
                Savepoint inner;
                appendRow("IIS_MISSING_RECORDS", {{"ID", 2}});
                inner.commit();
            }
            {
                Savepoint discarded;
                appendRow("IIS_MISSING_RECORDS", {{"ID", 3}});
            }
            QCOMPARE(rows("SELECT ID FROM IIS_MISSING_RECORDS ORDER BY ID"), QStringList({"1", "2"}));
        }
        // The outer unit was never committed: nothing of it stays.
        QCOMPARE(countRows("IIS_MISSING_RECORDS"), 0);
    }

    void csvReaderSplitsRecords_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("records");
        QTest::addColumn<bool>("endsInQuote");
        QTest::newRow("plain, LF") << "a,b\nc,d\n" << QStringList{"a|b", "c|d"} << false;
        QTest::newRow("CRLF and CR") << "a,b\r\nc,d\re,f" << QStringList{"a|b", "c|d", "e|f"} << false;
        QTest::newRow("empty lines skipped") << "\n\na,b\n\n\r\nc\n\n" << QStringList{"a|b", "c"} << false;
        QTest::newRow("quoted comma") << "\"SMITH, JR\",x\n" << QStringList{"SMITH, JR|x"} << false;
        QTest::newRow("doubled quote") << "\"say \"\"hi\"\"\",x" << QStringList{"say \"hi\"|x"} << false;
        QTest::newRow("line break in quotes") << "\"two\r\nlines\",x\ny,z" << QStringList{"two\r\nlines|x", "y|z"} << false;
        QTest::newRow("empty values") << ",,\n" << QStringList{"||"} << false;
        QTest::newRow("blanks kept") << " a , b \n" << QStringList{" a | b "} << false;
        QTest::newRow("blanks before a quote dropped, text after it kept") << " \t\"a\"b ,\"\"\n" << QStringList{"ab |"} << false;
        QTest::newRow("letters beyond ASCII") << "Zo\u00eb,\"\u00d1\"\n" << QStringList{"Zo\u00eb|\u00d1"} << false;
        QTest::newRow("a quote left open") << "a,\"b,\nc" << QStringList{"a|b,\nc"} << true;
    }

    // The results file's reader over bytes splits as the reader over text does.
    void csvReaderSplitsRecords()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, records);
        QFETCH(bool, endsInQuote);
        CsvReader reader(text);
        const QByteArray bytes = text.toUtf8();
        CsvByteReader byteReader(bytes);
        QStringList got, gotFromBytes;
        QStringList fields;
        std::vector<QByteArrayView> views;
        while (reader.next(fields))
            got << fields.join(QLatin1Char('|'));
        while (byteReader.next(views)) {
            QStringList values;
            for (const QByteArrayView view : views)
                values << QString::fromUtf8(view);
            gotFromBytes << values.join(QLatin1Char('|'));
        }
        QCOMPARE(got, records);
        QCOMPARE(gotFromBytes, records);
        QCOMPARE(reader.endedInQuote(), endsInQuote);
        QCOMPARE(byteReader.endedInQuote(), endsInQuote);
    }

    void fileBytesBecomeUtf8_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("ASCII") << QByteArray("a,b\r\n") << "a,b\r\n";
        QTest::newRow("UTF-8, its byte-order mark dropped") << QByteArray("\xEF\xBB\xBFZo\xC3\xAB") << "Zo\u00eb";
        QTest::newRow("not UTF-8: Windows-1252") << QByteArray("Zo\xEB \x80") << "Zo\u00eb \u20ac";
        QTest::newRow("ends inside a UTF-8 letter: Windows-1252") << QByteArray("a\xC3") << "a\u00c3";
        QTest::newRow("UTF-16LE") << QByteArray("\xFF\xFEZ\0\xEB\0", 6) << "Z\u00eb";
        QTest::newRow("UTF-16BE") << QByteArray("\xFE\xFF\0Z\0\xEB", 6) << "Z\u00eb";
    }

    void fileBytesBecomeUtf8()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QCOMPARE(CsvReader::utf8Text(bytes), text.toUtf8());
    }

    void csvForSpreadsheets_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("written");
        QTest::newRow("plain") << "SMITH" << "SMITH";
        QTest::newRow("comma") << "SMITH, JR" << "\"SMITH, JR\"";
        QTest::newRow("quote") << "say \"hi\"" << "\"say \"\"hi\"\"\"";
        QTest::newRow("line feed") << "two\nlines" << "\"two\nlines\"";
        QTest::newRow("carriage return inside") << "a\rb" << "\"a\rb\"";
        QTest::newRow("formula") << "=HYPERLINK(\"x\")" << "\"'=HYPERLINK(\"\"x\"\")\"";
        QTest::newRow("at") << "@SUM(A1)" << "'@SUM(A1)";
        QTest::newRow("plus text") << "+A1" << "'+A1";
        QTest::newRow("minus alone") << "-" << "'-";
        QTest::newRow("tab") << "\tx" << "'\tx";
        QTest::newRow("leading carriage return") << "\rx" << "\"'\rx\"";
        QTest::newRow("negative number") << "-12.5" << "-12.5";
        QTest::newRow("signed number") << "+3" << "+3";
    }

    // Quoted as the reader reads it back, and never run by a spreadsheet as a formula.
    void csvForSpreadsheets()
    {
        QFETCH(QString, value);
        QFETCH(QString, written);
        QCOMPARE(spreadsheetRecord({value, QStringLiteral("x")}), written + QStringLiteral(",x"));
    }
};

QTEST_GUILESS_MAIN(TestDatabaseLayer)
#include "test_database.moc"
