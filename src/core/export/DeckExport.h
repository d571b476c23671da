#pragma once
#include <QByteArray>
#include <QDateTime>
#include <QString>
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

// A value as HL7 carries it: the five delimiters (| ^ ~ \ &) written as
// escape sequences.
QString hl7Escape(const QString& value);

} // namespace marrowick
