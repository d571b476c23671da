#include "CommandLine.h"

#include "UsageError.h"
#include "commands/Command.h"

#include <QCommandLineParser>
#include <QSet>

namespace marrowick::batch {

namespace {

// Words of text wrapped to width, each line after the first indented.
QString wrapped(const QString& text, int indent, int width = 92)
{
    QString out;
    for (const QString& paragraph : text.split(QLatin1Char('\n'))) {
        int column = indent;
        bool first = true;
        if (!out.isEmpty()) out += QLatin1Char('\n') + QString(indent, QLatin1Char(' '));
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
    if (!o.valueName().isEmpty()) text += QLatin1Char(' ') + o.valueName();
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

} // namespace

QString helpText()
{
    QString text = QStringLiteral("Usage:\n");
    for (const auto& command : commands())
        for (const QString& synopsis : command->synopses)
            text += QStringLiteral("  marrowick-batch %1 [OPTIONS]%2\n")
                        .arg(command->name, synopsis.isEmpty() ? QString() : QLatin1Char(' ') + synopsis);
    text += QStringLiteral("  marrowick-batch --help\n");
    for (const auto& command : commands()) {
        text += QStringLiteral("\n%1\n  %2\n").arg(command->name, wrapped(command->description, 2));
        for (const QCommandLineOption& o : command->options) {
            const QString name = optionSynopsis(o);
            text +=
                QStringLiteral("  %1%2%3\n")
                    .arg(name, QString(qMax(1, 26 - int(name.size())), QLatin1Char(' ')), wrapped(o.description(), 28));
        }
    }
    text += QStringLiteral("\nMessages go to standard error as 'Title: text'.\n"
                           "Exit codes: 0 done, 1 the results file was refused (fix the file), or there is no\n"
                           "evaluation to report, explain or compare, 2 usage error, 3 database or other error\n"
                           "(the database is in use, read-only, full, damaged or of another version: retry later;\n"
                           "an output could not be written; or compare names a run that does not exist or is\n"
                           "damaged), 4 (with --strict) more than 20 percent of the test records are missing,\n"
                           "5 (with --fail-below) a score is below its threshold.\n"
                           "Exit code 6 (send, fetch, roundtrip): the registry's interface failed (a SOAP fault such\n"
                           "as wrong credentials, a certificate error, or no answer after the retries).\n"
                           "Statements behind a database error are logged with\n"
                           "QT_LOGGING_RULES=\"marrowick.sql.debug=true\".\n");
    return text;
}

Options parseCommandLine(const QStringList& arguments)
{
    QSet<QString> takesValue;
    for (const auto& command : commands())
        for (const QCommandLineOption& o : command->options)
            if (!o.valueName().isEmpty()) // written with one dash or two
                takesValue << QStringLiteral("--") + o.names().first() << QStringLiteral("-") + o.names().first();
    QStringList rest = arguments;
    Options options;
    options.command = takeCommand(rest, takesValue);
    if (options.command.isEmpty()) throw UsageError(QStringLiteral("no command given"));
    const Command* command = commandNamed(options.command);
    if (!command) throw UsageError(QStringLiteral("unknown command ") + options.command);
    // A run counted back from the newest (-1) would read as an option: it is
    // marked as a word here and unmarked below.
    const QChar minus(0x2212);
    const bool counted = command->takesNegativeNumbers();
    for (qsizetype i = 1; counted && i < rest.size(); ++i) {
        bool number = false;
        rest[i].toLongLong(&number);
        if (number && rest[i].startsWith(QLatin1Char('-')) && !takesValue.contains(rest[i - 1])) rest[i][0] = minus;
    }
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addOptions(command->options);
    if (!parser.parse(rest)) throw UsageError(parser.errorText());
    readValue(parser, "database", options.database);
    command->read(parser, options);
    options.positional = parser.positionalArguments();
    for (QString& word : options.positional)
        if (counted && word.startsWith(minus)) word[0] = QLatin1Char('-');
    return options;
}

} // namespace marrowick::batch
