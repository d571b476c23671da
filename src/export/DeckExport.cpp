#include "DeckExport.h"

#include <algorithm>

#include "database/CsvReader.h"
#include "database/SpreadsheetCsv.h"
#include "platform/OutputFile.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStringList>
#include <stdexcept>

namespace marrowick {

namespace {

// The compiled-in file's rows as name -> value, in file order.
QList<QHash<QString, QString>> table(const QString& resource)
{
    QFile file(resource);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("the test data " + resource.toStdString() + " is missing from the program");
    CsvReader reader(CsvReader::decode(file.readAll()));
    QStringList header, values;
    reader.next(header);
    QList<QHash<QString, QString>> rows;
    while (reader.next(values)) {
        QHash<QString, QString> row;
        for (qsizetype i = 0; i < header.size(); ++i)
            row.insert(header[i], values.value(i));
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
        throw std::runtime_error("the compiled-in test data files do not agree");
    for (qsizetype i = 0; i < rows.size(); ++i) {
        rows[i].insert(vaccinations[i]);
        rows[i].insert(submissions[i]);
    }
    return rows;
}

// The fields of DupTestData.txt, by the names the step 1 page gives them.
const QList<QPair<const char*, const char*>> kTxtFields{
    {"LastName", "LastName"},           {"FirstName", "FirstName"},
    {"MiddleName", "MiddleName"},       {"NameSuffix", "Suffix"},
    {"DateOfBirth (yyyymmdd)", "DOB"},  {"Sex (M/F/U)", "Sex"},
    {"MotherMaiden", "MomMaiden"},      {"MotherLast", "MomLast"},
    {"MotherFirst", "MomFirst"},        {"MotherMiddle", "MomMiddle"},
    {"VaccineCode (CVX)", "VacCode"},   {"VaccinationDate (yyyymmdd)", "VacDate"},
    {"VaccineManufacturer (MVX)", "VacMfr"},
};
const QList<QPair<const char*, const char*>> kSubmissionFields{
    {"FacilityID", "FacilityID"},     {"FacilityName", "FacilityName"},
    {"MedicalRecordNumber", "MRN"},   {"Street", "Street"},
    {"City", "City"},                 {"State", "State"},
    {"ZIP", "Zip"},                   {"Phone", "Phone"},
    {"MultipleBirth (Y/N)", "MultipleBirth"}, {"BirthOrder", "BirthOrder"},
    {"LotNumber", "LotNumber"},       {"Historical (Y/N)", "Historical"},
};

QByteArray csvDeck(const QList<Row>& rows)
{
    QStringList header;
    for (const auto& fields : {kTxtFields, kSubmissionFields})
        for (const auto& field : fields)
            header << QLatin1String(field.first);
    QString text = spreadsheetRecord(header) + QStringLiteral("\r\n");
    for (const Row& row : rows) {
        QStringList values;
        for (const auto& fields : {kTxtFields, kSubmissionFields})
            for (const auto& field : fields)
                values << row.value(QLatin1String(field.second));
        text += spreadsheetRecord(values) + QStringLiteral("\r\n");
    }
    return text.toUtf8();
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
    const QString route = subcutaneous ? QStringLiteral("C38299^Subcutaneous^NCIT") : QStringLiteral("C28161^Intramuscular^NCIT");
    const QString site = infant ? (left ? QStringLiteral("LT^Left Thigh^HL70163") : QStringLiteral("RT^Right Thigh^HL70163"))
                                : (left ? QStringLiteral("LA^Left Arm^HL70163") : QStringLiteral("RA^Right Arm^HL70163"));
    return {route, site};
}

// Fields joined into a segment; each given as already escaped HL7 text.
QString segment(const QString& name, const QStringList& fields)
{
    QStringList all{name};
    all += fields;
    while (all.size() > 1 && all.last().isEmpty())
        all.removeLast();
    return all.join(QLatin1Char('|')) + QLatin1Char('\r');
}

// Components, escaped, joined; trailing empty ones dropped.
QString components(QStringList values)
{
    for (QString& v : values)
        v = hl7Escape(v);
    while (!values.isEmpty() && values.last().isEmpty())
        values.removeLast();
    return values.join(QLatin1Char('^'));
}

QString vxu(const Row& r, int id, const DeckExportOptions& o, const QString& stampText)
{
    auto v = [&](const char* name) { return r.value(QLatin1String(name)); };
    const QString facility = v("FacilityID");
    const bool historical = v("Historical") == QLatin1String("Y");
    const QString control = QStringLiteral("%1%2").arg(stampText).arg(id, 4, 10, QLatin1Char('0'));
    QString m;
    // MSH-1 and MSH-2 are the delimiters themselves: this is the one segment written by hand.
    m += QStringLiteral("MSH|^~\\&|") + QStringList{
        QStringLiteral("MARROWICK"), hl7Escape(facility), QString(), QString(), stampText, QString(),
        QStringLiteral("VXU^V04^VXU_V04"), control, QString(o.processingId), QStringLiteral("2.5.1"), QString(), QString(),
        QStringLiteral("ER"), QStringLiteral("AL"), QString(), QString(), QString(), QString(),
        QStringLiteral("Z22^CDCPHINVS"),
        components({v("FacilityName"), QString(), QString(), QString(), QString(), QString(), QString(), QString(),
                    QString(), facility})}.join(QLatin1Char('|')) + QLatin1Char('\r');

    const QString phone = v("Phone");
    QStringList pid(25);
    pid[0] = QStringLiteral("1");
    pid[2] = components({v("MRN"), QString(), QString(), facility, QStringLiteral("MR")});
    pid[4] = components({v("LastName"), v("FirstName"), v("MiddleName"), v("Suffix"), QString(), QString(), QStringLiteral("L")});
    if (!v("MomMaiden").isEmpty())
        pid[5] = components({v("MomMaiden"), v("MomFirst"), QString(), QString(), QString(), QString(), QStringLiteral("M")});
    pid[6] = hl7Escape(v("DOB"));
    pid[7] = hl7Escape(v("Sex"));
    pid[10] = components({v("Street"), QString(), v("City"), v("State"), v("Zip"), QStringLiteral("USA"), QStringLiteral("L")});
    pid[12] = components({QString(), QStringLiteral("PRN"), QStringLiteral("PH"), QString(), QString(), phone.left(3), phone.mid(3)});
    pid[23] = hl7Escape(v("MultipleBirth"));
    pid[24] = hl7Escape(v("BirthOrder"));
    m += segment(QStringLiteral("PID"), pid);

    if (!v("MomLast").isEmpty() || !v("MomFirst").isEmpty())
        m += segment(QStringLiteral("NK1"), {QStringLiteral("1"),
                                             components({v("MomLast"), v("MomFirst"), v("MomMiddle"), QString(), QString(),
                                                         QString(), QStringLiteral("L")}),
                                             QStringLiteral("MTH^Mother^HL70063")});

    m += segment(QStringLiteral("ORC"), {QStringLiteral("RE"), QString(), components({control, facility})});

    QStringList rxa(21);
    rxa[0] = QStringLiteral("0");
    rxa[1] = QStringLiteral("1");
    rxa[2] = hl7Escape(v("VacDate"));
    rxa[4] = components({v("VacCode"), v("VaccineName"), QStringLiteral("CVX")});
    if (historical) {
        rxa[5] = QStringLiteral("999");
        rxa[8] = QStringLiteral("01^Historical information - source unspecified^NIP001");
    } else {
        const QString cvx = v("VacCode");
        rxa[5] = cvx == QLatin1String("116") ? QStringLiteral("2") : cvx == QLatin1String("119") ? QStringLiteral("1") : QStringLiteral("0.5");
        rxa[6] = QStringLiteral("mL^milliliters^UCUM");
        rxa[8] = QStringLiteral("00^New immunization record^NIP001");
        rxa[10] = components({QString(), QString(), QString(), facility});
    }
    rxa[14] = hl7Escape(v("LotNumber"));
    rxa[16] = components({v("VacMfr"), manufacturerName(v("VacMfr")), QStringLiteral("MVX")});
    rxa[19] = QStringLiteral("CP");
    rxa[20] = QStringLiteral("A");
    m += segment(QStringLiteral("RXA"), rxa);

    if (!historical) {
        const auto [route, site] = routeAndSite(r, id % 2 == 1);
        m += segment(QStringLiteral("RXR"), {route, site});
    }
    return m;
}

QByteArray hl7Deck(const QList<Row>& rows, const DeckExportOptions& o)
{
    QDateTime stamp = o.stamp;
    if (!stamp.isValid()) {
        // The same deck always gives the same file: sent at noon the day after its last dose.
        QDate last;
        for (const Row& r : rows)
            last = std::max(last, QDate::fromString(r.value(QStringLiteral("VacDate")), QStringLiteral("yyyyMMdd")));
        stamp = QDateTime(last.addDays(1), QTime(12, 0));
    }
    const QString stampText = stamp.toString(QStringLiteral("yyyyMMddHHmmss"));
    QString text;
    text += segment(QStringLiteral("FHS"), {QStringLiteral("^~\\&"), QStringLiteral("MARROWICK"), QStringLiteral("MARROWICK"),
                                            QString(), QString(), stampText, QString(), QStringLiteral("DupTestData"), QString(),
                                            QStringLiteral("F") + stampText});
    text += segment(QStringLiteral("BHS"), {QStringLiteral("^~\\&"), QStringLiteral("MARROWICK"), QStringLiteral("MARROWICK"),
                                            QString(), QString(), stampText, QString(), QString(), QString(),
                                            QStringLiteral("B") + stampText});
    for (qsizetype i = 0; i < rows.size(); ++i)
        text += vxu(rows[i], int(i + 1), o, stampText);
    text += segment(QStringLiteral("BTS"), {QString::number(rows.size())});
    text += segment(QStringLiteral("FTS"), {QStringLiteral("1")});
    return text.toUtf8();
}

} // namespace

std::optional<DeckFormat> deckFormatNamed(const QString& name)
{
    const QString n = name.toLower();
    if (n == QLatin1String("txt"))
        return DeckFormat::Txt;
    if (n == QLatin1String("csv"))
        return DeckFormat::Csv;
    if (n == QLatin1String("hl7"))
        return DeckFormat::Hl7;
    return std::nullopt;
}

DeckFormat deckFormatOfFile(const QString& fileName)
{
    return deckFormatNamed(QFileInfo(fileName).suffix()).value_or(DeckFormat::Txt);
}

QString hl7Escape(const QString& value)
{
    QString out;
    out.reserve(value.size());
    for (const QChar c : value) {
        switch (c.unicode()) {
        case u'\\': out += QStringLiteral("\\E\\"); break;
        case u'|': out += QStringLiteral("\\F\\"); break;
        case u'^': out += QStringLiteral("\\S\\"); break;
        case u'~': out += QStringLiteral("\\R\\"); break;
        case u'&': out += QStringLiteral("\\T\\"); break;
        default: out += c;
        }
    }
    return out;
}

QByteArray exportDeck(const DeckExportOptions& options)
{
    if (options.format == DeckFormat::Txt) {
        QFile file(QStringLiteral(":/data/DupTestData.txt"));
        if (!file.open(QIODevice::ReadOnly))
            throw std::runtime_error("the test data file is missing from the program");
        return file.readAll();
    }
    const QList<Row> rows = deckRows();
    return options.format == DeckFormat::Csv ? csvDeck(rows) : hl7Deck(rows, options);
}

bool writeDeckFile(const QString& path, const DeckExportOptions& options, QString& problem)
{
    return writeOutputFile(path, exportDeck(options), problem);
}

} // namespace marrowick
