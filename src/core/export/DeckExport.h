#pragma once
#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <functional>
#include <optional>

namespace marrowick {

// The test deck in the forms registries ingest: DupTestData.txt as shipped, a
// CSV file headed by field names, or a batch of HL7 2.5.1 VXU messages.
enum class DeckFormat { Txt, Csv, Hl7 };

// "txt", "csv" or "hl7" (any case); nullopt for anything else.
std::optional<DeckFormat> deckFormatNamed(const QString& name);
// The format a file name asks for by its extension; text when none fits.
DeckFormat deckFormatOfFile(const QString& fileName);

struct DeckExportOptions {
    DeckFormat format = DeckFormat::Txt;
    // MSH-11: T for a registry's test system, P for production.
    QChar processingId = u'T';
    // The time of the export: MSH-7 and the file and batch headers carry it
    // with its offset, and every control ID begins with it (in UTC, to the
    // millisecond), so that no two exports share one. Invalid: now.
    QDateTime stamp{};
};

// The whole deck in one format. Throws FileRefused (Input) when the
// compiled-in deck cannot be read.
QByteArray exportDeck(const DeckExportOptions& options);

// One test record's VXU, for sending one message at a time. Its MSH-10 is
// the export's, as in the hl7 batch.
struct DeckMessage {
    int recordId = 0;
    QString clinic; // the deck's facility ID for the record
    QString controlId;
    QByteArray text; // segments ending in CR, no batch headers
};

// The deck as single messages. facilityFor, when given, names the facility a
// clinic sends as (MSH-4, PID-3's assigning authority, and ORC's); the
// record numbers stay as they are. Throws FileRefused as exportDeck does.
QList<DeckMessage> deckMessages(const DeckExportOptions& options,
                                const std::function<QString(const QString& clinic)>& facilityFor = {});

// Every test record with every field the deck sends, by the csv form's
// column names (LastName, ..., FacilityID, MedicalRecordNumber, Street, ...),
// in record order. Throws FileRefused as exportDeck does.
QList<QHash<QString, QString>> deckRecords();

// A segment of fields given as HL7 text (already escaped), ending in CR;
// trailing empty fields dropped.
QString hl7Segment(const QString& name, const QStringList& fields);
// Values escaped and joined as components; trailing empty ones dropped.
QString hl7Components(QStringList values);
// A time as HL7 writes it, to the second, with its offset from UTC.
QString hl7Time(const QDateTime& time);

// A value as HL7 carries it: the five delimiters (| ^ ~ \ &) written as
// escape sequences.
QString hl7Escape(const QString& value);

} // namespace marrowick
