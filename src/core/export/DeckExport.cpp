#include "DeckExport.h"

#include <cstdlib>

#include "database/Csv.h"
#include "platform/FileRefused.h"
#include "platform/OutputFile.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStringList>

namespace marrowick {

namespace {

// The compiled-in file's rows as name -> value, in file order.
QList<QHash<QString, QString>> table(const QString& resource)
{
    QFile file(resource);
    if (!file.open(QIODevice::ReadOnly))
        throw FileRefused(FileRefused::Role::Input,
                          QStringLiteral("the test data %1 is missing from the program").arg(resource));
    CsvReader reader(CsvReader::decode(file.readAll()));
    QStringList header, values;
    reader.next(header);
    QList<QHash<QString, QString>> rows;
    while (reader.next(values)) {
        QHash<QString, QString> row;
        for (qsizetype i = 0; i < header.size(); ++i) row.insert(header[i], values.value(i));
        rows << row;
    }
    return rows;
}

// One test record with what it was sent with, joined by ID.
using Row = QHash<QString, QString>;
QList<Row> deckRows()
{
    QList<Row> rows = table(QStringLiteral(":/data/DupTestData.csv"));
    const QList<Row> vaccinations = table(QStringLiteral(":/data/DupTestVaccination.csv"));
    const QList<Row> submissions = table(QStringLiteral(":/data/DupTestSubmission.csv"));
    if (vaccinations.size() != rows.size() || submissions.size() != rows.size())
        throw FileRefused(FileRefused::Role::Input, QStringLiteral("the compiled-in test data files do not agree"));
    for (qsizetype i = 0; i < rows.size(); ++i) {
        rows[i].insert(vaccinations[i]);
        rows[i].insert(submissions[i]);
    }
    return rows;
}

// The fields of DupTestData.txt, by the names the step 1 page gives them.
const QList<QPair<const char*, const char*>> kTxtFields{
    {"LastName", "LastName"},
    {"FirstName", "FirstName"},
    {"MiddleName", "MiddleName"},
    {"NameSuffix", "Suffix"},
    {"DateOfBirth (yyyymmdd)", "DOB"},
    {"Sex (M/F/U)", "Sex"},
    {"MotherMaiden", "MomMaiden"},
    {"MotherLast", "MomLast"},
    {"MotherFirst", "MomFirst"},
    {"MotherMiddle", "MomMiddle"},
    {"VaccineCode (CVX)", "VacCode"},
    {"VaccinationDate (yyyymmdd)", "VacDate"},
    {"VaccineManufacturer (MVX)", "VacMfr"},
};
const QList<QPair<const char*, const char*>> kSubmissionFields{
    {"FacilityID", "FacilityID"},
    {"FacilityName", "FacilityName"},
    {"MedicalRecordNumber", "MRN"},
    {"Street", "Street"},
    {"City", "City"},
    {"State", "State"},
    {"ZIP", "Zip"},
    {"Phone", "Phone"},
    {"MultipleBirth (Y/N)", "MultipleBirth"},
    {"BirthOrder", "BirthOrder"},
    {"LotNumber", "LotNumber"},
    {"Historical (Y/N)", "Historical"},
};

QByteArray csvDeck(const QList<Row>& rows)
{
    QStringList header;
    for (const auto& fields : {kTxtFields, kSubmissionFields})
        for (const auto& field : fields) header << QLatin1String(field.first);
    QList<QStringList> records{header};
    for (const Row& row : rows) {
        QStringList values;
        for (const auto& fields : {kTxtFields, kSubmissionFields})
            for (const auto& field : fields) values << row.value(QLatin1String(field.second));
        records << values;
    }
    return spreadsheetDocument(records);
}

QString manufacturerName(const QString& mvx)
{
    static const QHash<QString, QString> names{
        {QStringLiteral("MSD"), QStringLiteral("Merck and Co., Inc.")},
        {QStringLiteral("SKB"), QStringLiteral("GlaxoSmithKline")},
        {QStringLiteral("PMC"), QStringLiteral("sanofi pasteur")},
        {QStringLiteral("PFR"), QStringLiteral("Pfizer, Inc")},
    };
    return names.value(mvx);
}

// Route (NCIT) and, for injections, a site (HL70163): infants get their
// injections in the thigh, older children in the arm.
QPair<QString, QString> routeAndSite(const Row& row, bool left)
{
    const QString cvx = row.value(QStringLiteral("VacCode"));
    if (cvx == QLatin1String("116") || cvx == QLatin1String("119"))
        return {QStringLiteral("C38288^Oral^NCIT"), QString()};
    const QDate born = QDate::fromString(row.value(QStringLiteral("DOB")), QStringLiteral("yyyyMMdd"));
    const QDate given = QDate::fromString(row.value(QStringLiteral("VacDate")), QStringLiteral("yyyyMMdd"));
    const bool infant = born.isValid() && given.isValid() && given < born.addYears(3);
    const bool subcutaneous = cvx == QLatin1String("03") || cvx == QLatin1String("21") || cvx == QLatin1String("94");
    const QString route =
        subcutaneous ? QStringLiteral("C38299^Subcutaneous^NCIT") : QStringLiteral("C28161^Intramuscular^NCIT");
    const QString site =
        infant ? (left ? QStringLiteral("LT^Left Thigh^HL70163") : QStringLiteral("RT^Right Thigh^HL70163"))
               : (left ? QStringLiteral("LA^Left Arm^HL70163") : QStringLiteral("RA^Right Arm^HL70163"));
    return {route, site};
}

// A stable hash of text (FNV-1a): the values that a record does not carry are
// picked by it, so that one deck always gives the same messages.
quint32 stableHash(const QString& text)
{
    quint32 hash = 2166136261u;
    for (const char byte : text.toUtf8()) {
        hash ^= static_cast<unsigned char>(byte);
        hash *= 16777619u;
    }
    return hash;
}

// One of weighted choices (the weights sum to 100), picked by a hash.
QString weighted(quint32 hash, std::initializer_list<std::pair<int, const char*>> choices)
{
    int point = int(hash % 100u);
    const char* value = nullptr;
    for (const auto& [weight, choice] : choices) {
        value = choice;
        if (point < weight) break;
        point -= weight;
    }
    return QString::fromUtf8(value);
}

// A clinic's nurse (who gives the dose, RXA-10) or physician (who orders it,
// ORC-12) as an XCN: ID, family and given name, the clinic as assigning
// authority, legal name, and the kind of number.
QString provider(const QString& clinic, const QString& facility, quint32 hash, bool physician)
{
    static const char* const nurses[] = {"ASHGROVE^MAREN",   "PELLWORTH^TOBIAS", "LINDQUIST^ODETTE",
                                         "KESTERTON^IMOGEN", "BRAMBLEY^RUFUS",   "QUILLON^CORA"};
    static const char* const physicians[] = {"HOLLOWAY^SIMONE", "TREMAINE^ANSEL", "FAIRCLOUGH^DELPHINE", "ORMSBY^MILES",
                                             "WINTERBOURNE^NADIA"};
    // Each clinic has two of each, chosen by its ID; a visit gets one of them.
    const quint32 staff = stableHash(clinic) + hash % 2u;
    const int index = physician ? int(staff % 5u) : int(staff % 6u);
    const QString name = QString::fromLatin1(physician ? physicians[index] : nurses[index]);
    return QStringLiteral("%1%2^%3^^^^^^%4^L^^^%5")
        .arg(physician ? QStringLiteral("MD") : QStringLiteral("RN"))
        .arg(index + 1)
        .arg(name, hl7Escape(facility), physician ? QStringLiteral("MD") : QStringLiteral("PRN"));
}

// What a clinic's system sends that the deck does not hold. Each value is
// derived from what the record itself shows, so it tells a registry nothing
// about who is whom that the record does not already tell. Race and ethnicity
// follow the mother's maiden name, as a family's would; without one they are
// unknown, as a clinic that asks for neither sends them.
struct Derived {
    QString race, ethnicity, publicity, eligibility, funding, nurse, physician;
};

// The staff are the clinic's own whatever facility ID it sends under, so that a
// mapped deck names the same people.
Derived derive(const Row& r, const QString& facility)
{
    auto v = [&](const char* name) { return r.value(QLatin1String(name)); };
    Derived d;
    const QString maiden = v("MomMaiden");
    const QString unknown = QStringLiteral("UNK^Unknown^NULLFL");
    d.race = maiden.isEmpty() ? unknown
                              : weighted(stableHash(QStringLiteral("race ") + maiden),
                                         {{55, "2106-3^White^CDCREC"},
                                          {14, "2054-5^Black or African American^CDCREC"},
                                          {7, "2028-9^Asian^CDCREC"},
                                          {2, "1002-5^American Indian or Alaska Native^CDCREC"},
                                          {1, "2076-8^Native Hawaiian or Other Pacific Islander^CDCREC"},
                                          {8, "2131-1^Other Race^CDCREC"},
                                          {13, "UNK^Unknown^NULLFL"}});
    d.ethnicity = maiden.isEmpty() ? unknown
                                   : weighted(stableHash(QStringLiteral("ethnicity ") + maiden),
                                              {{18, "2135-2^Hispanic or Latino^CDCREC"},
                                               {70, "2186-5^Not Hispanic or Latino^CDCREC"},
                                               {12, "UNK^Unknown^NULLFL"}});
    const QString visit = QStringList{v("FacilityID"), v("MRN"), v("VacDate"), v("VacCode")}.join(QLatin1Char('|'));
    d.publicity = weighted(stableHash(QStringLiteral("publicity ") + visit),
                           {{90, "02^Reminder/Recall - any method^HL70215"}, {10, "01^No reminder/recall^HL70215"}});
    d.eligibility =
        weighted(stableHash(QStringLiteral("eligibility ") + visit),
                 {{45, "V01^Not VFC eligible^HL70064"},
                  {38, "V02^VFC eligible - Medicaid/Medicaid Managed Care^HL70064"},
                  {8, "V03^VFC eligible - Uninsured^HL70064"},
                  {3, "V04^VFC eligible - American Indian/Alaskan Native^HL70064"},
                  {6, "V05^VFC eligible - Federally Qualified Health Center Patient (under-insured)^HL70064"}});
    // A VFC-eligible child is given vaccine that the VFC program paid for.
    d.funding = d.eligibility.startsWith(QLatin1String("V01")) ? QStringLiteral("PHC70^Private^CDCPHINVS")
                                                               : QStringLiteral("VXC51^Public VFC^CDCPHINVS");
    d.nurse = provider(v("FacilityID"), facility, stableHash(QStringLiteral("nurse ") + visit), false);
    d.physician = provider(v("FacilityID"), facility, stableHash(QStringLiteral("physician ") + visit), true);
    return d;
}

// What every message of one export shares.
struct Batch {
    const DeckExportOptions& options;
    QString time;          // MSH-7, FHS-7, BHS-7
    QString controlPrefix; // of MSH-10, FHS-11, BHS-11: the export's UTC time to the millisecond
};

// HL7 2.5.1 allows MSH-10 20 characters: the 17 of the time and the record's
// number in three digits, which the deck's 550 records fit.
QString controlId(const Batch& b, int id)
{
    return QStringLiteral("%1%2").arg(b.controlPrefix).arg(id, 3, 10, QLatin1Char('0'));
}

QString msh(const Row& r, int id, const Batch& b)
{
    const QString facility = r.value(QStringLiteral("FacilityID"));
    const QString control = controlId(b, id);
    // MSH-1 and MSH-2 are the delimiters themselves: this is the one segment written by hand.
    return QStringLiteral("MSH|^~\\&|")
           + QStringList{QStringLiteral("MARROWICK"),
                         hl7Escape(facility),
                         QString(),
                         QString(),
                         b.time,
                         QString(),
                         QStringLiteral("VXU^V04^VXU_V04"),
                         control,
                         QString(b.options.processingId),
                         QStringLiteral("2.5.1"),
                         QString(),
                         QString(),
                         QStringLiteral("ER"),
                         QStringLiteral("AL"),
                         QString(),
                         QString(),
                         QString(),
                         QString(),
                         QStringLiteral("Z22^CDCPHINVS"),
                         hl7Components({r.value(QStringLiteral("FacilityName")), QString(), QString(), QString(),
                                        QString(), QString(), QString(), QString(), QString(), facility})}
                 .join(QLatin1Char('|'))
           + QLatin1Char('\r');
}

QString pid(const Row& r, const Derived& d)
{
    auto v = [&](const char* name) { return r.value(QLatin1String(name)); };
    const QString phone = v("Phone");
    QStringList f(25);
    f[0] = QStringLiteral("1");
    f[2] = hl7Components({v("MRN"), QString(), QString(), v("FacilityID"), QStringLiteral("MR")});
    f[4] = hl7Components(
        {v("LastName"), v("FirstName"), v("MiddleName"), v("Suffix"), QString(), QString(), QStringLiteral("L")});
    if (!v("MomMaiden").isEmpty())
        f[5] = hl7Components(
            {v("MomMaiden"), v("MomFirst"), QString(), QString(), QString(), QString(), QStringLiteral("M")});
    f[6] = hl7Escape(v("DOB"));
    f[7] = hl7Escape(v("Sex"));
    f[9] = d.race;
    f[10] = hl7Components(
        {v("Street"), QString(), v("City"), v("State"), v("Zip"), QStringLiteral("USA"), QStringLiteral("L")});
    f[12] = hl7Components(
        {QString(), QStringLiteral("PRN"), QStringLiteral("PH"), QString(), QString(), phone.left(3), phone.mid(3)});
    f[21] = d.ethnicity;
    f[23] = hl7Escape(v("MultipleBirth"));
    f[24] = hl7Escape(v("BirthOrder"));
    return hl7Segment(QStringLiteral("PID"), f);
}

// Publicity, protection and registry status, each dated the day the clinic
// recorded the dose. No record asks for protection and every child is active:
// either would let a registry hide the record from its export, which the
// evaluation would count as lost.
QString pd1(const Row& r, const Derived& d)
{
    const QString date = hl7Escape(r.value(QStringLiteral("VacDate")));
    QStringList f(18);
    f[10] = d.publicity;
    f[11] = QStringLiteral("N");
    f[12] = date;
    f[15] = QStringLiteral("A");
    f[16] = date;
    f[17] = date;
    return hl7Segment(QStringLiteral("PD1"), f);
}

QString nk1(const Row& r)
{
    auto v = [&](const char* name) { return r.value(QLatin1String(name)); };
    if (v("MomLast").isEmpty() && v("MomFirst").isEmpty()) return {};
    return hl7Segment(QStringLiteral("NK1"), {QStringLiteral("1"),
                                              hl7Components({v("MomLast"), v("MomFirst"), v("MomMiddle"), QString(),
                                                             QString(), QString(), QStringLiteral("L")}),
                                              QStringLiteral("MTH^Mother^HL70063")});
}

// ORC-3 names the dose, not the message, so that a registry that receives the
// deck twice sees the same doses again.
QString orc(const Row& r, int id, const Derived& d, bool administered)
{
    QStringList f(12);
    f[0] = QStringLiteral("RE");
    f[2] =
        hl7Components({QStringLiteral("DT%1").arg(id, 3, 10, QLatin1Char('0')), r.value(QStringLiteral("FacilityID"))});
    if (administered) f[11] = d.physician;
    return hl7Segment(QStringLiteral("ORC"), f);
}

QString rxa(const Row& r, const Derived& d, bool administered)
{
    auto v = [&](const char* name) { return r.value(QLatin1String(name)); };
    QStringList f(21);
    f[0] = QStringLiteral("0");
    f[1] = QStringLiteral("1");
    f[2] = hl7Escape(v("VacDate"));
    f[4] = hl7Components({v("VacCode"), v("VaccineName"), QStringLiteral("CVX")});
    if (administered) {
        const QString cvx = v("VacCode");
        f[5] = cvx == QLatin1String("116")   ? QStringLiteral("2")
               : cvx == QLatin1String("119") ? QStringLiteral("1")
                                             : QStringLiteral("0.5");
        f[6] = QStringLiteral("mL^milliliters^UCUM");
        f[8] = QStringLiteral("00^New immunization record^NIP001");
        f[9] = d.nurse;
        f[10] = hl7Components({QString(), QString(), QString(), v("FacilityID")});
    } else {
        f[5] = QStringLiteral("999");
        f[8] = QStringLiteral("01^Historical information - source unspecified^NIP001");
    }
    f[14] = hl7Escape(v("LotNumber"));
    f[16] = hl7Components({v("VacMfr"), manufacturerName(v("VacMfr")), QStringLiteral("MVX")});
    f[19] = QStringLiteral("CP");
    f[20] = QStringLiteral("A");
    return hl7Segment(QStringLiteral("RXA"), f);
}

// The observations an administered dose needs: VFC eligibility, captured for
// this dose, and the funding source of the vaccine, both observed on the day.
QString observations(const Row& r, const Derived& d)
{
    const QString date = hl7Escape(r.value(QStringLiteral("VacDate")));
    QStringList eligibility(17);
    eligibility[0] = QStringLiteral("1");
    eligibility[1] = QStringLiteral("CE");
    eligibility[2] = QStringLiteral("64994-7^Vaccine funding program eligibility category^LN");
    eligibility[3] = QStringLiteral("1");
    eligibility[4] = d.eligibility;
    eligibility[10] = QStringLiteral("F");
    eligibility[13] = date;
    eligibility[16] = QStringLiteral("VXC40^Eligibility captured at the immunization level^CDCPHINVS");
    QStringList funding = eligibility.mid(0, 14);
    funding[0] = QStringLiteral("2");
    funding[2] = QStringLiteral("30963-3^Vaccine funding source^LN");
    funding[4] = d.funding;
    return hl7Segment(QStringLiteral("OBX"), eligibility) + hl7Segment(QStringLiteral("OBX"), funding);
}

using FacilityFor = std::function<QString(const QString& clinic)>;

// The record as the facility it is sent under: the clinic itself unless
// facilityFor names another.
QString vxu(const Row& clinicRow, int id, const Batch& b, const FacilityFor& facilityFor)
{
    const QString clinic = clinicRow.value(QStringLiteral("FacilityID"));
    Row r = clinicRow;
    if (facilityFor) r.insert(QStringLiteral("FacilityID"), facilityFor(clinic));
    const bool administered = r.value(QStringLiteral("Historical")) != QLatin1String("Y");
    const Derived d = derive(clinicRow, r.value(QStringLiteral("FacilityID")));
    QString m = msh(r, id, b) + pid(r, d) + pd1(r, d) + nk1(r) + orc(r, id, d, administered) + rxa(r, d, administered);
    if (administered) {
        const auto [route, site] = routeAndSite(r, id % 2 == 1);
        m += hl7Segment(QStringLiteral("RXR"), {route, site}) + observations(r, d);
    }
    return m;
}

Batch batchOf(const DeckExportOptions& o)
{
    const QDateTime stamp = o.stamp.isValid() ? o.stamp : QDateTime::currentDateTime();
    return {o, hl7Time(stamp), stamp.toUTC().toString(QStringLiteral("yyyyMMddHHmmsszzz"))};
}

QByteArray hl7Deck(const QList<Row>& rows, const DeckExportOptions& o)
{
    const Batch batch = batchOf(o);
    QString text;
    for (const QChar kind : {u'F', u'B'})
        text +=
            hl7Segment(kind == u'F' ? QStringLiteral("FHS") : QStringLiteral("BHS"),
                       {QStringLiteral("^~\\&"), QStringLiteral("MARROWICK"), QStringLiteral("MARROWICK"), QString(),
                        QString(), batch.time, QString(), kind == u'F' ? QStringLiteral("DupTestData") : QString(),
                        QString(), kind + batch.controlPrefix});
    for (qsizetype i = 0; i < rows.size(); ++i) text += vxu(rows[i], int(i + 1), batch, {});
    text += hl7Segment(QStringLiteral("BTS"), {QString::number(rows.size())});
    text += hl7Segment(QStringLiteral("FTS"), {QStringLiteral("1")});
    return text.toUtf8();
}

} // namespace

std::optional<DeckFormat> deckFormatNamed(const QString& name)
{
    const QString n = name.toLower();
    if (n == QLatin1String("txt")) return DeckFormat::Txt;
    if (n == QLatin1String("csv")) return DeckFormat::Csv;
    if (n == QLatin1String("hl7")) return DeckFormat::Hl7;
    return std::nullopt;
}

DeckFormat deckFormatOfFile(const QString& fileName)
{
    return deckFormatNamed(QFileInfo(fileName).suffix()).value_or(DeckFormat::Txt);
}

QString hl7Segment(const QString& name, const QStringList& fields)
{
    QStringList all{name};
    all += fields;
    while (all.size() > 1 && all.last().isEmpty()) all.removeLast();
    return all.join(QLatin1Char('|')) + QLatin1Char('\r');
}

QString hl7Components(QStringList values)
{
    for (QString& v : values) v = hl7Escape(v);
    while (!values.isEmpty() && values.last().isEmpty()) values.removeLast();
    return values.join(QLatin1Char('^'));
}

QString hl7Time(const QDateTime& time)
{
    const int offset = time.offsetFromUtc() / 60;
    return time.toString(QStringLiteral("yyyyMMddHHmmss"))
           + QStringLiteral("%1%2%3")
                 .arg(offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
                 .arg(std::abs(offset) / 60, 2, 10, QLatin1Char('0'))
                 .arg(std::abs(offset) % 60, 2, 10, QLatin1Char('0'));
}

QString hl7Escape(const QString& value)
{
    QString out;
    out.reserve(value.size());
    for (const QChar c : value) {
        switch (c.unicode()) {
        case u'\\':
            out += QStringLiteral("\\E\\");
            break;
        case u'|':
            out += QStringLiteral("\\F\\");
            break;
        case u'^':
            out += QStringLiteral("\\S\\");
            break;
        case u'~':
            out += QStringLiteral("\\R\\");
            break;
        case u'&':
            out += QStringLiteral("\\T\\");
            break;
        default:
            out += c;
        }
    }
    return out;
}

QByteArray exportDeck(const DeckExportOptions& options)
{
    if (options.format == DeckFormat::Txt) {
        QFile file(QStringLiteral(":/data/DupTestData.txt"));
        if (!file.open(QIODevice::ReadOnly))
            throw FileRefused(FileRefused::Role::Input,
                              QStringLiteral("the test data file is missing from the program"));
        return file.readAll();
    }
    const QList<Row> rows = deckRows();
    return options.format == DeckFormat::Csv ? csvDeck(rows) : hl7Deck(rows, options);
}

QList<DeckMessage> deckMessages(const DeckExportOptions& options, const FacilityFor& facilityFor)
{
    const QList<Row> rows = deckRows();
    const Batch batch = batchOf(options);
    QList<DeckMessage> messages;
    messages.reserve(rows.size());
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const int id = int(i + 1);
        const QString clinic = rows[i].value(QStringLiteral("FacilityID"));
        messages.append({id, clinic, controlId(batch, id), vxu(rows[i], id, batch, facilityFor).toUtf8()});
    }
    return messages;
}

QList<QHash<QString, QString>> deckRecords()
{
    QList<QHash<QString, QString>> records;
    for (const Row& row : deckRows()) {
        QHash<QString, QString> record;
        for (const auto& fields : {kTxtFields, kSubmissionFields})
            for (const auto& field : fields)
                record.insert(QLatin1String(field.first), row.value(QLatin1String(field.second)));
        records << record;
    }
    return records;
}

} // namespace marrowick
