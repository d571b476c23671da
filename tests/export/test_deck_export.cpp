#include "Suite.h"
#include "export/DeckExport.h"
#include "shell/frmStep1.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
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
// A message's segments by name; an OBX by its observation, as "OBX 64994-7".
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
            messages.last().insert(s.name == QLatin1String("OBX") ? "OBX " + s.component(3, 1) : s.name, s);
        else if (s.name != QLatin1String("FHS") && s.name != QLatin1String("BHS"))
            names.last() += QLatin1Char(' ') + s.value(1); // the trailers' counts
    }
    return {names, messages};
}

// One rule of the Implementation Guide for a field ("3", or "3.5" for a
// component; "0" is the segment itself): its usage, R, RE or X, or for a
// conditional one the usage for an administered dose and for a historical one
// ("R/X"); and the codes it allows, as "code^coding system" (the first and third
// components) or a bare code, or as a pattern of the whole value ("/.../").
struct Rule { QString segment, field, usage; QStringList values; };

const QStringList kDate{"/^\\d{8}$/"};
QStringList coded(const QString& system, const QStringList& codes)
{
    QStringList values;
    for (const QString& code : codes)
        values << code + u'^' + system;
    return values;
}
const QString kProvider = QStringLiteral("/^[^^]+\\^[^^]+\\^[^^]+\\^\\^\\^\\^\\^\\^[^^]+\\^L\\^\\^\\^%1$/");

const QList<Rule> kRules{
    // MSH-7 to the second with the offset; MSH-10 the export's time, then the message's place.
    {"MSH", "7", "R", {"/^\\d{14}[+-]\\d{4}$/"}}, {"MSH", "9", "R", {"/^VXU\\^V04\\^VXU_V04$/"}},
    {"MSH", "10", "R", {"/^\\d{20}$/"}}, {"MSH", "11", "R", {"P", "T", "D"}} /* HL70103 */, {"MSH", "12", "R", {"2.5.1"}},
    {"MSH", "15", "RE", {"AL", "ER", "NE", "SU"}}, {"MSH", "16", "RE", {"AL", "ER", "NE", "SU"}} /* HL70155 */,
    {"MSH", "21", "RE", {"/^Z22\\^CDCPHINVS$/"}},
    {"PID", "3", "R", {}}, {"PID", "3.5", "R", {"MR"}} /* HL70203 */, {"PID", "5.7", "R", {"L"}}, {"PID", "6.7", "RE", {"M"}} /* HL70200 */,
    {"PID", "7", "R", kDate}, {"PID", "8", "RE", {"F", "M", "U"}} /* HL70001 */,
    {"PID", "10", "RE", coded("CDCREC", {"1002-5", "2028-9", "2054-5", "2076-8", "2106-3", "2131-1"}) << "UNK^NULLFL"},
    {"PID", "11.7", "RE", {"L", "M", "H", "P", "C"}} /* HL70190 */, {"PID", "13.2", "RE", {"PRN", "ORN", "WPN", "NET"}} /* HL70201 */,
    {"PID", "13.3", "RE", {"PH", "CP", "FX", "Internet"}} /* HL70202 */,
    {"PID", "22", "RE", coded("CDCREC", {"2135-2", "2186-5"}) << "UNK^NULLFL"}, {"PID", "24", "RE", {"Y", "N"}} /* HL70136 */,
    {"PD1", "0", "RE", {}},
    {"PD1", "11", "RE", coded("HL70215", {"01", "02", "03", "04", "05", "06", "07", "08", "09", "10", "11", "12"})},
    {"PD1", "12", "RE", {"Y", "N"}}, {"PD1", "13", "RE", kDate}, {"PD1", "16", "RE", {"A", "I", "L", "M", "P", "U", "O"}} /* HL70441 */,
    {"PD1", "17", "RE", kDate}, {"PD1", "18", "RE", kDate},
    {"NK1", "3", "RE", coded("HL70063", {"MTH", "FTH", "GRD"})},
    {"ORC", "1", "R", {"RE"}}, {"ORC", "3", "R", {}}, {"ORC", "12", "R/X", {kProvider.arg("MD")}},
    {"RXA", "1", "R", {"0"}}, {"RXA", "2", "R", {"1"}}, {"RXA", "3", "R", kDate}, {"RXA", "5", "R", {"/^\\d{2,3}\\^[^^]+\\^CVX$/"}},
    {"RXA", "6", "R", {"/^(0\\.5|1|2|999)$/"}}, {"RXA", "7", "R/O", {"mL^UCUM"}}, {"RXA", "9", "R", coded("NIP001", {"00", "01"})},
    {"RXA", "10", "R/X", {kProvider.arg("PRN")}}, {"RXA", "11", "R/O", {}}, {"RXA", "15", "R/O", {}},
    {"RXA", "17", "R/O", {"/^[A-Z]{3}\\^[^^]+\\^MVX$/"}}, {"RXA", "20", "RE", {"CP", "RE", "NA", "PA"}} /* HL70322 */,
    {"RXA", "21", "RE", {"A", "D", "U"}} /* HL70323 */,
    {"RXR", "0", "R/X", {}}, {"RXR", "1", "R/X", coded("NCIT", {"C28161", "C38299", "C38288"})},
    {"RXR", "2", "RE/X", coded("HL70163", {"LA", "RA", "LT", "RT", "LD", "RD", "LG", "RG", "LVL", "RVL"})},
    {"OBX 64994-7", "0", "R/X", {}}, {"OBX 64994-7", "2", "R/X", {"CE"}},
    {"OBX 64994-7", "5", "R/X", coded("HL70064", {"V01", "V02", "V03", "V04", "V05", "V07"})},
    {"OBX 64994-7", "11", "R/X", {"F"}}, {"OBX 64994-7", "14", "R/X", kDate},
    {"OBX 64994-7", "17", "R/X", coded("CDCPHINVS", {"VXC40", "VXC41"})},
    {"OBX 30963-3", "0", "R/X", {}}, {"OBX 30963-3", "2", "R/X", {"CE"}},
    {"OBX 30963-3", "5", "R/X", coded("CDCPHINVS", {"PHC70", "VXC50", "VXC51", "VXC52"})},
    {"OBX 30963-3", "11", "R/X", {"F"}}, {"OBX 30963-3", "17", "X", {}},
};

