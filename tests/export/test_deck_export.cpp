#include "Suite.h"
#include "export/DeckExport.h"
#include "shell/WizardPage.h"

#include <QApplication>
#include <QPushButton>
#include <QSet>

namespace {

using Row = QHash<QString, QString>;

QList<Row> csvRows(const QString& name)
{
    const QList<QStringList> records = csvRecords(sourceBytes("data/" + name));
    QList<Row> rows;
    for (const QStringList& values : records.mid(1)) {
        Row& row = rows.emplace_back();
        for (qsizetype i = 0; i < records[0].size(); ++i)
            row.insert(records[0][i], values.value(i));
    }
    return rows;
}

// An HL7 reader of our own, independent of the writer: a segment is a list of
// fields (MSH-1 counted), each kept raw.
struct Segment {
    QString name;
    QStringList fields;
    QString raw(int n) const { return fields.value(n); }
    QString component(int n, int c, int s = 1) const
    {
        return unescape(raw(n).split(u'~').value(0).split(u'^').value(c - 1).split(u'&').value(s - 1));
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
                out += text[i] == u'\\' ? QChar::ReplacementCharacter : text[i]; // a bare escape character is a fault
            }
        }
        return out;
    }
};
using Message = QHash<QString, Segment>;

// The segments' names, and the messages (from each MSH) by segment name.
std::pair<QStringList, QList<Message>> parse(const QByteArray& bytes)
{
    const QString text = QString::fromUtf8(bytes);
    if (!text.endsWith(u'\r') || text.contains(u'\n'))
        return {};
    QStringList names;
    QList<Message> messages;
    for (const QString& line : text.split(u'\r', Qt::SkipEmptyParts)) {
        Segment s{line.left(3), line.split(u'|')};
        names << s.name;
        if (QStringList{"MSH", "FHS", "BHS"}.contains(s.name))
            s.fields.insert(1, QStringLiteral("|")); // the separator is field 1
        if (s.name == QLatin1String("MSH"))
            messages << Message{};
        if (!messages.isEmpty() && !QStringList{"BTS", "FTS"}.contains(s.name))
            messages.last().insert(s.name, s);
        else if (s.name != QLatin1String("FHS") && s.name != QLatin1String("BHS"))
            names.last() += QLatin1Char(' ') + s.value(1); // the trailers' counts
    }
    return {names, messages};
}

} // namespace

