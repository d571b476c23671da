#include "FakePlatform.h"
#include "TestDatabase.h"
#include "database/CsvReader.h"
#include "export/DeckExport.h"
#include "gendeck/DeckGenerator.h"
#include "import/clsProcessResultsFile.h"
#include "shell/PageTexts.h"
#include "shell/WizardPage.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

using namespace marrowick;
using namespace marrowick::test;

namespace {

const QString kSource = QStringLiteral(MARROWICK_SOURCE_DIR);

using Row = QHash<QString, QString>;

QList<Row> csvRows(const QString& name)
{
    CsvReader reader(CsvReader::decode(fileBytes(kSource + "/data/" + name)));
    QStringList header, values;
    reader.next(header);
    QList<Row> rows;
    while (reader.next(values)) {
        Row row;
        for (qsizetype i = 0; i < header.size(); ++i)
            row.insert(header[i], values.value(i));
        rows << row;
    }
    return rows;
}

// An HL7 reader of our own, independent of the writer: a message is a list of
// segments, a segment a list of fields (MSH-1 counted), each kept raw.
struct Segment {
    QString name;
    QStringList fields; // fields[n] is field n
    QString raw(int n) const { return fields.value(n); }
    QString component(int n, int c, int s = 1) const
    {
        const QString f = raw(n).split(QLatin1Char('~')).value(0);
        return unescape(f.split(QLatin1Char('^')).value(c - 1).split(QLatin1Char('&')).value(s - 1));
    }
    QString value(int n) const { return component(n, 1); }
    static QString unescape(const QString& text)
    {
        static const QHash<QString, QString> codes{{"F", "|"}, {"S", "^"}, {"R", "~"}, {"E", "\\"}, {"T", "&"}};
        QString out;
        for (qsizetype i = 0; i < text.size(); ++i) {
            const qsizetype end = text[i] == u'\\' ? text.indexOf(u'\\', i + 1) : -1;
            if (end > i && codes.contains(text.mid(i + 1, end - i - 1))) {
                out += codes.value(text.mid(i + 1, end - i - 1));
                i = end;
            } else {
                out += text[i];
            }
        }
        return out;
    }
};

QList<Segment> parseSegments(const QByteArray& bytes)
{
    QList<Segment> segments;
    const QString text = QString::fromUtf8(bytes);
    if (!text.endsWith(QLatin1Char('\r')) || text.contains(QLatin1Char('\n')))
        return {};
    for (const QString& line : text.split(QLatin1Char('\r'), Qt::SkipEmptyParts)) {
        Segment s;
        s.name = line.left(3);
        s.fields = line.split(QLatin1Char('|'));
        if (s.name == QLatin1String("MSH") || s.name == QLatin1String("FHS") || s.name == QLatin1String("BHS"))
            s.fields.insert(1, QStringLiteral("|")); // the separator is field 1
        segments << s;
    }
    return segments;
}

using Message = QHash<QString, Segment>;

QList<Message> messagesOf(const QList<Segment>& segments)
{
    QList<Message> messages;
    for (const Segment& s : segments) {
        if (s.name == QLatin1String("MSH"))
            messages << Message{};
        if (!messages.isEmpty() && !QStringList{"FHS", "BHS", "BTS", "FTS"}.contains(s.name))
            messages.last().insert(s.name, s);
    }
    return messages;
}

QStringList names(const QList<Segment>& segments)
{
    QStringList list;
    for (const Segment& s : segments)
        list << s.name;
    return list;
}

} // namespace

