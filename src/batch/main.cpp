// marrowick-batch: the evaluation without a window, for registries that rerun
// the test after every change to their matching rules.
#include "BatchPlatform.h"
#include "CommandLine.h"
#include "ExplainOutput.h"
#include "HistoryOutput.h"
#include "ReportOutput.h"
#include "analysis/EvaluationRun.h"
#include "database/Db.h"
#include "database/EvalDatabase.h"
#include "export/DeckExport.h"
#include "history/RunHistory.h"
#include "platform/FileRefused.h"
#include "platform/OutputFile.h"
#include "reports/Explanation.h"
#include "reports/PdfExport.h"
#include "reports/ReportCatalogue.h"
#include "reports/ReportModel.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QStringList>
#include <cstdio>
#include <memory>
#include <optional>

using namespace marrowick;
using marrowick::batch::Options;

namespace {

enum Exit { Done = 0, Refused = 1, Usage = 2, Failed = 3, Incomplete = 4, BelowThreshold = 5 };

// A number as a script writes it: digits, a minus sign at most, no blanks.
std::optional<qint64> plainInteger(const QString& text)
{
    static const QRegularExpression digits(QStringLiteral("^-?[0-9]{1,18}$"));
    if (!digits.match(text).hasMatch())
        return std::nullopt;
    return text.toLongLong();
}

int usage(const QString& problem)
{
    std::fprintf(stderr, "marrowick-batch: %s\nTry 'marrowick-batch --help'.\n", qPrintable(problem));
    return Usage;
}

// Opens the evaluation database; throws FileRefused when it cannot be used.
// Only evaluate may replace the file.
void openDatabase(const Options& o, QString& path)
{
    path = o.database.isEmpty() ? defaultDatabasePath() : QDir::current().absoluteFilePath(o.database);
    const OnDamage mode = o.command != QLatin1String("evaluate") ? OnDamage::ReadOnly
        : o.rebuild                                              ? OnDamage::Rebuild
                                                                 : OnDamage::Refuse;
    openEvalDatabase(path, mode);
}

// Scores come only from an evaluation: without one, a command that reads it
// refuses, as evaluate --reuse does.
bool refusedWithoutEvaluation()
{
    if (EvaluationRun::HasPreviousLoad())
        return false;
    platform().MsgBox(EvaluationRun::kFileNameMissingTitle, EvaluationRun::kFileNameMissingPrompt, MsgIcon::Exclamation,
                      MsgButtons::Ok);
    return true;
}

// True when an overall score of the evaluation in the working tables, rounded
// as the reports show it, is below its threshold; each such score is named.
bool belowThresholds(const batch::Thresholds& thresholds)
{
    const std::vector<Figure> figures = currentFigures();
    bool below = false;
    for (const auto& [figure, threshold] :
         {std::pair{figures[0], thresholds.sensitivity}, std::pair{figures[1], thresholds.specificity}}) {
        const double value = figure.value().value_or(0);
        if (value < threshold) {
            platform().MsgBox(QStringLiteral("Below Threshold"),
                              QStringLiteral("%1 is %2 %, below the threshold of %3 %.")
                                  .arg(figure.label, QString::number(value), QString::number(threshold)),
                              MsgIcon::Exclamation, MsgButtons::Ok);
            below = true;
        }
    }
    return below;
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
    QString path;
    openDatabase(o, path);
    CloseAtEnd close{path};
    if (o.reuse) {
        if (refusedWithoutEvaluation())
            return Refused;
    } else {
        EvaluationRun::LoadAndAnalyze(o.positional.first());
        host.clearLine();
    }
    const qint64 loaded = countRows(QStringLiteral("IIS_LOADED_CHILD_ALL"));
    const qint64 duplicates = countRows(QStringLiteral("IIS_DUPLICATES"));
    const qint64 missing = countRows(QStringLiteral("IIS_MISSING_RECORDS"));
    writeOutput(QStringLiteral("%1 rows loaded; %2 duplicates kept as extra clients; %3 people missing.\n")
                    .arg(loaded)
                    .arg(duplicates)
                    .arg(missing)
                    .toUtf8(),
                QString(), QString(), QStringLiteral("The summary"));
    const bool incomplete = EvaluationRun::MostlyMissing();
    if (incomplete)
        platform().MsgBox(EvaluationRun::kMostlyMissingTitle, EvaluationRun::kMostlyMissingPrompt, MsgIcon::Exclamation,
                          MsgButtons::OkCancel);
    // Every check speaks before the code is chosen, so a script's log names each fault.
    const bool below = o.failBelow && belowThresholds(*o.failBelow);
    if (incomplete && o.strict)
        return Incomplete;
    return below ? BelowThreshold : Done;
}

int report(const Options& o)
{
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
    openDatabase(o, path);
    CloseAtEnd close{path};
    if (refusedWithoutEvaluation())
        return Refused;
    for (int index : indexes) {
        const ReportDef& def = *reportAt(index);
        if (!def.refillTable())
            return Failed;
        const ReportModel rows(def);
        writeReport(rows, *format, o.output);
        if (!o.pdf.isEmpty()) {
            QDir().mkpath(o.pdf);
            if (!exportReportPdf(def, rows, QDir(o.pdf).filePath(def.fileName + QStringLiteral(".pdf"))))
                return Failed;
        }
    }
    return Done;
}

int deck(const Options& o)
{
    const auto format = deckFormatNamed(o.format);
    if (!format)
        return usage(QStringLiteral("--format takes hl7, csv or txt"));
    if (o.processingId != QLatin1String("T") && o.processingId != QLatin1String("P"))
        return usage(QStringLiteral("--processing-id takes T or P"));
    if (!o.positional.isEmpty())
        return usage(QStringLiteral("deck takes no arguments: ") + o.positional.join(QLatin1Char(' ')));
    const QDateTime at = QDateTime::fromString(o.at, Qt::ISODateWithMs);
    if (!o.at.isEmpty() && !at.isValid())
        return usage(QStringLiteral("--at takes a time as 2026-03-04T05:06:07, with or without an offset: ") + o.at);
    const DeckExportOptions options{*format, o.processingId.front(), at};
    const QString path = o.output.isEmpty() ? QString() : QDir::current().absoluteFilePath(o.output);
    writeOutputOrRefuse(path, exportDeck(options),
                        QStringLiteral("The test data could not be written to ")
                            + (o.output.isEmpty() ? QStringLiteral("standard output") : o.output));
    return Done;
}

int explainRecords(const Options& o)
{
    const auto format = reportFormatNamed(o.format);
    if (!format)
        return usage(QStringLiteral("--format takes text, csv or json"));
    const QStringList selectors{QStringLiteral("all"), QStringLiteral("missed"), QStringLiteral("lost"), QStringLiteral("strangers")};
    QList<qint64> ids;
    QString selector;
    for (const QString& p : o.positional) {
        const std::optional<qint64> id = plainInteger(p);
        if (id && *id > 0) {
            if (!ids.contains(*id))
                ids << *id;
        } else if (selectors.contains(p) && o.positional.size() == 1)
            selector = p;
        else
            return usage(QStringLiteral("explain takes test-record IDs, or one of all, missed, lost, strangers: ") + p);
    }
    if (ids.isEmpty() && selector.isEmpty())
        return usage(QStringLiteral("explain needs test-record IDs, or all, missed, lost or strangers"));
    QString path;
    openDatabase(o, path);
    CloseAtEnd close{path};
    if (refusedWithoutEvaluation())
        return Refused;
    const std::vector<RecordOutcome> records = selector.isEmpty() ? explain::outcomesOf(ids) : explain::outcomesSelected(selector);
    if (records.size() < size_t(ids.size())) {
        for (const RecordOutcome& r : records)
            ids.removeOne(r.id);
        QStringList unknown;
        for (qint64 id : ids)
            unknown << QString::number(id);
        platform().MsgBox(QStringLiteral("Error"),
                          QStringLiteral("Not test records of the last evaluation: %1.").arg(unknown.join(QStringLiteral(", "))),
                          MsgIcon::Critical, MsgButtons::Ok);
        return Failed;
    }
    writeExplanations(records, *format, o.output);
    return Done;
}

int listHistory(const Options& o)
{
    const auto format = reportFormatNamed(o.format);
    if (!format)
        return usage(QStringLiteral("--format takes text, csv or json"));
    if (!o.positional.isEmpty())
        return usage(QStringLiteral("history takes no arguments: ") + o.positional.join(QLatin1Char(' ')));
    QString path;
    openDatabase(o, path);
    CloseAtEnd close{path};
    for (const auto& [run, cause] : history::damagedRuns())
        platform().MsgBox(QStringLiteral("Warning"), QStringLiteral("Run %1 is damaged: %2; it is left out.").arg(run).arg(cause),
                          MsgIcon::Exclamation, MsgButtons::Ok);
    writeOutput(historyText(*format), o.output, QStringLiteral("history") + formatExtension(*format),
                QStringLiteral("The history"));
    return Done;
}

int compare(const Options& o)
{
    const auto format = reportFormatNamed(o.format);
    if (!format)
        return usage(QStringLiteral("--format takes text, csv or json"));
    if (o.positional.size() != 2)
        return usage(QStringLiteral("compare takes two runs"));
    qint64 named[2] = {};
    for (int k = 0; k < 2; ++k) {
        const std::optional<qint64> run = plainInteger(o.positional[k]);
        named[k] = run.value_or(0);
        if (named[k] == 0)
            return usage(QStringLiteral("a run is its number, or a negative count from the newest (-1): ") + o.positional[k]);
    }
    QString path;
    openDatabase(o, path);
    CloseAtEnd close{path};
    if (refusedWithoutEvaluation())
        return Refused;
    qint64 runs[2] = {};
    for (int k = 0; k < 2; ++k) {
        const std::optional<qint64> found = history::resolveRun(named[k]);
        if (!found) {
            platform().MsgBox(QStringLiteral("Error"),
                              QStringLiteral("There is no run %1; 'marrowick-batch history' lists the saved runs.").arg(named[k]),
                              MsgIcon::Critical, MsgButtons::Ok);
            return Failed;
        }
        runs[k] = *found;
        if (const std::optional<QString> cause = history::runDamage(*found)) {
            platform().MsgBox(QStringLiteral("Error"), QStringLiteral("Run %1 is damaged: %2.").arg(*found).arg(*cause),
                              MsgIcon::Critical, MsgButtons::Ok);
            return Failed;
        }
    }
    writeOutput(comparisonText(runs[0], runs[1], *format), o.output,
                QStringLiteral("compare") + formatExtension(*format), QStringLiteral("The comparison"));
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
        std::fputs(batch::helpText().toLocal8Bit().constData(), stdout);
        return Done;
    }
    QString problem;
    const auto options = batch::parseCommandLine(args, problem);
    if (!options)
        return usage(problem);
    try {
        if (options->command == QLatin1String("evaluate"))
            return evaluate(*options, host);
        if (options->command == QLatin1String("report"))
            return report(*options);
        if (options->command == QLatin1String("deck"))
            return deck(*options);
        if (options->command == QLatin1String("explain"))
            return explainRecords(*options);
        if (options->command == QLatin1String("history"))
            return listHistory(*options);
        if (options->command == QLatin1String("compare"))
            return compare(*options);
        return usage(QStringLiteral("unknown command ") + options->command);
    } catch (const FileRefused& refused) {
        // Told whole; a refused results file is the user's to fix, anything else a fault.
        showCurrentFailure(QStringLiteral("The previous evaluation is unchanged."));
        return refused.role() == FileRefused::Role::Results ? Refused : Failed;
    } catch (...) {
        showCurrentFailure(QStringLiteral("The previous evaluation is unchanged."));
        return Failed;
    }
}
