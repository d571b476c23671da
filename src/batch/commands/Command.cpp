#include "Command.h"

#include "analysis/EvaluationRun.h"
#include "database/EvalDatabase.h"
#include "platform/OutputFile.h"
#include "platform/Platform.h"
#include "OutputCommand.h"

#include <QDir>
#include <QRegularExpression>
#include <cstdio>

namespace marrowick::batch {

const Command* commandNamed(const QString& name)
{
    for (const auto& command : commands())
        if (command->name == name) return command.get();
    return nullptr;
}

QCommandLineOption option(const char* name, const char* description, const char* value)
{
    QCommandLineOption o{QString::fromLatin1(name), QString::fromLatin1(description)};
    if (value) o.setValueName(QLatin1String(value));
    return o;
}

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

void readValue(const QCommandLineParser& parser, const char* name, QString& into)
{
    if (parser.isSet(QLatin1String(name))) into = parser.value(QLatin1String(name));
}

OutputCommand::OutputCommand(const QString& commandName, QStringList usageLines, QString text)
    : Command(commandName, std::move(usageLines), std::move(text),
              databaseOptions()
                  + QList<QCommandLineOption>{
                      option("format", "text (default), csv or json.", "text|csv|json"),
                      QCommandLineOption{
                          QStringLiteral("output"),
                          QStringLiteral("Writes %1.txt, %1.csv or %1.json into DIR instead of standard output.")
                              .arg(commandName),
                          QStringLiteral("DIR")},
                  })
{
}

void OutputCommand::read(const QCommandLineParser& parser, Options& into) const
{
    into.output.clear(); // standard output unless a folder is named
    readValue(parser, "format", into.format);
    readValue(parser, "output", into.output);
}

ReportFormat formatOf(const Options& options)
{
    const std::optional<ReportFormat> format = reportFormatNamed(options.format);
    if (!format) throw UsageError(QStringLiteral("--format takes text, csv or json"));
    return *format;
}

int usage(const QString& problem)
{
    std::fprintf(stderr, "marrowick-batch: %s\nTry 'marrowick-batch --help'.\n", qPrintable(problem));
    return Usage;
}

std::optional<qint64> plainInteger(const QString& text)
{
    static const QRegularExpression digits(QStringLiteral("^-?[0-9]{1,18}$"));
    if (!digits.match(text).hasMatch()) return std::nullopt;
    return text.toLongLong();
}

namespace {

// The database file is left read-only at the end, as the program leaves it.
struct CloseAtEnd {
    QString path;
    ~CloseAtEnd()
    {
        closeEvalDatabase();
        if (!path.isEmpty()) setFileReadOnly(path, true);
    }
};

} // namespace

int withDatabase(const Options& o, Needs needs, const std::function<int()>& work)
{
    const QString path = o.database.isEmpty() ? defaultDatabasePath() : QDir::current().absoluteFilePath(o.database);
    const OnDamage mode = o.command != QLatin1String("evaluate") ? OnDamage::ReadOnly
                          : o.rebuild                            ? OnDamage::Rebuild
                                                                 : OnDamage::Refuse;
    openEvalDatabase(path, mode);
    CloseAtEnd close{path};
    if (needs == Needs::Evaluation && !EvaluationRun::HasPreviousLoad()) {
        platform().MsgBox(EvaluationRun::kFileNameMissingTitle, EvaluationRun::kFileNameMissingPrompt,
                          MsgIcon::Exclamation, MsgButtons::Ok);
        return Refused;
    }
    return work();
}

} // namespace marrowick::batch
