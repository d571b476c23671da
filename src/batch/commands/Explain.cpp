#include "Command.h"

#include "output/ExplainOutput.h"
#include "platform/Platform.h"
#include "reports/Explanation.h"
#include "OutputCommand.h"

namespace marrowick::batch {

namespace {

class Explain final : public OutputCommand {
public:
    Explain()
        : OutputCommand(
            QStringLiteral("explain"), {QStringLiteral("ID... | all | missed | lost | strangers")},
            QStringLiteral("Tells, for test records of the last evaluation, what the registry did with each: the "
                           "outcome (main, caught, flagged, missed, lost, absent, kept_apart, stranger_merge), the "
                           "attempt that found it (1 to 6), the client and its flag, and the fields in which it "
                           "differs from its group's main record. IDs are test-record IDs; missed, lost and "
                           "strangers pick the records of that outcome."))
    {
    }

    int run(const Options& o, BatchPlatform&) const override
    {
        const ReportFormat format = formatOf(o);
        const QStringList selectors{QStringLiteral("all"), QStringLiteral("missed"), QStringLiteral("lost"),
                                    QStringLiteral("strangers")};
        QList<qint64> ids;
        QString selector;
        for (const QString& p : o.positional) {
            const std::optional<qint64> id = plainInteger(p);
            if (id && *id > 0) {
                if (!ids.contains(*id)) ids << *id;
            } else if (selectors.contains(p) && o.positional.size() == 1)
                selector = p;
            else
                throw UsageError(
                    QStringLiteral("explain takes test-record IDs, or one of all, missed, lost, strangers: ") + p);
        }
        if (ids.isEmpty() && selector.isEmpty())
            throw UsageError(QStringLiteral("explain needs test-record IDs, or all, missed, lost or strangers"));
        return withDatabase(o, Needs::Evaluation, [&] {
            const std::vector<RecordOutcome> records =
                selector.isEmpty() ? explain::outcomesOf(ids) : explain::outcomesSelected(selector);
            if (records.size() < size_t(ids.size())) return unknown(ids, records);
            writeExplanations(records, format, o.output);
            return int(Done);
        });
    }

private:
    // The IDs asked for that are no test records, named before anything is printed.
    static int unknown(QList<qint64> ids, const std::vector<RecordOutcome>& records)
    {
        for (const RecordOutcome& r : records) ids.removeOne(r.id);
        QStringList unknown;
        for (qint64 id : ids) unknown << QString::number(id);
        platform().MsgBox(
            QStringLiteral("Error"),
            QStringLiteral("Not test records of the last evaluation: %1.").arg(unknown.join(QStringLiteral(", "))),
            MsgIcon::Critical, MsgButtons::Ok);
        return Failed;
    }
};

} // namespace

std::unique_ptr<Command> makeExplain() { return std::make_unique<Explain>(); }

} // namespace marrowick::batch
