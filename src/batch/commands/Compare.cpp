#include "Command.h"

#include "history/RunHistory.h"
#include "output/HistoryOutput.h"
#include "platform/Platform.h"
#include "OutputCommand.h"

namespace marrowick::batch {

namespace {

class Compare final : public OutputCommand {
public:
    Compare()
        : OutputCommand(
            QStringLiteral("compare"), {QStringLiteral("RUN_A RUN_B")},
            QStringLiteral(
                "Shows what changed from RUN_A to RUN_B: each score whose value changed, with its 95 percent "
                "interval in both runs (a change beyond both intervals is one that chance alone rarely makes), "
                "and the test records whose outcome changed, in explain's words. A run is its number in "
                "history, or a negative count from the newest: -1 is the newest, -2 the one before. A run that "
                "does not exist is an error (exit code 3).\n"
                "csv has one row per change under Kind,Name,Before,BeforeLow,BeforeHigh,After,AfterLow,AfterHigh,"
                "BeyondIntervals: Kind figure names a score; Kind record names a test-record ID, with its "
                "outcomes in Before and After and the other fields empty."))
    {
    }

    bool takesNegativeNumbers() const override { return true; }

    int run(const Options& o, BatchPlatform&) const override
    {
        const ReportFormat format = formatOf(o);
        if (o.positional.size() != 2) throw UsageError(QStringLiteral("compare takes two runs"));
        qint64 named[2] = {};
        for (int k = 0; k < 2; ++k) {
            named[k] = plainInteger(o.positional[k]).value_or(0);
            if (named[k] == 0)
                throw UsageError(QStringLiteral("a run is its number, or a negative count from the newest (-1): ")
                                 + o.positional[k]);
        }
        return withDatabase(o, Needs::Evaluation, [&] {
            qint64 runs[2] = {};
            for (int k = 0; k < 2; ++k)
                if (!resolve(named[k], runs[k])) return int(Failed);
            writeOutput(comparisonText(runs[0], runs[1], format), o.output,
                        QStringLiteral("compare") + formatExtension(format), QStringLiteral("The comparison"));
            return int(Done);
        });
    }

private:
    // The saved run a number names; false after an "Error" message when there
    // is none, or it is damaged.
    static bool resolve(qint64 named, qint64& run)
    {
        const std::optional<qint64> found = history::resolveRun(named);
        if (!found) {
            platform().MsgBox(
                QStringLiteral("Error"),
                QStringLiteral("There is no run %1; 'marrowick-batch history' lists the saved runs.").arg(named),
                MsgIcon::Critical, MsgButtons::Ok);
            return false;
        }
        run = *found;
        if (const std::optional<QString> cause = history::runDamage(*found)) {
            platform().MsgBox(QStringLiteral("Error"), QStringLiteral("Run %1 is damaged: %2.").arg(*found).arg(*cause),
                              MsgIcon::Critical, MsgButtons::Ok);
            return false;
        }
        return true;
    }
};

} // namespace

std::unique_ptr<Command> makeCompare() { return std::make_unique<Compare>(); }

} // namespace marrowick::batch