// What breaks a rule in one message; empty when nothing does.
QString broken(const Rule& rule, const Message& m, bool administered)
{
    const QStringList usages = rule.usage.split(u'/');
    const QString usage = administered ? usages[0] : usages.value(1, usages[0]);
    const Segment segment = m.value(rule.segment);
    const int field = rule.field.section(u'.', 0, 0).toInt(), component = rule.field.section(u'.', 1).toInt();
    const QString raw = field == 0 ? segment.name : component ? segment.component(field, component) : segment.raw(field);
    if (raw.isEmpty())
        return usage == QLatin1String("R") ? QStringLiteral("missing") : QString();
    if (usage == QLatin1String("X"))
        return QStringLiteral("present: ") + raw;
    const QString code = component ? raw : segment.component(field, 1);
    const bool allowed = rule.values.isEmpty() || std::any_of(rule.values.begin(), rule.values.end(), [&](const QString& v) {
        if (v.startsWith(u'/'))
            return QRegularExpression(v.mid(1, v.size() - 2)).match(raw).hasMatch();
        return v == (v.contains(u'^') ? code + u'^' + segment.component(field, 3) : code);
    });
    return allowed ? QString() : QStringLiteral("not in its value set: ") + raw;
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
        int apostrophes = 0, historical = 0, placeholdersWithoutOrder = 0;
        for (int i = 0; i < 550; ++i) {
            const Row& r = deck[i];
            const Message& m = messages[i];
            const Segment &msh = m["MSH"], &pid = m["PID"], &rxa = m["RXA"], &nk1 = m["NK1"], &rxr = m["RXR"];
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
        QVERIFY(apostrophes > 0 && placeholdersWithoutOrder > 0 && historical > 0 && historical < 275);
        QVERIFY(bytes.contains("ST. BRIGID'S CHILDREN \\T\\ FAMILY CLINIC"));
        const QString nasty = QStringLiteral("O'NEIL-SMITH | A^B ~ C \\ D & E");
        QCOMPARE(Segment::unescape(hl7Escape(nasty)), nasty);
        QVERIFY(!hl7Escape(nasty).contains(QRegularExpression(QStringLiteral("[|^~&]"))));
    }

    // Every message against the rules: the observations, providers and order of
    // an administered dose, none of them for a historical one.
    void conformsToTheImplementationGuide()
    {
        const QList<Message> messages = parse(exportDeck({DeckFormat::Hl7})).second;
        QStringList failures;
        int administered = 0;
        for (qsizetype i = 0; i < messages.size(); ++i) {
            const bool given = deck[i]["Historical"] != "Y";
            administered += given;
            for (const Rule& rule : kRules)
                if (const QString problem = broken(rule, messages[i], given); !problem.isEmpty())
                    failures << QStringLiteral("record %1 %2-%3: %4").arg(deck[i]["ID"], rule.segment, rule.field, problem);
        }
        QCOMPARE(failures, QStringList());
        QVERIFY(administered > 0 && administered < deck.size());
    }

    // Sent again later, the deck repeats no control ID: only the times and the
    // control IDs made from them change.
    void twoExportsDifferOnlyInTheirTimes()
    {
        const QDateTime first = QDateTime::fromString("2026-03-04T05:06:07+01:00", Qt::ISODate);
        const QDateTime at[2] = {first, first.addDays(40).toOffsetFromUtc(-18000)};
        QStringList lines[2];
        QSet<QString> ids[2], times[2];
        for (int e = 0; e < 2; ++e)
            for (const QString& line : QString::fromUtf8(exportDeck({DeckFormat::Hl7, u'T', at[e]})).split(u'\r')) {
                QStringList fields = line.split(u'|');
                // The fields counted from the separator: 7 the time; 10 (MSH) or 11 the control ID.
                if (QStringList{"MSH", "FHS", "BHS"}.contains(fields[0])) {
                    times[e] << std::exchange(fields[6], QString());
                    ids[e] << std::exchange(fields[fields[0] == "MSH" ? 9 : 10], QString());
                }
                lines[e] << fields.join(u'|');
            }
        QCOMPARE(lines[0], lines[1]);
        QCOMPARE(ids[0].size(), deck.size() + 2);
        QVERIFY(!ids[0].intersects(ids[1]));
        QCOMPARE(times[0], QSet<QString>{"20260304050607+0100"});
        QCOMPARE(times[1], QSet<QString>{"20260412230607-0500"});
        // Without a time given, the export's own.
        const QString now = parse(exportDeck({DeckFormat::Hl7})).second[0]["MSH"].raw(7);
        QVERIFY(qAbs(QDateTime::fromString(now.left(14), "yyyyMMddHHmmss").secsTo(QDateTime::currentDateTime())) < 60);
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
        const QString at = QStringLiteral("2026-03-04T05:06:07+01:00");
        QCOMPARE(run({"--format", "hl7", "--at", at}).out.toUtf8(), exportDeck({DeckFormat::Hl7, u'T', QDateTime::fromString(at, Qt::ISODate)}));
        QCOMPARE(run({"--format", "hl7", "--at", "yesterday"}).code, 2);
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
        QCOMPARE(page.lblSaved->text(), QStringLiteral("Saved to ") + QDir::toNativeSeparators(csv));
        // A name alone, so the folder last saved to applies; never the shipped file's.
        const QString suggested = host->lastFilters.value(0);
        QVERIFY(!suggested.contains(QLatin1Char('/')) && suggested.endsWith(QLatin1String(".txt")));
        QVERIFY(suggested != QLatin1String("DupTestData.txt"));
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
