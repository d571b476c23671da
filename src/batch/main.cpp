// marrowick-batch: the evaluation without a window, for registries that rerun
// the test after every change to their matching rules.
#include "BatchPlatform.h"
#include "ReportOutput.h"
#include "analysis/EvaluationRun.h"
#include "database/Db.h"
#include "database/EvalDatabase.h"
#include "reports/PdfExport.h"
#include "reports/ReportCatalogue.h"
#include "reports/ReportModel.h"

#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QSqlQuery>
#include <QStringList>
#include <cstdio>
#include <memory>
#include <optional>

using namespace marrowick;

namespace {

enum Exit { Done = 0, Refused = 1, Usage = 2, Failed = 3, Incomplete = 4 };

const char* kHelp =
    "Usage:\n"
    "  marrowick-batch evaluate [--database FILE] [--rebuild-database] [--strict] RESULTS_FILE\n"
    "  marrowick-batch evaluate [--database FILE] [--rebuild-database] [--strict] --reuse\n"
    "  marrowick-batch report [--database FILE] [--rebuild-database] [--format text|csv|json] [--output DIR]\n"
    "                         [--pdf DIR] INDEX... | all\n"
    "  marrowick-batch --help\n"
    "\n"
    "Commands:\n"
    "  evaluate   Loads a registry's results file (15 comma-delimited fields a line) and\n"
    "             analyses it against the answer sheet, as step 3 of the program does.\n"
    "  report     Rebuilds and prints reports by index, as View on the report page does:\n"
    "               0 Summary of Results               4 Duplicate Records Missed\n"
    "               1 Results for Duplicate Records    5 Non-duplicate Records Lost\n"
    "               2 Results for Non-duplicate Records 6 List of All Non-duplicate in Test Data\n"
    "               3 Scores by Problem Type           7 List of All Duplicates in Test Data\n"
    "             or 'all' for the eight.\n"
    "\n"
    "Options:\n"
    "  --database FILE  The evaluation database to use. Without it, the program's own\n"
    "                   database (DupTestDataFin.db beside the program). A file that does not\n"
    "                   exist is created with the supplied test data. One program at a time\n"
    "                   uses a database; a second one is refused (exit code 3).\n"
    "  --rebuild-database  A database file that is not a database, or lacks tables, is\n"
    "                   rebuilt from the supplied test data (the old file is kept as\n"
    "                   FILE.bak). Without it such a file is left alone (exit code 3).\n"
    "  --reuse          evaluate: keep the previous load and analysis instead of a new file.\n"
    "  --strict         evaluate: exit with code 4 when more than 20 percent of the test\n"
    "                   records are missing from the results file.\n"
    "  --format FORMAT  report: text (default) prints aligned tables; csv and json write one\n"
    "                   file per report, named after its page design, headed by field names.\n"
    "  --output DIR     report: the folder for csv and json files (default: the current folder).\n"
    "  --pdf DIR        report: also write one PDF per report into DIR, named after its page\n"
    "                   design (rptOverall.pdf, ...).\n"
    "  --help           Shows this text.\n"
    "\n"
    "Messages go to standard error as 'Title: text'.\n"
    "Exit codes: 0 done, 1 the results file was refused (fix the file), 2 usage error,\n"
    "3 database or other error (the database is in use, read-only, full or damaged: retry\n"
    "later), 4 (with --strict) more than 20 percent of the test records are missing.\n"
    "Statements behind a database error are logged with\n"
    "QT_LOGGING_RULES=\"marrowick.sql.debug=true\".\n";

int usage(const QString& problem)
{
    std::fprintf(stderr, "marrowick-batch: %s\nTry 'marrowick-batch --help'.\n", qPrintable(problem));
    return Usage;
}

struct Options {
    QString command;
    QString database;
    QString format = QStringLiteral("text");
    QString output = QStringLiteral(".");
    QString pdf;
    bool reuse = false;
    bool strict = false;
    bool rebuild = false;
    QStringList positional;
};

std::optional<Options> parse(const QStringList& args, QString& problem)
{
    Options o;
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        auto value = [&](QString& into) {
            if (i + 1 >= args.size()) {
                problem = a + QStringLiteral(" needs a value");
                return false;
            }
            into = args[++i];
            return true;
        };
        if (a == QLatin1String("--database")) {
            if (!value(o.database))
                return std::nullopt;
        } else if (a == QLatin1String("--format")) {
            if (!value(o.format))
                return std::nullopt;
        } else if (a == QLatin1String("--output")) {
            if (!value(o.output))
                return std::nullopt;
        } else if (a == QLatin1String("--pdf")) {
            if (!value(o.pdf))
                return std::nullopt;
        } else if (a == QLatin1String("--reuse")) {
            o.reuse = true;
        } else if (a == QLatin1String("--strict")) {
            o.strict = true;
        } else if (a == QLatin1String("--rebuild-database")) {
            o.rebuild = true;
        } else if (a.startsWith(QLatin1String("--")) && a.size() > 2) {
            problem = QStringLiteral("unknown option ") + a;
            return std::nullopt;
        } else if (o.command.isEmpty()) {
            o.command = a;
        } else {
            o.positional << a;
        }
    }
    return o;
}

// Opens the evaluation database; false when it cannot be used (the message was shown).
bool openDatabase(const Options& o, QString& path)
{
    path = o.database.isEmpty() ? defaultDatabasePath() : QDir::current().absoluteFilePath(o.database);
    return openEvalDatabase(path, o.rebuild ? OnDamage::Rebuild : OnDamage::Ask);
}

