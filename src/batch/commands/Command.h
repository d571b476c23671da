#pragma once
#include "CommandLine.h"
#include "output/ReportOutput.h"
#include "UsageError.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace marrowick {
class BatchPlatform;
}

namespace marrowick::batch {

enum Exit { Done = 0, Refused = 1, Usage = 2, Failed = 3, Incomplete = 4, BelowThreshold = 5, RegistryFault = 6 };

// One command of the program. The help, the parsing and the dispatch all read
// the same objects, so the help cannot drift from what a command accepts.
class Command {
public:
    Command(QString commandName, QStringList usageLines, QString text, QList<QCommandLineOption> commandOptions)
        : name(std::move(commandName)), synopses(std::move(usageLines)), description(std::move(text)),
          options(std::move(commandOptions))
    {
    }
    virtual ~Command() = default;

    // The command's own options from a parser that has read them; throws
    // UsageError when a value does not parse.
    virtual void read(const QCommandLineParser& parser, Options& into) const = 0;
    virtual int run(const Options& options, BatchPlatform& host) const = 0;
    // A negative number is a word of this command (a run counted back), not an option.
    virtual bool takesNegativeNumbers() const { return false; }

    const QString name;
    const QStringList synopses; // what follows the options in the usage lines
    const QString description;
    const QList<QCommandLineOption> options;
};

// Every command, in the order the help lists them.
const std::vector<std::unique_ptr<Command>>& commands();
const Command* commandNamed(const QString& name);

QCommandLineOption option(const char* name, const char* description, const char* value = nullptr);
// The database every command but deck reads.
const QList<QCommandLineOption>& databaseOptions();
// The option's value when it was given; into stays as it was otherwise.
void readValue(const QCommandLineParser& parser, const char* name, QString& into);

// The --format asked for; a usage fault when it names none.
ReportFormat formatOf(const Options& options);
// The usage message, and the exit code of a usage fault.
int usage(const QString& problem);
// A number as a script writes it: digits, a minus sign at most, no blanks.
std::optional<qint64> plainInteger(const QString& text);

enum class Needs { Database, Evaluation };
// Runs work on the evaluation database and leaves the file read-only at the
// end, as the program leaves it. Only evaluate may replace the file. Without
// an evaluation, a command that needs one is refused, as evaluate --reuse is.
int withDatabase(const Options& o, Needs needs, const std::function<int()>& work);

} // namespace marrowick::batch
