#include "Command.h"

#include "export/DeckExport.h"
#include "platform/OutputFile.h"
#include "platform/Platform.h"

#include <QDateTime>
#include <QDir>

namespace marrowick::batch {

namespace {

class Deck final : public Command {
public:
    Deck()
        : Command(QStringLiteral("deck"), {QStringLiteral("--format hl7|csv|txt [--output FILE]")},
                  QStringLiteral("Writes the test deck for loading into a registry: txt is DupTestData.txt as shipped, "
                                 "csv the same records headed by their field names with what each was sent with "
                                 "(facility, medical record number, address, phone, multiple birth, lot number), hl7 "
                                 "one HL7 2.5.1 VXU message per test record in a batch file. Needs no database."),
                  {
                      option("format", "txt (default), csv or hl7.", "txt|csv|hl7"),
                      option("output", "The file to write (default: standard output).", "FILE"),
                      option("processing-id",
                             "MSH-11 of the hl7 messages: T (default) for a test system, P for production.", "T|P"),
                      option("at",
                             "The time of the hl7 export instead of now, as 2026-03-04T05:06:07 (local time) or with "
                             "its offset, 2026-03-04T05:06:07+01:00 or Z: MSH-7 and the file and batch headers carry "
                             "it, and every control ID begins with it. The same time gives the same file.",
                             "TIME"),
                  })
    {
    }

    void read(const QCommandLineParser& parser, Options& into) const override
    {
        into.format =
            parser.isSet(QStringLiteral("format")) ? parser.value(QStringLiteral("format")) : QStringLiteral("txt");
        into.output = parser.value(QStringLiteral("output"));
        readValue(parser, "processing-id", into.processingId);
        readValue(parser, "at", into.at);
    }

    int run(const Options& o, BatchPlatform&) const override
    {
        const auto format = deckFormatNamed(o.format);
        if (!format) throw UsageError(QStringLiteral("--format takes hl7, csv or txt"));
        if (o.processingId != QLatin1String("T") && o.processingId != QLatin1String("P"))
            throw UsageError(QStringLiteral("--processing-id takes T or P"));
        if (!o.positional.isEmpty())
            throw UsageError(QStringLiteral("deck takes no arguments: ") + o.positional.join(QLatin1Char(' ')));
        const QDateTime at = QDateTime::fromString(o.at, Qt::ISODateWithMs);
        if (!o.at.isEmpty() && !at.isValid())
            throw UsageError(QStringLiteral("--at takes a time as 2026-03-04T05:06:07, with or without an offset: ")
                             + o.at);
        const DeckExportOptions deck{*format, o.processingId.front(), at};
        const QString path = o.output.isEmpty() ? QString() : QDir::current().absoluteFilePath(o.output);
        writeOutputOrRefuse(path, exportDeck(deck),
                            QStringLiteral("The test data could not be written to ")
                                + (o.output.isEmpty() ? QStringLiteral("standard output") : o.output));
        return Done;
    }
};

} // namespace

std::unique_ptr<Command> makeDeck() { return std::make_unique<Deck>(); }

} // namespace marrowick::batch