// The database file is left read-only at the end, as the program leaves it.
struct CloseAtEnd {
    QString path;
    ~CloseAtEnd()
    {
        closeEvalDatabase();
        if (!path.isEmpty())
            setFileReadOnly(path, true);
    }
};

int evaluate(const Options& o, BatchPlatform& host)
{
    if (o.reuse == !o.positional.isEmpty() || o.positional.size() > 1)
        return usage(QStringLiteral("evaluate takes one results file, or --reuse"));
    if (o.format != QLatin1String("text") || o.output != QLatin1String(".") || !o.pdf.isEmpty())
        return usage(QStringLiteral("--format, --output and --pdf belong to the report command"));
    QString path;
    if (!openDatabase(o, path))
        return Failed;
    CloseAtEnd close{path};
    if (o.reuse) {
        if (!EvaluationRun::HasPreviousLoad()) {
            platform().MsgBox(EvaluationRun::kFileNameMissingTitle, EvaluationRun::kFileNameMissingPrompt, MsgIcon::Exclamation,
                              MsgButtons::Ok);
            return Refused;
        }
    } else {
        const bool loaded = EvaluationRun::LoadAndAnalyze(o.positional.first());
        host.clearLine();
        if (!loaded)
            return Refused;
    }
    const qint64 loaded = countRows(QStringLiteral("IIS_LOADED_CHILD_ALL"));
    const qint64 duplicates = countRows(QStringLiteral("IIS_DUPLICATES"));
    const qint64 missing = countRows(QStringLiteral("IIS_MISSING_RECORDS"));
    std::printf("%lld rows loaded; %lld duplicates kept as extra clients; %lld people missing.\n", loaded, duplicates, missing);
    if (EvaluationRun::MostlyMissing()) {
        platform().MsgBox(EvaluationRun::kMostlyMissingTitle, EvaluationRun::kMostlyMissingPrompt, MsgIcon::Exclamation,
                          MsgButtons::OkCancel);
        if (o.strict)
            return Incomplete;
    }
    return Done;
}

int report(const Options& o)
{
    if (o.reuse || o.strict)
        return usage(QStringLiteral("--reuse and --strict belong to the evaluate command"));
    const auto format = reportFormatNamed(o.format);
    if (!format)
        return usage(QStringLiteral("--format takes text, csv or json"));
    QList<int> indexes;
    for (const QString& p : o.positional) {
        if (p == QLatin1String("all")) {
            for (const ReportDef& r : reportCatalogue())
                indexes << r.index;
            continue;
        }
        bool ok = false;
        const int index = p.toInt(&ok);
        if (!ok || !reportAt(index))
            return usage(QStringLiteral("a report index is 0 to 7, or all: ") + p);
        indexes << index;
    }
    if (indexes.isEmpty())
        return usage(QStringLiteral("report needs report indexes, or all"));
    QString path;
    if (!openDatabase(o, path))
        return Failed;
    CloseAtEnd close{path};
    for (int index : indexes) {
        const ReportDef& def = *reportAt(index);
        if (!def.refillTable())
            return Failed;
        const ReportModel rows(def);
        if (!writeReport(rows, *format, o.output))
            return Failed;
        if (!o.pdf.isEmpty()) {
            QDir().mkpath(o.pdf);
            if (!exportReportPdf(def, rows, QDir(o.pdf).filePath(def.fileName + QStringLiteral(".pdf"))))
                return Failed;
        }
    }
    return Done;
}

} // namespace

// Standard error carries the program's messages only, in their one format, and
// the program's own log categories when someone turned them on.
void quietQt(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "Error: %s\n", qPrintable(message));
        std::abort();
    }
    if (context.category && qstrncmp(context.category, "marrowick.", 10) == 0)
        std::fprintf(stderr, "Debug: %s\n", qPrintable(message));
}

int main(int argc, char* argv[])
{
    qInstallMessageHandler(quietQt);
    // Only the page renderer needs a graphical application (fonts, not a display).
    bool pages = false;
    for (int i = 1; i < argc; ++i)
        pages = pages || qstrcmp(argv[i], "--pdf") == 0;
    if (pages && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::unique_ptr<QCoreApplication> app(pages ? new QGuiApplication(argc, argv) : new QCoreApplication(argc, argv));
    QCoreApplication::setApplicationName(QStringLiteral("Marrowick"));
    QCoreApplication::setOrganizationName(QStringLiteral("Marrowick"));
    BatchPlatform host;
    installPlatform(&host);

    const QStringList args = QCoreApplication::arguments();
    if (args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h"))) {
        std::fputs(kHelp, stdout);
        return Done;
    }
    QString problem;
    const auto options = parse(args, problem);
    if (!options)
        return usage(problem);
    try {
        if (options->command == QLatin1String("evaluate"))
            return evaluate(*options, host);
        if (options->command == QLatin1String("report"))
            return report(*options);
        return usage(options->command.isEmpty() ? QStringLiteral("no command given")
                                                : QStringLiteral("unknown command ") + options->command);
    } catch (const DatabaseFault& fault) {
        showDatabaseFault(fault, QStringLiteral("The previous evaluation is unchanged."));
        return Failed;
    } catch (const DbError& error) {
        platform().MsgBox(QStringLiteral("Error"), QString::number(error.number()) + QLatin1Char(' ') + error.description(),
                          MsgIcon::Critical, MsgButtons::Ok);
        return Failed;
    } catch (const std::exception& error) {
        platform().MsgBox(QStringLiteral("Error"), QString::fromLocal8Bit(error.what()), MsgIcon::Critical, MsgButtons::Ok);
        return Failed;
    }
}
