#include "Command.h"

#include "history/RunHistory.h"
#include "output/HistoryOutput.h"
#include "platform/Platform.h"
#include "OutputCommand.h"

namespace marrowick::batch {

namespace {

class History final : public OutputCommand {
public:
    History()
        : OutputCommand(
            QStringLiteral("history"), {QString()},
            QStringLiteral("Lists the saved runs, oldest first: every evaluation that completed, numbered from 1, "
                           "with its time (UTC), the results file's name, size and SHA-256, the rows loaded, the "
                           "test data's fingerprint (deck) and the overall sensitivity and specificity. text shows "
                           "each score with its 95 percent interval; csv and json carry the fields run, time, "
                           "file, size, sha256, rows, deck, sensitivity, specificity."))
    {
    }

    int run(const Options& o, BatchPlatform&) const override
    {
        const ReportFormat format = formatOf(o);
        if (!o.positional.isEmpty())
            throw UsageError(QStringLiteral("history takes no arguments: ") + o.positional.join(QLatin1Char(' ')));
        return withDatabase(o, Needs::Database, [&] {
            for (const auto& [number, cause] : history::damagedRuns())
                platform().MsgBox(QStringLiteral("Warning"),
                                  QStringLiteral("Run %1 is damaged: %2; it is left out.").arg(number).arg(cause),
                                  MsgIcon::Exclamation, MsgButtons::Ok);
            writeOutput(historyText(format), o.output, QStringLiteral("history") + formatExtension(format),
                        QStringLiteral("The history"));
            return Done;
        });
    }
};

} // namespace

std::unique_ptr<Command> makeHistory() { return std::make_unique<History>(); }

} // namespace marrowick::batch