class TestDeckExport : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        host = std::make_unique<FakePlatform>();
        deck = csvRows("DupTestData.csv");
        const QList<Row> vaccinations = csvRows("DupTestVaccination.csv");
        const QList<Row> sent = csvRows("DupTestSubmission.csv");
        QCOMPARE(deck.size(), 550);
        QCOMPARE(vaccinations.size(), 550);
        QCOMPARE(sent.size(), 550);
        for (int i = 0; i < 550; ++i) {
            deck[i].insert(vaccinations[i]);
            deck[i].insert(sent[i]);
        }
    }

    void generatorReproducesTheSubmissions()
    {
        const deck::DeckData data = deck::DeckData::load(kSource + "/tools/deckdata");
        deck::DeckGenerator generator(data, 20020625);
        QVERIFY(deck::DeckGenerator::renderSubmissions(generator.generate(), data) == fileBytes(kSource + "/data/DupTestSubmission.csv"));
    }

    void hl7RoundTripsEveryRecord()
    {
        const QDateTime stamp(QDate(2026, 3, 4), QTime(5, 6, 7));
        const QByteArray bytes = exportDeck({DeckFormat::Hl7, u'T', stamp});
        QCOMPARE(exportDeck({DeckFormat::Hl7, u'T', stamp}), bytes);
        const QList<Segment> segments = parseSegments(bytes);
        QVERIFY(!segments.isEmpty());
        QCOMPARE(names(segments).mid(0, 2), (QStringList{"FHS", "BHS"}));
        QCOMPARE(names(segments).mid(segments.size() - 2), (QStringList{"BTS", "FTS"}));
        QCOMPARE(segments[segments.size() - 2].value(1), QStringLiteral("550"));
        QCOMPARE(segments.last().value(1), QStringLiteral("1"));
        QCOMPARE(names(segments).join(' ').count(QStringLiteral("MSH")), 550);

        const QList<Message> messages = messagesOf(segments);
        QCOMPARE(messages.size(), 550);
        QSet<QString> controlIds;
        int apostrophes = 0, historical = 0, placeholdersWithoutOrder = 0;
        for (int i = 0; i < 550; ++i) {
            const Row& r = deck[i];
            const Message& m = messages[i];
            const Segment &msh = m["MSH"], &pid = m["PID"], &rxa = m["RXA"];
            const QString id = r["ID"];
            QCOMPARE(msh.raw(2), QStringLiteral("^~\\&"));
            QCOMPARE(msh.raw(9), QStringLiteral("VXU^V04^VXU_V04"));
            QCOMPARE(msh.raw(11), QStringLiteral("T"));
            QCOMPARE(msh.raw(12), QStringLiteral("2.5.1"));
            QCOMPARE(msh.raw(21), QStringLiteral("Z22^CDCPHINVS"));
            QCOMPARE(msh.value(4), r["FacilityID"]);
            QCOMPARE(msh.component(22, 1), r["FacilityName"]);
            controlIds << msh.value(10);

            QCOMPARE(pid.component(3, 1), r["MRN"]);
            QCOMPARE(pid.component(3, 4), r["FacilityID"]);
            QCOMPARE(pid.component(3, 5), QStringLiteral("MR"));
            const QStringList name{pid.component(5, 1), pid.component(5, 2), pid.component(5, 3), pid.component(5, 4),
                                   pid.component(5, 7)};
            QCOMPARE(name, (QStringList{r["LastName"], r["FirstName"], r["MiddleName"], r["Suffix"], "L"}));
            apostrophes += pid.raw(5).contains(QLatin1Char('\''));
            QCOMPARE(pid.component(6, 1), r["MomMaiden"]);
            if (!r["MomMaiden"].isEmpty())
                QCOMPARE(pid.component(6, 7), QStringLiteral("M"));
            QCOMPARE(pid.value(7), r["DOB"]);
            QCOMPARE(pid.value(8), r["Sex"]);
            QCOMPARE((QStringList{pid.component(11, 1), pid.component(11, 3), pid.component(11, 4), pid.component(11, 5)}),
                     (QStringList{r["Street"], r["City"], r["State"], r["Zip"]}));
            QCOMPARE(pid.component(13, 6) + pid.component(13, 7), r["Phone"]);
            QCOMPARE(pid.value(24), r["MultipleBirth"]);
            QCOMPARE(pid.value(25), r["BirthOrder"]);
            placeholdersWithoutOrder += r["MultipleBirth"] == "Y" && pid.value(25).isEmpty();

            if (r["MomLast"].isEmpty() && r["MomFirst"].isEmpty()) {
                QVERIFY(!m.contains("NK1"));
            } else {
                QCOMPARE(m["NK1"].raw(3), QStringLiteral("MTH^Mother^HL70063"));
                QCOMPARE((QStringList{m["NK1"].component(2, 1), m["NK1"].component(2, 2), m["NK1"].component(2, 3), m["NK1"].component(2, 7)}),
                         (QStringList{r["MomLast"], r["MomFirst"], r["MomMiddle"], "L"}));
            }
            QCOMPARE(m["ORC"].value(1), QStringLiteral("RE"));

            QCOMPARE(rxa.value(3), r["VacDate"]);
            QCOMPARE(rxa.component(5, 1) + "/" + rxa.component(5, 3), r["VacCode"] + "/CVX");
            QCOMPARE(rxa.component(17, 1) + "/" + rxa.component(17, 3), r["VacMfr"] + "/MVX");
            QCOMPARE(rxa.value(15), r["LotNumber"]);
            QCOMPARE(rxa.value(20), QStringLiteral("CP"));
            const bool old = r["Historical"] == "Y";
            historical += old;
            QCOMPARE(rxa.component(9, 1), old ? QStringLiteral("01") : QStringLiteral("00"));
            QCOMPARE(rxa.component(9, 3), QStringLiteral("NIP001"));
            QCOMPARE(m.contains("RXR"), !old);
            if (!old)
                QVERIFY2(m["RXR"].component(1, 3) == "NCIT" && (m["RXR"].raw(2).isEmpty() == (m["RXR"].value(1) == "C38288")), qPrintable(id));

        }
        QCOMPARE(controlIds.size(), 550);
        QVERIFY(apostrophes > 0);
        QVERIFY(historical > 0 && historical < 275);
        QVERIFY(placeholdersWithoutOrder > 0);
        QVERIFY(bytes.contains("ST. BRIGID'S CHILDREN \\T\\ FAMILY CLINIC"));

        const QByteArray production = exportDeck({DeckFormat::Hl7, u'P', stamp});
        QCOMPARE(messagesOf(parseSegments(production))[0]["MSH"].raw(11), QStringLiteral("P"));
        QVERIFY(messagesOf(parseSegments(exportDeck({DeckFormat::Hl7, u'T', stamp.addSecs(1)})))[0]["MSH"].value(10)
                != messages[0]["MSH"].value(10));
    }

    void escapesReadBack()
    {
        const QString nasty = QStringLiteral("O'NEIL-SMITH | A^B ~ C \\ D & E");
        QCOMPARE(Segment::unescape(hl7Escape(nasty)), nasty);
        QVERIFY(!hl7Escape(nasty).contains(QRegularExpression(QStringLiteral("[|^~&]"))));
    }

    // Children of one birth share their home; each knows its place in the birth.
    void twinsShareTheirHome()
    {
        QHash<QString, const Row*> byId;
        for (const Row& r : deck)
            byId.insert(r["ID"], &r);
        int pairs = 0;
        for (const Row& r : deck) {
            const QRegularExpressionMatch twin = QRegularExpression(QStringLiteral("^Twin of record (\\d+)\\b")).match(r["notes"]);
            if (!twin.hasMatch())
                continue;
            const Row& other = *byId.value(twin.captured(1));
            ++pairs;
            QCOMPARE(r["MultipleBirth"], QStringLiteral("Y"));
            // Newborn names may lack the order; otherwise the two are 1 and 2.
            if (!r["FirstName"].startsWith("BABY"))
                QVERIFY((QSet<QString>{r["BirthOrder"], other["BirthOrder"]}) == (QSet<QString>{"1", "2"}));
            else
                QVERIFY(r["BirthOrder"].isEmpty() || r["BirthOrder"] != other["BirthOrder"]);
            for (const char* field : {"Street", "City", "Zip", "Phone"})
                QCOMPARE(r[field], other[field]);
            QVERIFY(r["MRN"] != other["MRN"]);
        }
        QVERIFY(pairs >= 4);
    }

    // Every record of one child keeps the home unless the family moved; the
    // same clinic keeps the number.
    void duplicatesKeepHomeAndNumber()
    {
        QHash<QString, const Row*> byId;
        for (const Row& r : deck)
            byId.insert(r["ID"], &r);
        int sameClinic = 0, otherClinic = 0;
        for (const Row& group : csvRows("Answer_Sheet.csv")) {
            const Row* base = byId.value(group["rec_1"]);
            for (const char* slot : {"rec_2", "rec_3", "rec_4", "rec_5"}) {
                const Row* dup = byId.value(group[slot]);
                if (!dup)
                    continue;
                const bool moved = (*dup)["ProblemCode"] == QLatin1String("FAMILY_MOVED");
                QCOMPARE((*dup)["Street"] + (*dup)["Phone"] == (*base)["Street"] + (*base)["Phone"], !moved);
                const bool same = (*dup)["FacilityID"] == (*base)["FacilityID"];
                (same ? sameClinic : otherClinic)++;
                QCOMPARE((*dup)["MRN"] == (*base)["MRN"], same);
            }
        }
        QVERIFY(sameClinic > 20 && otherClinic > 20);
    }

    void flatFiles()
    {
        QCOMPARE(exportDeck({DeckFormat::Txt}), fileBytes(kSource + "/data/DupTestData.txt"));
        const QStringList txt = QString::fromUtf8(fileBytes(kSource + "/data/DupTestData.txt")).split("\r\n", Qt::SkipEmptyParts);
        CsvReader reader(CsvReader::decode(exportDeck({DeckFormat::Csv})));
        QStringList values;
        QVERIFY(reader.next(values));
        QCOMPARE(values.mid(0, 13), (QStringList{"LastName", "FirstName", "MiddleName", "NameSuffix", "DateOfBirth (yyyymmdd)",
                                                 "Sex (M/F/U)", "MotherMaiden", "MotherLast", "MotherFirst", "MotherMiddle",
                                                 "VaccineCode (CVX)", "VaccinationDate (yyyymmdd)", "VaccineManufacturer (MVX)"}));
        QCOMPARE(values.mid(13), (QStringList{"FacilityID", "FacilityName", "MedicalRecordNumber", "Street", "City", "State", "ZIP",
                                              "Phone", "MultipleBirth (Y/N)", "BirthOrder", "LotNumber", "Historical (Y/N)"}));
        for (int i = 0; i < 550; ++i) {
            QVERIFY(reader.next(values));
            QCOMPARE(values.mid(0, 13).join(','), txt[i]);
            QCOMPARE(values[15], deck[i]["MRN"]);
        }
        QVERIFY(!reader.next(values));
    }

    void resultsFileHeader_data()
    {
        QTest::addColumn<QByteArray>("header");
        QTest::addColumn<bool>("loads");
        const QByteArray names = "ClientID,PotentialMatchFlag (Y/N),LastName,FirstName,MiddleName,NameSuffix,DateOfBirth(yyyymmdd),"
                                 "Sex(M/F/U),MotherMaiden,MotherLast,MotherFirst,MotherMiddle,VaccineCode (CVX),"
                                 "VaccinationDate(yyyymmdd),VaccineManufacturer (MVX)";
        QTest::newRow("as on the page") << names << true;
        QTest::newRow("any case and spacing, no hints")
            << QByteArray("clientid, POTENTIAL MATCH FLAG ,lastname,firstname,middlename,namesuffix,Date Of Birth,sex,mothermaiden,"
                          "motherlast,motherfirst,mothermiddle,vaccinecode,vaccinationdate,vaccinemanufacturer")
            << true;
        QTest::newRow("fourteen names") << QByteArray(names).replace("MotherLast", "MotherSurname") << false;
    }

    void resultsFileHeader()
    {
        QFETCH(QByteArray, header);
        QFETCH(bool, loads);
        TestDatabase db;
        const QString path = db.writeFile("results.txt", header + "\r\n1,N,SMITH,ANA,,,20200101,F,,,,,08,20200102,MSD\r\n"
                                                                  "2,Y,O'NEIL,BO,,,20200101,M,,,,,08,20200102,MSD\r\n");
        QCOMPARE(clsProcessResultsFile().ReadResults(path), loads);
        if (loads)
            QCOMPARE(rows("SELECT ClientID, LastName FROM IIS_LOADED_CHILD_ALL ORDER BY ClientID"), (QStringList{"1|SMITH", "2|O'NEIL"}));
        else
            QVERIFY(host->showedOne("Invalid Results File", "Record number 1 has the following errors:", MsgIcon::Critical, true));
        host->takeShown();
    }

    void batchCommand()
    {
        QTemporaryDir dir;
        const QString batch = QStringLiteral(MARROWICK_BIN_DIR "/marrowick-batch");
        auto run = [&](const QStringList& args) {
            QProcess p;
            p.start(batch, args);
            p.waitForFinished(60000);
            return std::pair{p.exitCode(), p.readAllStandardOutput()};
        };
        QCOMPARE(run({"deck"}), (std::pair{0, fileBytes(kSource + "/data/DupTestData.txt")}));
        QCOMPARE(run({"deck", "--format", "csv"}).second, exportDeck({DeckFormat::Csv}));
        const QString out = dir.filePath("deck.hl7");
        QCOMPARE(run({"deck", "--format", "hl7", "--processing-id", "P", "--output", out}).first, 0);
        const QList<Message> messages = messagesOf(parseSegments(fileBytes(out)));
        QCOMPARE(messages.size(), 550);
        QCOMPARE(messages[0]["MSH"].raw(11), QStringLiteral("P"));
        QCOMPARE(run({"deck", "--format", "xml"}).first, 2);
        QCOMPARE(run({"deck", "--processing-id", "D"}).first, 2);
        QCOMPARE(run({"deck", "--output", dir.filePath("no/such/folder/x.txt")}).first, 3);
    }

    void stepOneSavesTheDeck()
    {
        QTemporaryDir dir;
        frmStep1 page;
        QCOMPARE(page.textBox->toPlainText(), PageTexts::Step1().replace("\r\n", "\n"));
        QCOMPARE(page.btnSaveTestData->text(), QStringLiteral("&Save test data\u2026"));
        const QString csv = dir.filePath("deck.csv");
        host->fileAnswers = QStringList{QString(), csv};
        page.btnSaveTestData->click();
        QVERIFY(!QFileInfo::exists(csv));
        page.btnSaveTestData->click();
        QCOMPARE(fileBytes(csv), exportDeck({DeckFormat::Csv}));
        QCOMPARE(host->lastFilters.value(0).section('/', -1), QStringLiteral("DupTestData.txt"));
        host->fileAnswers = QStringList{dir.filePath("deck.hl7")};
        page.btnSaveTestData->click();
        QVERIFY(fileBytes(dir.filePath("deck.hl7")).startsWith("FHS|^~\\&|"));
        QVERIFY(host->takeShown().isEmpty());
    }

    void cleanupTestCase() { host.reset(); }

private:
    std::unique_ptr<FakePlatform> host;
    QList<Row> deck;
};

QTEST_MAIN(TestDeckExport)
#include "test_deck_export.moc"
