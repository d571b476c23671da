#include "CommandLine.h"

#include "reports/ReportCatalogue.h"

#include <QCommandLineParser>
#include <QSet>

namespace marrowick::batch {

namespace {

struct Command {
    QString name;
    QStringList synopses; // what follows the options
    QString summary;
    QList<QCommandLineOption> options;
};

QCommandLineOption option(const char* name, const char* description, const char* value = nullptr)
{
    QCommandLineOption o{QString::fromLatin1(name), QString::fromLatin1(description)};
    if (value)
        o.setValueName(QLatin1String(value));
    return o;
}

// The database every command reads; only evaluate may rebuild it.
const QList<QCommandLineOption>& databaseOptions()
{
    static const QList<QCommandLineOption> options{
        option("database",
               "The evaluation database to use. Without it, the program's own database "
               "(DupTestDataFin.db beside the program, or a copy of your own when you cannot write "
               "there). A file that does not exist is created with the supplied test data. One program "
               "at a time uses a database; a second one is refused (exit code 3).",
               "FILE"),
    };
    return options;
}

const QList<QCommandLineOption>& rebuildOptions()
{
    static const QList<QCommandLineOption> options = databaseOptions()
        + QList<QCommandLineOption>{option(
            "rebuild-database",
            "A database file that is not a database, or lacks tables, is rebuilt from the supplied "
            "test data (the old file is kept as FILE.bak). Without it such a file is left alone "
            "(exit code 3). The other commands never change a database's file: they refuse a damaged "
            "one, or one of another version's test data (exit code 3).")};
    return options;
}

// The options of a command that prints one file: the database, its format,
// and where it goes.
QList<QCommandLineOption> outputOptions(const QString& file)
{
    return databaseOptions()
        + QList<QCommandLineOption>{
            option("format", "text (default), csv or json.", "text|csv|json"),
            QCommandLineOption{QStringLiteral("output"),
                               QStringLiteral("Writes %1.txt, %1.csv or %1.json into DIR instead of standard output.").arg(file),
                               QStringLiteral("DIR")},
        };
}

QString reportList()
{
    QString list = QStringLiteral("Rebuilds and prints reports by index, as View on the report page does:");
    for (const ReportDef& report : reportCatalogue())
        list += QStringLiteral("\n  %1 %2").arg(report.index).arg(report.title);
    return list + QStringLiteral("\nor 'all' for the eight.");
}

const QList<Command>& commands()
{
    static const QList<Command> list{
        {QStringLiteral("evaluate"),
         {QStringLiteral("RESULTS_FILE"), QStringLiteral("--reuse")},
         QStringLiteral("Loads a registry's results file (15 comma-delimited fields a line) and analyses it "
                        "against the answer sheet, as step 3 of the program does."),
         rebuildOptions()
             + QList<QCommandLineOption>{
                 option("reuse", "Keeps the previous load and analysis instead of a new file."),
                 option("strict", "Exits with code 4 when more than 20 percent of the test records are missing "
                                  "from the results file."),
                 option("fail-below",
                        "Exits with code 5 when overall sensitivity is below SENSITIVITY or overall specificity below SPECIFICITY "
                        "(percentages, as in 90,98 or 90.5,98; the scores rounded as the reports show them), after a "
                        "message naming the score. With --reuse the previous evaluation is checked. When --strict's "
                        "code 4 applies too, the code is 4.",
                        "SENSITIVITY,SPECIFICITY"),
             }},
        {QStringLiteral("report"),
         {QStringLiteral("INDEX... | all")},
         reportList(),
         databaseOptions()
             + QList<QCommandLineOption>{
                 option("format",
                        "text (default) prints aligned tables; csv and json write one file per report, named "
                        "after its page design, headed by field names; each score field X gains XLow and XHigh, "
                        "its 95 percent interval, after the report's own fields.",
                        "text|csv|json"),
                 option("output", "The folder for csv and json files (default: the current folder).", "DIR"),
                 option("pdf", "Also writes one PDF per report into DIR, named after its page design "
                               "(rptOverall.pdf, ...).",
                        "DIR"),
             }},
        {QStringLiteral("deck"),
         {QStringLiteral("--format hl7|csv|txt [--output FILE]")},
         QStringLiteral("Writes the test deck for loading into a registry: txt is DupTestData.txt as shipped, csv the "
                        "same records headed by their field names with what each was sent with (facility, medical "
                        "record number, address, phone, multiple birth, lot number), hl7 one HL7 2.5.1 VXU message per "
                        "test record in a batch file. Needs no database."),
         {
             option("format", "txt (default), csv or hl7.", "txt|csv|hl7"),
             option("output", "The file to write (default: standard output).", "FILE"),
             option("processing-id", "MSH-11 of the hl7 messages: T (default) for a test system, P for production.",
                    "T|P"),
             option("at",
                    "The time of the hl7 export instead of now, as 2026-03-04T05:06:07 (local time) or with its "
                    "offset, 2026-03-04T05:06:07+01:00 or Z: MSH-7 and the file and batch headers carry it, and every "
                    "control ID begins with it. The same time gives the same file.",
                    "TIME"),
         }},
        {QStringLiteral("explain"),
         {QStringLiteral("ID... | all | missed | lost | strangers")},
         QStringLiteral("Tells, for test records of the last evaluation, what the registry did with each: the outcome "
                        "(main, caught, flagged, missed, lost, absent, kept_apart, stranger_merge), the attempt that found it "
                        "(1 to 6), the client and its flag, and the fields in which it differs from its group's main "
                        "record. IDs are test-record IDs; missed, lost and strangers pick the records of that outcome."),
         outputOptions(QStringLiteral("explain"))},
        {QStringLiteral("history"),
         {QString()},
         QStringLiteral("Lists the saved runs, oldest first: every evaluation that completed, numbered from 1, with its time "
                        "(UTC), the results file's name, size and SHA-256, the rows loaded, the test data's fingerprint "
                        "(deck) and the overall sensitivity and specificity. text shows each score with its 95 percent "
                        "interval; csv and json carry the fields run, time, file, size, sha256, rows, deck, sensitivity, "
                        "specificity."),
         outputOptions(QStringLiteral("history"))},
        {QStringLiteral("compare"),
         {QStringLiteral("RUN_A RUN_B")},
         QStringLiteral("Shows what changed from RUN_A to RUN_B: each score whose value changed, with its 95 percent "
                        "interval in both runs (a change beyond both intervals is one that chance alone rarely makes), "
                        "and the test records whose outcome changed, in explain's words. A run is its number in "
                        "history, or a negative count from the newest: -1 is the newest, -2 the one before. A run that "
                        "does not exist is an error (exit code 3).\n"
                        "csv has one row per change under Kind,Name,Before,BeforeLow,BeforeHigh,After,AfterLow,AfterHigh,"
                        "BeyondIntervals: Kind figure names a score; Kind record names a test-record ID, with its outcomes "
                        "in Before and After and the other fields empty."),
         outputOptions(QStringLiteral("compare"))},
    };
    return list;
}

const Command* commandNamed(const QString& name)
{
    for (const Command& command : commands())
        if (command.name == name)
            return &command;
    return nullptr;
}

// Words of text wrapped to width, each line after the first indented.
QString wrapped(const QString& text, int indent, int width = 92)
{
    QString out;
    for (const QString& paragraph : text.split(QLatin1Char('\n'))) {
        int column = indent;
        bool first = true;
        if (!out.isEmpty())
            out += QLatin1Char('\n') + QString(indent, QLatin1Char(' '));
        for (const QString& word : paragraph.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            if (!first && column + 1 + word.size() > width) {
                out += QLatin1Char('\n') + QString(indent, QLatin1Char(' '));
                column = indent;
                first = true;
            }
            if (!first) {
                out += QLatin1Char(' ');
                ++column;
            }
            out += word;
            column += int(word.size());
            first = false;
        }
    }
    return out;
}

QString optionSynopsis(const QCommandLineOption& o)
{
    QString text = QStringLiteral("--") + o.names().first();
    if (!o.valueName().isEmpty())
        text += QLatin1Char(' ') + o.valueName();
    return text;
}

// The command is the first word that is neither an option nor an option's
// value, so options may stand before it too. It is taken out of the words.
QString takeCommand(QStringList& words, const QSet<QString>& takesValue)
{
    for (qsizetype i = 1; i < words.size(); ++i) {
        if (takesValue.contains(words[i]))
            ++i;
        else if (!words[i].startsWith(QLatin1Char('-')))
            return words.takeAt(i);
    }
    return {};
}

// SENSITIVITY,SPECIFICITY as two percentages; nullopt unless both are 0 to 100.
std::optional<Thresholds> thresholdsOf(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char(','));
    double percent[2] = {};
    bool ok = parts.size() == 2;
    for (qsizetype i = 0; ok && i < 2; ++i) {
        percent[i] = parts[i].trimmed().toDouble(&ok);
        ok = ok && percent[i] >= 0 && percent[i] <= 100;
    }
    return ok ? std::optional<Thresholds>(Thresholds{percent[0], percent[1]}) : std::nullopt;
}

} // namespace

