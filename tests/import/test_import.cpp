#include "Suite.h"
#include "database/DatabaseFault.h"
#include "import/clsProcessResultsFile.h"

#include <QDir>
#include <QRandomGenerator>
#include <sys/stat.h>

namespace {

QByteArray line(const QStringList& fields) { return fields.join(QLatin1Char(',')).toUtf8() + "\r\n"; }

QStringList validFields(int client = 1001)
{
    return QStringList{QString::number(client)} + QStringLiteral("N,GARCIA,WILLIAM,JOSE,,20210314,M,LOPEZ,GARCIA,MARIA,ELENA,20,20210514,PMC").split(',');
}

QByteArray validFile(int records, int firstClient = 1001)
{
    QByteArray bytes;
    for (int i = 0; i < records; ++i)
        bytes += line(validFields(firstClient + i));
    return bytes;
}

// A file written here, or a path of its own kind ("<folder>"...); what it
// holds; and the box: its title, its start, then what it says of the cause.
struct Unreadable { QString name; QByteArray bytes; QString title, message; };

QStringList loaded() { return rows("SELECT * FROM IIS_LOADED_CHILD_ALL ORDER BY rowid"); }

// How loading the file ended: nothing when it was stored, else its refusal.
std::optional<FileRefused> load(const QString& file)
{
    return thrown<FileRefused>([&] { clsProcessResultsFile().ReadResults(file); });
}

} // namespace

class TestImport : public SessionTest {
    Q_OBJECT
private slots:
    void init()
    {
        SessionTest::init();
        // A previous load that every refused file must leave whole.
        QVERIFY(!load(s->db.writeFile("previous.txt", validFile(3, 500))));
        previous = loaded();
        QCOMPARE(previous.size(), 3);
        QCOMPARE(s->host.progressTexts.last(), QStringLiteral("Reading results file...."));
    }

    void invalidRecordMessages_data()
    {
        // Edits of the third record, "field=value" ("-" drops its last field), and
        // the errors told (none: the file is valid).
        QTest::addColumn<QStringList>("edits");
        QTest::addColumn<QString>("errors");
        QTest::newRow("13-digit client") << QStringList{"0=1234567890123"} << "Invalid client IDClient ID is not valid number";
        QTest::newRow("client 12 long with blanks") << QStringList{"0= 1234567890 "} << "";
        QTest::newRow("client with leading zeros") << QStringList{"0=  0042 ", "6=20210314 "} << "";
        QTest::newRow("client 13 long with blanks") << QStringList{"0=  1234567890 "} << "Invalid client ID";
        QTest::newRow("client A12") << QStringList{"0=A12"} << "Client ID is not valid number";
        QTest::newRow("client empty") << QStringList{"0="} << "Client ID is not valid number";
        QTest::newRow("client blanks only") << QStringList{"0=   "} << "Client ID is not valid number";
        QTest::newRow("client a fraction") << QStringList{"0=12.5"} << "";
        QTest::newRow("client negative") << QStringList{"0=-7"} << "";
        QTest::newRow("client largest") << QStringList{"0=2147483647"} << "";
        QTest::newRow("client whose whole part fits") << QStringList{"0=2147483647.9"} << "";
        QTest::newRow("client smallest") << QStringList{"0=-2147483648"} << "";
        QTest::newRow("client too large") << QStringList{"0=2147483648"} << "Client ID is not valid number";
        QTest::newRow("client rounded down below range") << QStringList{"0=-2147483648.5"} << "Invalid client IDClient ID is not valid number";
        QTest::newRow("client not a number") << QStringList{"0=nan"} << "Client ID is not valid number";
        QTest::newRow("client infinity") << QStringList{"0=inf"} << "Client ID is not valid number";
        QTest::newRow("lower-case flag") << QStringList{"1=y"} << "\rInvalid questionable match (potential duplicate) flag.";
        QTest::newRow("empty flag") << QStringList{"1="} << "";
        QTest::newRow("flag with blanks") << QStringList{"1= Y "} << "";
        QTest::newRow("last name 41") << QStringList{"2=" + QString(41, QLatin1Char('A'))} << "\rInvalid Last Name";
        QTest::newRow("last name 40") << QStringList{"2=" + QString(40, QLatin1Char('A'))} << "";
        QTest::newRow("suffix 11") << QStringList{"5=JRJRJRJRJRJ"} << "\rInvalid Name Suffix";
        QTest::newRow("dob 7") << QStringList{"6=2021031"} << "\rInvalid Date of Birth";
        QTest::newRow("dob of 8 characters") << QStringList{"6=2001-1-1"} << "";
        QTest::newRow("empty sex") << QStringList{"7="} << "\rInvalid sex";
        QTest::newRow("lower-case sex") << QStringList{"7=m"} << "\rInvalid sex";
        QTest::newRow("vaccine 5") << QStringList{"12=12345"} << "\rInvalid Vaccine ID";
        QTest::newRow("vaccine 4") << QStringList{"12=1234"} << "";
        QTest::newRow("vaccination date 9") << QStringList{"13=202105140"} << "\rInvalid Immunization Date";
        QTest::newRow("manufacturer 4") << QStringList{"14=PMCX"} << "\rInvalid vaccine manufacturer";
        QTest::newRow("letters outside the basic plane count once")
            << QStringList{"3=" + QString(39, QLatin1Char('A')) + QString::fromUcs4(U"\U0001F600")} << "";
        QTest::newRow("mother's maiden name checked before the sex")
            << QStringList{"7=X", "8=" + QString(41, QLatin1Char('M'))} << "\rInvalid Mother Maiden Name\rInvalid sex";
        QTest::newRow("a short line is its own fault") << QStringList{"-"} << "\rInvalid number of fields";
    }