class TestDeckExport : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        host = std::make_unique<FakePlatform>();
        deck = csvRows("DupTestData.csv");
        const QList<Row> vaccinations = csvRows("DupTestVaccination.csv"), sent = csvRows("DupTestSubmission.csv");
        QVERIFY(deck.size() == 550 && vaccinations.size() == 550 && sent.size() == 550);
        for (int i = 0; i < 550; ++i)
            deck[i].insert(vaccinations[i]), deck[i].insert(sent[i]);
    }

    void hl7RoundTripsEveryRecord()
    {
        const QDateTime stamp(QDate(2026, 3, 4), QTime(5, 6, 7));
        const QByteArray bytes = exportDeck({DeckFormat::Hl7, u'T', stamp});
        QCOMPARE(exportDeck({DeckFormat::Hl7, u'T', stamp}), bytes);
        const auto [names, messages] = parse(bytes);
        QCOMPARE(messages.size(), 550);
        QCOMPARE(names.mid(0, 2) + names.mid(names.size() - 2), (QStringList{"FHS", "BHS", "BTS 550", "FTS 1"}));
        QSet<QString> controlIds;
        int apostrophes = 0, historical = 0, placeholdersWithoutOrder = 0;
        for (int i = 0; i < 550; ++i) {
            const Row& r = deck[i];
            const Message& m = messages[i];
            const Segment &msh = m["MSH"], &pid = m["PID"], &rxa = m["RXA"], &nk1 = m["NK1"], &rxr = m["RXR"];
            controlIds << msh.value(10);
            const bool old = r["Historical"] == "Y", mother = !r["MomLast"].isEmpty() || !r["MomFirst"].isEmpty();
            const QStringList got{msh.raw(2), msh.raw(9), msh.raw(11), msh.raw(12), msh.raw(21), msh.value(4), msh.component(22, 1),
                pid.component(3, 1), pid.component(3, 4), pid.component(3, 5), pid.component(5, 1), pid.component(5, 2),
                pid.component(5, 3), pid.component(5, 4), pid.component(5, 7), pid.component(6, 1), pid.component(6, 2),
                r["MomMaiden"].isEmpty() ? "" : pid.component(6, 7), pid.value(7), pid.value(8), pid.component(11, 1),
                pid.component(11, 3), pid.component(11, 4), pid.component(11, 5), pid.component(13, 6) + pid.component(13, 7),
                pid.value(24), pid.value(25), QString::number(m.contains("NK1")), nk1.raw(3), nk1.component(2, 1),
                nk1.component(2, 2), nk1.component(2, 3), nk1.component(2, 7), m["ORC"].value(1), rxa.value(3),
                rxa.component(5, 1), rxa.component(5, 3), rxa.component(17, 1), rxa.component(17, 3), rxa.value(15),
                rxa.value(20), rxa.component(9, 1), rxa.component(9, 3), QString::number(m.contains("RXR"))};
            const QStringList want{"^~\\&", "VXU^V04^VXU_V04", "T", "2.5.1", "Z22^CDCPHINVS", r["FacilityID"], r["FacilityName"],
                r["MRN"], r["FacilityID"], "MR", r["LastName"], r["FirstName"], r["MiddleName"], r["Suffix"], "L", r["MomMaiden"],
                r["MomMaiden"].isEmpty() ? "" : r["MomFirst"], r["MomMaiden"].isEmpty() ? "" : "M", r["DOB"], r["Sex"], r["Street"], r["City"], r["State"], r["Zip"], r["Phone"],
                r["MultipleBirth"], r["BirthOrder"], QString::number(mother), mother ? "MTH^Mother^HL70063" : "",
                r["MomLast"], r["MomFirst"], mother ? r["MomMiddle"] : "", mother ? "L" : "", "RE", r["VacDate"], r["VacCode"], "CVX",
                r["VacMfr"], "MVX", r["LotNumber"], "CP", old ? "01" : "00", "NIP001", QString::number(!old)};
            QCOMPARE(got, want);
            // Injections in the thigh before the third birthday, else the arm; odd IDs on the left.
            const QDate born = QDate::fromString(r["DOB"], "yyyyMMdd"), given = QDate::fromString(r["VacDate"], "yyyyMMdd");
            const QString site = rxr.value(1) == "C38288" ? QString()
                                                          : QString(r["ID"].toInt() % 2 ? "L" : "R") + (given < born.addYears(3) ? "T" : "A");
            if (!old)
                QVERIFY2(rxr.component(1, 3) == "NCIT" && rxr.value(2) == site, qPrintable(r["ID"]));
            apostrophes += pid.raw(5).contains(u'\'');
            historical += old;
            placeholdersWithoutOrder += r["MultipleBirth"] == "Y" && pid.value(25).isEmpty();
        }
        QCOMPARE(controlIds.size(), 550);
        QVERIFY(apostrophes > 0 && placeholdersWithoutOrder > 0 && historical > 0 && historical < 275);
        QVERIFY(bytes.contains("ST. BRIGID'S CHILDREN \\T\\ FAMILY CLINIC"));
        QVERIFY(parse(exportDeck({DeckFormat::Hl7, u'T', stamp.addSecs(1)})).second[0]["MSH"].value(10) != messages[0]["MSH"].value(10));
        const QString nasty = QStringLiteral("O'NEIL-SMITH | A^B ~ C \\ D & E");
        QCOMPARE(Segment::unescape(hl7Escape(nasty)), nasty);
        QVERIFY(!hl7Escape(nasty).contains(QRegularExpression(QStringLiteral("[|^~&]"))));
    }

    void csvHoldsTheTestFileAndMore()
    {
        const QStringList txt = QString::fromUtf8(sourceBytes("data/DupTestData.txt")).split("\r\n", Qt::SkipEmptyParts);
        const QList<QStringList> records = csvRecords(exportDeck({DeckFormat::Csv}));
        QCOMPARE(records.size(), 551);
        QCOMPARE(records[0], (QStringList{"LastName", "FirstName", "MiddleName", "NameSuffix", "DateOfBirth (yyyymmdd)", "Sex (M/F/U)",
                                      "MotherMaiden", "MotherLast", "MotherFirst", "MotherMiddle", "VaccineCode (CVX)",
                                      "VaccinationDate (yyyymmdd)", "VaccineManufacturer (MVX)", "FacilityID", "FacilityName",
                                      "MedicalRecordNumber", "Street", "City", "State", "ZIP", "Phone", "MultipleBirth (Y/N)",
                                      "BirthOrder", "LotNumber", "Historical (Y/N)"}));
        for (int i = 0; i < 550; ++i)
            QCOMPARE(records[i + 1].mid(0, 13).join(',') + ' ' + records[i + 1][15], txt[i] + ' ' + deck[i]["MRN"]);
    }

    void batchCommand()
    {
        auto run = [](const QStringList& args) { return runBatch(QStringList{"deck"} + args); };
        const BatchRun text = run({});
        QVERIFY(text.code == 0 && text.out.toUtf8() == sourceBytes("data/DupTestData.txt"));
        QCOMPARE(run({"--output", "/dev/stdout"}).out, text.out); // a pipe, written where it stands
        QCOMPARE(run({"--format", "csv"}).out.toUtf8(), exportDeck({DeckFormat::Csv}));
        const QString out = dir.filePath("deck.hl7");
        QCOMPARE(run({"--format", "hl7", "--processing-id", "P", "--output", out}).code, 0);
        const QList<Message> messages = parse(fileBytes(out)).second;
        QVERIFY(messages.size() == 550 && messages[0]["MSH"].raw(11) == "P");
        QCOMPARE(run({"--output", dir.filePath("no/such/folder/x.txt")}).code, 3);
    }

    void stepOneSavesTheDeck()
    {
        frmStep1 page;
        const QString csv = dir.filePath("step1.csv");
        host->fileAnswers = QStringList{QString(), csv, dir.filePath("step1.hl7")};
        page.btnSaveTestData->click(); // cancelled
        QVERIFY(!QFileInfo::exists(csv));
        page.btnSaveTestData->click();
        QCOMPARE(fileBytes(csv), exportDeck({DeckFormat::Csv}));
        QCOMPARE(host->lastFilters.value(0).section('/', -1), QStringLiteral("DupTestData.txt"));
        page.btnSaveTestData->click();
        QVERIFY(fileBytes(dir.filePath("step1.hl7")).startsWith("FHS|^~\\&|"));
        QVERIFY(host->takeShown().isEmpty());
    }

    void cleanupTestCase() { host.reset(); }

private:
    std::unique_ptr<FakePlatform> host;
    QList<Row> deck;
    QTemporaryDir dir;
};

QTEST_MAIN(TestDeckExport)
#include "test_deck_export.moc"