QString helpText()
{
    QString text = QStringLiteral("Usage:\n");
    for (const Command& command : commands())
        for (const QString& synopsis : command.synopses)
            text += QStringLiteral("  marrowick-batch %1 [OPTIONS]%2\n")
                        .arg(command.name, synopsis.isEmpty() ? QString() : QLatin1Char(' ') + synopsis);
    text += QStringLiteral("  marrowick-batch --help\n");
    for (const Command& command : commands()) {
        text += QStringLiteral("\n%1\n  %2\n").arg(command.name, wrapped(command.summary, 2));
        for (const QCommandLineOption& o : command.options) {
            const QString name = optionSynopsis(o);
            text += QStringLiteral("  %1%2%3\n")
                        .arg(name, QString(qMax(1, 26 - int(name.size())), QLatin1Char(' ')), wrapped(o.description(), 28));
        }
    }
    text += QStringLiteral(
        "\nMessages go to standard error as 'Title: text'.\n"
        "Exit codes: 0 done, 1 the results file was refused (fix the file), or there is no\n"
        "evaluation to report, explain or compare, 2 usage error, 3 database or other error\n"
        "(the database is in use, read-only, full, damaged or of another version: retry later;\n"
        "an output could not be written; or compare names a run that does not exist or is\n"
        "damaged), 4 (with --strict) more than 20 percent of the test records are missing,\n"
        "5 (with --fail-below) a score is below its threshold.\n"
        "Statements behind a database error are logged with\n"
        "QT_LOGGING_RULES=\"marrowick.sql.debug=true\".\n");
    return text;
}