    void invalidRecordMessages()
    {
        QFETCH(QStringList, edits);
        QFETCH(QString, errors);
        QStringList fields = validFields();
        for (const QString& edit : edits)
            if (edit == QLatin1String("-"))
                fields.removeLast();
            else
                fields[edit.section('=', 0, 0).toInt()] = edit.section('=', 1);
        const auto refused = load(s->db.writeFile("r.txt", validFile(2) + line(fields) + validFile(1)));
        QCOMPARE(refused.has_value(), !errors.isEmpty());
        if (!refused) {
            // Stored as written but trimmed; an empty value is empty, never missing.
            for (QString& field : fields)
                field = field.trimmed();
            QCOMPARE(loaded().size(), 4);
            QCOMPARE(loaded().value(2), fields.join(QLatin1Char('|')));
            return;
        }
        QCOMPARE(refused->title(), QStringLiteral("Invalid Results File"));
        QCOMPARE(refused->text(), "Record number 3 has the following errors:\r" + errors);
        QCOMPARE(loaded(), previous);
    }

    void unreadableFilesGiveError_data()
    {
        QTest::addColumn<Unreadable>("c");
        const QString error = QStringLiteral("Error reading results file.");
        const QStringList fourteen = validFields().mid(0, 14), sixteen = validFields() << QStringLiteral("X");
        QTest::newRow("14 fields") << Unreadable{"r.txt", line(fourteen) + validFile(2), "Data Format Error", "14 field(s) found in the data."};
        QTest::newRow("16 fields") << Unreadable{"r.txt", line(sixteen) + validFile(2), "Data Format Error", "16 field(s) found in the data."};
        QTest::newRow("one field") << Unreadable{"r.txt", QByteArray("hello\n") + validFile(2), "Data Format Error", "1 field(s) found in the data."};
        QTest::newRow("empty") << Unreadable{"empty.txt", QByteArray(), "Error", error + "no records"};
        QTest::newRow("only line ends") << Unreadable{"blank.txt", QByteArray("\r\n\r\n\n"), "Error", error + "no records"};
        QTest::newRow("missing") << Unreadable{"<missing>", QByteArray(), "Error", error + "File not found"};
        QTest::newRow("unclosed quote") << Unreadable{"quote.txt", validFile(1) + "1,N,\"GARCIA,W", "Error", error + "quoted value"};
        // Nothing that could block or never end is read, nor anything far too large.
        QTest::newRow("folder") << Unreadable{"<folder>", QByteArray(), "Error", error + "not a regular file"};
        QTest::newRow("endless device") << Unreadable{"/dev/zero", QByteArray(), "Error", error + "not a regular file"};
        QTest::newRow("pipe without a writer") << Unreadable{"<fifo>", QByteArray(), "Error", error + "not a regular file"};
        QTest::newRow("over 64 MiB") << Unreadable{"<huge>", QByteArray(), "Error", error + "larger than 64 MiB"};
    }

