#include "clsProcessResultsFile.h"

#include "analysis/LoadedRows.h"
#include "database/Csv.h"
#include "database/Db.h"
#include "database/NativeStatement.h"
#include "platform/FileRefused.h"
#include "platform/Platform.h"
#include "database/Savepoint.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <cmath>
#include <iterator>
#include <limits>

namespace marrowick {

namespace {

const QString kCR = QStringLiteral("\r");

// Blanks, and only blanks, around a value are not part of it.
QByteArrayView trimBlanks(QByteArrayView value)
{
    while (!value.isEmpty() && value.front() == ' ') value = value.sliced(1);
    while (!value.isEmpty() && value.back() == ' ') value.chop(1);
    return value;
}

// Characters, not bytes: a letter written in several bytes counts once.
qsizetype charCount(QByteArrayView value)
{
    qsizetype n = 0;
    for (const char c : value) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

bool validNumber(QByteArrayView clientId)
{
    // Most client IDs are plain digits that fit: no text to make.
    if (plainDigits(clientId)) return true;
    return clsProcessResultsFile::ValidNumber(QString::fromUtf8(clientId));
}

// The checks of one record, in their order; empty when the record is valid.
QString recordErrors(const std::vector<QByteArrayView>& v)
{
    if (v.size() != clsProcessResultsFile::kFieldCount) return kCR + QStringLiteral("Invalid number of fields");

    QString errors;
    auto longer = [&](int field, int limit, const char* message) {
        if (charCount(trimBlanks(v[field])) > limit) errors += kCR + QLatin1String(message);
    };
    auto notExactly = [&](int field, int length, const char* message) {
        if (charCount(trimBlanks(v[field])) != length) errors += kCR + QLatin1String(message);
    };
    auto notOneOf = [&](int field, std::initializer_list<const char*> allowed, const char* message) {
        const QByteArrayView value = trimBlanks(v[field]);
        for (const char* ok : allowed)
            if (value == QByteArrayView(ok)) return;
        errors += kCR + QLatin1String(message);
    };

    if (charCount(v[0]) > 12) errors += QStringLiteral("Invalid client ID");
    if (!validNumber(v[0])) errors += QStringLiteral("Client ID is not valid number");
    notOneOf(1, {"Y", "N", ""}, "Invalid questionable match (potential duplicate) flag.");
    longer(2, 40, "Invalid Last Name");
    longer(3, 40, "Invalid First Name");
    longer(4, 40, "Invalid Middle Name");
    longer(5, 10, "Invalid Name Suffix");
    notExactly(6, 8, "Invalid Date of Birth");
    longer(8, 40, "Invalid Mother Maiden Name");
    notOneOf(7, {"M", "F", "U"}, "Invalid sex");
    longer(9, 40, "Invalid Mother Last Name");
    longer(10, 40, "Invalid Mother First Name");
    longer(11, 40, "Invalid Mother Middle Name");
    longer(12, 4, "Invalid Vaccine ID");
    notExactly(13, 8, "Invalid Immunization Date");
    longer(14, 3, "Invalid vaccine manufacturer");
    return errors;
}

// Registries' export tools often head the file with the field names as the
// step 2 page gives them, in any case and spacing; the hints in parentheses
// may be left out.
bool isHeaderLine(const std::vector<QByteArrayView>& fields)
{
    QStringList values;
    for (const QByteArrayView field : fields) values << QString::fromUtf8(field);
    static const char* const names[] = {"ClientID",
                                        "PotentialMatchFlag (Y/N)",
                                        "LastName",
                                        "FirstName",
                                        "MiddleName",
                                        "NameSuffix",
                                        "DateOfBirth(yyyymmdd)",
                                        "Sex(M/F/U)",
                                        "MotherMaiden",
                                        "MotherLast",
                                        "MotherFirst",
                                        "MotherMiddle",
                                        "VaccineCode (CVX)",
                                        "VaccinationDate(yyyymmdd)",
                                        "VaccineManufacturer (MVX)"};
    if (values.size() != qsizetype(std::size(names))) return false;
    auto squeezed = [](QString text) { return text.remove(QLatin1Char(' ')).remove(QLatin1Char('\t')).toLower(); };
    for (qsizetype i = 0; i < values.size(); ++i) {
        const QString value = squeezed(values[i]);
        const QString name = squeezed(QLatin1String(names[i]));
        if (value != name && value != name.section(QLatin1Char('('), 0, 0)) return false;
    }
    return true;
}

// A results file that cannot be read, and why.
FileRefused refusal(const QString& description)
{
    return FileRefused::told(FileRefused::Role::Results, QStringLiteral("Error"),
                             QStringLiteral("Error reading results file.") + description);
}

constexpr int kMaxRecords = std::numeric_limits<qint16>::max();
// The largest valid file is about 13 MB; anything far beyond it is refused unread.
constexpr qint64 kMaxFileBytes = 64 * 1024 * 1024;

} // namespace

bool clsProcessResultsFile::ValidNumber(const QString& strClientID)
{
    // Most client IDs are plain digits that fit: no conversion needed.
    qsizetype digits = 0;
    for (const QChar c : strClientID) {
        if (c < u'0' || c > u'9') {
            digits = -1;
            break;
        }
        ++digits;
    }
    if (digits > 0 && digits <= 9) return true;
    bool ok = false;
    const double value = strClientID.toDouble(&ok);
    if (!ok || !std::isfinite(value)) return false;
    const double whole = std::floor(value);
    return whole >= std::numeric_limits<qint32>::min() && whole <= std::numeric_limits<qint32>::max();
}

namespace {

constexpr qint64 kChunk = 64 * 1024;

FileRefused tooLarge()
{
    return refusal(QStringLiteral("The file is larger than %1 MiB; a results file of %2 records is far smaller")
                       .arg(kMaxFileBytes / (1024 * 1024))
                       .arg(kMaxRecords));
}

// The file's bytes, read once: the hash of the saved run is of these very
// bytes, whatever happens to the file afterwards.
QByteArray readOnce(const QString& strFile, QCryptographicHash& hash)
{
    const QFileInfo info(strFile);
    if (!info.exists()) throw refusal(QStringLiteral("File not found"));
    // A folder, device or pipe could block or never end: only files are read.
    if (!info.isFile()) throw refusal(QStringLiteral("Path/File access error: not a regular file"));
    if (info.size() > kMaxFileBytes) throw tooLarge();
    QFile file(strFile);
    if (!file.open(QIODevice::ReadOnly)) throw refusal(QStringLiteral("Path/File access error: ") + file.errorString());
    QByteArray bytes;
    bytes.reserve(info.size());
    while (!file.atEnd()) {
        const QByteArray chunk = file.read(kChunk);
        if (chunk.isEmpty())
            // Not at the end, yet nothing came.
            throw refusal(QStringLiteral("Device I/O error: ") + file.errorString());
        hash.addData(chunk);
        bytes += chunk;
        if (bytes.size() > kMaxFileBytes) // it grew while being read
            throw tooLarge();
    }
    return bytes;
}

const char* const kInsert =
    "INSERT INTO IIS_LOADED_CHILD_ALL (ClientID, QMflag, LastName, FirstName, MiddleName, Suffix, DOB, "
    "Sex, MomMaiden, MomLast, MomFirst, MomMiddle, VacCode, VacDate, VacMfr) "
    "VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)";

// The first invalid record and its errors; record 0 when there is none.
struct Invalid {
    int record = 0;
    QString errors;
};

// Stores the records from the current one on, up to the first invalid one.
// The text outlives every step, so values are bound as they lie in it.
Invalid storeRecords(CsvByteReader& reader, std::vector<QByteArrayView>& values, LoadedRows* rows)
{
    NativeStatement insert(kInsert);
    int intRecordNo = 0;
    do {
        if (intRecordNo == kMaxRecords)
            throw refusal(QStringLiteral("Overflow: the file holds more than %1 records").arg(kMaxRecords));
        ++intRecordNo;
        if (reader.endedInQuote())
            throw refusal(
                QStringLiteral("Input past end of file: record number %1 ends inside a quoted value").arg(intRecordNo));
        const QString strErrors = recordErrors(values);
        if (!strErrors.isEmpty()) return Invalid{intRecordNo, strErrors};
        for (int i = 0; i < clsProcessResultsFile::kFieldCount; ++i) insert.bindUnchanged(i + 1, trimBlanks(values[i]));
        insert.exec();
        // As the table now holds it: the values trimmed, none of them Null.
        auto v = [&](int i) { return trimBlanks(values[i]); };
        if (rows) rows->add({v(0), v(1), v(12), v(13), v(3), v(2), v(8), v(10), v(6), v(7)});
    } while (reader.next(values));
    return {};
}

} // namespace

void clsProcessResultsFile::ReadResults(const QString& strFile, LoadedRows* rows)
{
    platform().UpdateProgressText(QStringLiteral("Reading results file...."));

    QCryptographicHash hash(QCryptographicHash::Sha256);
    const QByteArray bytes = readOnce(strFile, hash);
    const QByteArray text = CsvReader::utf8Text(bytes);
    CsvByteReader reader(text);
    std::vector<QByteArrayView> values;
    bool any = reader.next(values);
    if (any && isHeaderLine(values)) any = reader.next(values);
    if (!any) throw refusal(QStringLiteral("Input past end of file: the file holds no records"));
    if (values.size() != kFieldCount)
        throw FileRefused::told(
            FileRefused::Role::Results, QStringLiteral("Data Format Error"),
            QString::number(values.size())
                + QStringLiteral(" field(s) found in the data. Please verify that the file is in comma delimited "
                                 "format and all 15 fields required for processing have been included."));
    // Thrown past this unit, a refusal is told after the new rows have been rolled back.
    Savepoint unit;
    // Earlier versions kept an index of the loaded rows by name; the matching
    // reads the rows into memory now, and nothing else looks them up by name,
    // so building it only slowed every load.
    run(QStringLiteral("DROP INDEX IF EXISTS idxLoadedName"));
    run(QStringLiteral("delete from IIS_LOADED_CHILD_ALL"));
    const Invalid invalid = storeRecords(reader, values, rows);
    if (invalid.record != 0)
        throw FileRefused::told(FileRefused::Role::Results, QStringLiteral("Invalid Results File"),
                                QStringLiteral("Record number ") + QString::number(invalid.record)
                                    + QStringLiteral(" has the following errors:") + kCR + invalid.errors);
    unit.commit();
    m_loaded = LoadedFile{bytes.size(), QString::fromLatin1(hash.result().toHex())};
}

} // namespace marrowick