std::optional<Options> parseCommandLine(const QStringList& arguments, QString& problem)
{
    QSet<QString> takesValue;
    for (const Command& command : commands())
        for (const QCommandLineOption& o : command.options)
            if (!o.valueName().isEmpty()) // written with one dash or two
                takesValue << QStringLiteral("--") + o.names().first() << QStringLiteral("-") + o.names().first();
    QStringList rest = arguments;
    Options options;
    options.command = takeCommand(rest, takesValue);
    if (options.command.isEmpty()) {
        problem = QStringLiteral("no command given");
        return std::nullopt;
    }
    const Command* command = commandNamed(options.command);
    if (!command) {
        problem = QStringLiteral("unknown command ") + options.command;
        return std::nullopt;
    }
    // A run counted back from the newest (-1) would read as an option: it is
    // marked as a word here and unmarked below. Only compare takes such numbers.
    const QChar minus(0x2212);
    const bool compare = options.command == QLatin1String("compare");
    for (qsizetype i = 1; compare && i < rest.size(); ++i) {
        bool number = false;
        rest[i].toLongLong(&number);
        if (number && rest[i].startsWith(QLatin1Char('-')) && !takesValue.contains(rest[i - 1]))
            rest[i][0] = minus;
    }
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addOptions(command->options);
    if (!parser.parse(rest)) {
        problem = parser.errorText();
        return std::nullopt;
    }
    auto value = [&](const char* name, QString& into) {
        if (parser.isSet(QLatin1String(name)))
            into = parser.value(QLatin1String(name));
    };
    auto flag = [&](const char* name) { return parser.isSet(QLatin1String(name)); };
    value("database", options.database);
    if (options.command == QLatin1String("evaluate")) {
        options.rebuild = flag("rebuild-database");
        options.reuse = flag("reuse");
        options.strict = flag("strict");
        if (flag("fail-below")) {
            const QString text = parser.value(QStringLiteral("fail-below"));
            options.failBelow = thresholdsOf(text);
            if (!options.failBelow) {
                problem = QStringLiteral("--fail-below takes two percentages, SENSITIVITY,SPECIFICITY: ") + text;
                return std::nullopt;
            }
        }
    } else if (options.command == QLatin1String("deck")) {
        options.format = parser.isSet(QStringLiteral("format")) ? parser.value(QStringLiteral("format")) : QStringLiteral("txt");
        options.output = parser.value(QStringLiteral("output"));
        value("processing-id", options.processingId);
        value("at", options.at);
    } else if (options.command == QLatin1String("explain") || options.command == QLatin1String("history") || compare) {
        options.output.clear(); // standard output unless a folder is named
        value("format", options.format);
        value("output", options.output);
    } else {
        value("format", options.format);
        value("output", options.output);
        value("pdf", options.pdf);
    }
    options.positional = parser.positionalArguments();
    for (QString& word : options.positional)
        if (compare && word.startsWith(minus))
            word[0] = QLatin1Char('-');
    return options;
}

} // namespace marrowick::batch