    void unreadableFilesGiveError()
    {
        QFETCH(Unreadable, c);
        const auto& [name, bytes, title, message] = c;
        QString file = s->db.folder() + QLatin1Char('/') + name.mid(1, name.size() - 2);
        if (name == QLatin1String("<folder>")) {
            QVERIFY(QDir().mkpath(file));
        } else if (name == QLatin1String("<fifo>")) {
            QCOMPARE(::mkfifo(QFile::encodeName(file).constData(), 0600), 0);
        } else if (name == QLatin1String("<huge>")) {
            QFile huge(s->db.writeFile("huge.txt", validFile(1)));
            QVERIFY(huge.resize(64 * 1024 * 1024 + 1)); // sparse: no time spent writing it
            file = huge.fileName();
        } else if (name.startsWith(QLatin1Char('/'))) {
            file = name;
        } else if (name != QLatin1String("<missing>")) {
            file = s->db.writeFile(name, bytes);
        }
        const std::optional<FileRefused> refused = load(file);
        QVERIFY(refused);
        // The batch ends with its own code for a refused results file.
        QCOMPARE(refused->role(), FileRefused::Role::Results);
        QCOMPARE(refused->title(), title);
        const QString start = message.left(message.indexOf(QLatin1Char('.')) + 1);
        QVERIFY2(refused->text().startsWith(start), refused->what());
        QVERIFY2(refused->text().contains(message.mid(start.size())), refused->what());
        QCOMPARE(loaded(), previous);
    }

    void encodingsAndLineEnds()
    {
        // Byte-order mark, a quoted comma in the first record, CRLF, a lone CR, LF, no final line end.
        QByteArray bytes("\xEF\xBB\xBF" "1,N,\"GARCIA, JR\",ANA,,,20200101,F,,,,,08,20200101,MSD\r\n");
        bytes += QByteArray("2,N,MU\xC3\x91OZ,ANA,,,20200101,F,,,,,08,20200101,MSD\r");
        bytes += QByteArray("3,N,O'BRIEN,ANA,,,20200101,F,,,,,08,20200101,MSD\n\n");
        bytes += QByteArray("4,N,PE\xC3\x91" "A,ANA,,,20200101,F,,,,,08,20200101,MSD");
        QVERIFY(!load(s->db.writeFile("r.txt", bytes)));
        QCOMPARE(rows("SELECT ClientID, LastName FROM IIS_LOADED_CHILD_ALL ORDER BY rowid"),
                 QStringList({"1|GARCIA, JR", "2|MU\u00D1OZ", "3|O'BRIEN", "4|PE\u00D1A"}));
        // Not valid UTF-8 as a whole: the file is read as Windows-1252.
        QVERIFY(!load(s->db.writeFile("w.txt", "7,N,MU\xD1OZ,ANA,,,20200101,F,O\x92NEIL,,,,08,20200101,MSD\r\n")));
        // The other encodings (UTF-16 by its byte-order mark) are the reader's: tests/database.
        QCOMPARE(rows("SELECT LastName, MomMaiden FROM IIS_LOADED_CHILD_ALL"), QStringList({"MU\u00D1OZ|O\u2019NEIL"}));
    }

    // A first line of the field names, as the step 2 page gives them, in any case
    // and spacing and without the hints, is no record; one name off, and it is.
    void headerRow()
    {
        const QByteArray names = "ClientID,PotentialMatchFlag (Y/N),LastName,FirstName,MiddleName,NameSuffix,DateOfBirth(yyyymmdd),"
                                 "Sex(M/F/U),MotherMaiden,MotherLast,MotherFirst,MotherMiddle,VaccineCode (CVX),"
                                 "VaccinationDate(yyyymmdd),VaccineManufacturer (MVX)";
        const QByteArray squeezed = "clientid, POTENTIAL MATCH FLAG ,lastname,firstname,middlename,namesuffix,Date Of Birth,sex,mothermaiden,"
                                    "motherlast,motherfirst,mothermiddle,vaccinecode,vaccinationdate,vaccinemanufacturer";
        for (const auto& [header, loads] : {std::pair{names, true}, {squeezed, true}, {QByteArray(names).replace("MotherLast", "MotherSurname"), false}}) {
            const QStringList before = loaded();
            const std::optional<FileRefused> refused = load(s->db.writeFile("h.txt", header + "\r\n" + validFile(2)));
            QCOMPARE(refused.has_value(), !loads);
            QCOMPARE(loaded(), loads ? (QStringList{line(validFields(1001)).trimmed(), line(validFields(1002)).trimmed()}).replaceInStrings(",", "|") : before);
            QVERIFY(loads || refused->text().startsWith("Record number 1 has the following errors:"));
        }
    }

