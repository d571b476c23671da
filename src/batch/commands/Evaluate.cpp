#include "Command.h"

#include "BatchPlatform.h"
#include "analysis/EvaluationRun.h"
#include "database/Db.h"
#include "history/Scores.h"
#include "output/ReportOutput.h"
#include "platform/Platform.h"

namespace marrowick::batch {

namespace {

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

// True when an overall score of the evaluation in the working tables, rounded
// as the reports show it, is below its threshold; each such score is named.
bool belowThresholds(const Thresholds& thresholds)
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

QList<QCommandLineOption> evaluateOptions()
{
    return databaseOptions()
           + QList<QCommandLineOption>{
               option("rebuild-database",
                      "A database file that is not a database, or lacks tables, is rebuilt from the supplied "
                      "test data (the old file is kept as FILE.bak). Without it such a file is left alone "
                      "(exit code 3). The other commands never change a database's file: they refuse a damaged "
                      "one, or one of another version's test data (exit code 3)."),
               option("reuse", "Keeps the previous load and analysis instead of a new file."),
               option("strict", "Exits with code 4 when more than 20 percent of the test records are missing "
                                "from the results file."),
               option("fail-below",
                      "Exits with code 5 when overall sensitivity is below SENSITIVITY or overall specificity below "
                      "SPECIFICITY (percentages, as in 90,98 or 90.5,98; the scores rounded as the reports show them), "
                      "after a message naming the score. With --reuse the previous evaluation is checked. When "
                      "--strict's code 4 applies too, the code is 4.",
                      "SENSITIVITY,SPECIFICITY"),
           };
}

class Evaluate final : public Command {
public:
    Evaluate()
        : Command(QStringLiteral("evaluate"), {QStringLiteral("RESULTS_FILE"), QStringLiteral("--reuse")},
                  QStringLiteral("Loads a registry's results file (15 comma-delimited fields a line) and analyses "
                                 "it against the answer sheet, as step 3 of the program does."),
                  evaluateOptions())
    {
    }

    void read(const QCommandLineParser& parser, Options& into) const override
    {
        into.rebuild = parser.isSet(QStringLiteral("rebuild-database"));
        into.reuse = parser.isSet(QStringLiteral("reuse"));
        into.strict = parser.isSet(QStringLiteral("strict"));
        if (!parser.isSet(QStringLiteral("fail-below"))) return;
        const QString text = parser.value(QStringLiteral("fail-below"));
        into.failBelow = thresholdsOf(text);
        if (!into.failBelow)
            throw UsageError(QStringLiteral("--fail-below takes two percentages, SENSITIVITY,SPECIFICITY: ") + text);
    }

    int run(const Options& o, BatchPlatform& host) const override
    {
        if (o.reuse == !o.positional.isEmpty() || o.positional.size() > 1)
            throw UsageError(QStringLiteral("evaluate takes one results file, or --reuse"));
        return withDatabase(o, o.reuse ? Needs::Evaluation : Needs::Database, [&] {
            if (!o.reuse) {
                EvaluationRun::LoadAndAnalyze(o.positional.first());
                host.clearLine();
            }
            return summarise(o);
        });
    }

private:
    // The summary line, then every check speaks before the code is chosen, so
    // a script's log names each fault.
    static int summarise(const Options& o)
    {
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
            platform().MsgBox(EvaluationRun::kMostlyMissingTitle, EvaluationRun::kMostlyMissingPrompt,
                              MsgIcon::Exclamation, MsgButtons::OkCancel);
        const bool below = o.failBelow && belowThresholds(*o.failBelow);
        if (incomplete && o.strict) return Incomplete;
        return below ? BelowThreshold : Done;
    }
};

} // namespace

std::unique_ptr<Command> makeEvaluate() { return std::make_unique<Evaluate>(); }

} // namespace marrowick::batch