    void databaseFaultsAreNotBlamedOnTheFile_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("code");
        QTest::newRow("disk full") << "PRAGMA max_page_count = %1" << 13;
        QTest::newRow("read-only") << "PRAGMA query_only = ON" << 8;
        QTest::newRow("in use by another program") << "BEGIN EXCLUSIVE" << 5;
    }

    void databaseFaultsAreNotBlamedOnTheFile()
    {
        QFETCH(QString, fault);
        QFETCH(int, code);
        std::optional<ForeignLock> lock;
        if (code == 5)
            lock.emplace(s->db.path());
        else
            run(fault.arg(scalar("PRAGMA page_count", "page_count").toLongLong()));
        const QString file = s->db.writeFile("r.txt", validFile(400));
        const auto reported = thrown<DatabaseFault>([&] { clsProcessResultsFile().ReadResults(file); });
        QVERIFY(reported);
        QCOMPARE(reported->number() & 0xff, code);
        QVERIFY2(!reported->plainCause().contains(QLatin1String("INSERT")), qPrintable(reported->plainCause()));
        lock.reset();
        run("PRAGMA query_only = OFF");
        run("PRAGMA max_page_count = 1073741823");
        QCOMPARE(loaded(), previous);
    }

    void recordLimit()
    {
        QVERIFY(!load(s->db.writeFile("max.txt", validFile(32767))));
        QCOMPARE(countRows("IIS_LOADED_CHILD_ALL"), 32767);
        const std::optional<FileRefused> refused = load(s->db.writeFile("over.txt", validFile(32768, 1)));
        QVERIFY(refused);
        QVERIFY(refused->text().startsWith("Error reading results file.Overflow: the file holds more than 32767"));
        QCOMPARE(countRows("IIS_LOADED_CHILD_ALL"), 32767);
    }

    void fuzzedFilesEndInOneOfThreeOutcomes()
    {
        QRandomGenerator rng(20021);
        const QByteArray base = validFile(6);
        const QByteArray alphabet(",\"\r\n Y N M F 0123456789AZaz'\xC3\xD1\x92\xEF\xBB\xBF\xFF\xFE");
        int accepted = 0, refusals = 0;
        // A short run by default; MARROWICK_FUZZ_ROUNDS asks for a longer one.
        const int rounds = qEnvironmentVariableIsSet("MARROWICK_FUZZ_ROUNDS") ? qEnvironmentVariableIntValue("MARROWICK_FUZZ_ROUNDS") : 300;
        for (int round = 0; round < rounds; ++round) {
            QByteArray bytes = base;
            const int edits = 1 + int(rng.bounded(8));
            for (int e = 0; e < edits; ++e) {
                const int at = int(rng.bounded(quint32(bytes.size() + 1)));
                const char c = alphabet[int(rng.bounded(quint32(alphabet.size())))];
                switch (rng.bounded(3)) {
                case 0: bytes.insert(at, c); break;
                case 1: if (at < bytes.size()) bytes.remove(at, 1); break;
                default: if (at < bytes.size()) bytes[at] = c; break;
                }
            }
            if (round % 10 == 0) // now and then pure noise
                for (auto& b : bytes)
                    b = char(rng.bounded(256));
            const QStringList before = loaded();
            const std::optional<FileRefused> refused = load(s->db.writeFile("f.txt", bytes));
            if (!refused) {
                ++accepted;
                // The new file, whole: as many rows as it has non-empty lines.
                int lines = 0;
                for (const QByteArray& l : bytes.split('\n'))
                    for (const QByteArray& part : l.split('\r'))
                        lines += !part.isEmpty();
                QVERIFY2(countRows("IIS_LOADED_CHILD_ALL") <= lines, bytes.constData());
                QVERIFY(countRows("IIS_LOADED_CHILD_ALL") > 0);
            } else {
                ++refusals;
                const QStringList titles{"Data Format Error", "Invalid Results File", "Error"};
                QVERIFY2(titles.contains(refused->title()), refused->what());
                QCOMPARE(loaded(), before);
            }
        }
        QVERIFY(accepted > rounds / 50);
        QVERIFY(refusals > rounds / 50);
    }

private:
    QStringList previous;
};

QTEST_GUILESS_MAIN(TestImport)
#include "test_import.moc"
