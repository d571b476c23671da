#include "Command.h"

#include "output/ReportOutput.h"
#include "Pages.h"
#include "reports/ReportCatalogue.h"
#include "reports/ReportModel.h"

#include <QDir>

namespace marrowick::batch {

namespace {

QString reportList()
{
    QString list = QStringLiteral("Rebuilds and prints reports by index, as View on the report page does:");
    for (const ReportDef& report : reportCatalogue())
        list += QStringLiteral("\n  %1 %2").arg(report.index).arg(report.title);
    return list + QStringLiteral("\nor 'all' for the eight.");
}

class Report final : public Command {
public:
    Report()
        : Command(QStringLiteral("report"), {QStringLiteral("INDEX... | all")}, reportList(),
                  databaseOptions()
                      + QList<QCommandLineOption>{
                          option("format",
                                 "text (default) prints aligned tables; csv and json write one file per report, "
                                 "named after its page design, headed by field names; each score field X gains "
                                 "XLow and XHigh, its 95 percent interval, after the report's own fields.",
                                 "text|csv|json"),
                          option("output", "The folder for csv and json files (default: the current folder).", "DIR"),
                          option("pdf",
                                 "Also writes one PDF per report into DIR, named after its page design "
                                 "(rptOverall.pdf, ...).",
                                 "DIR"),
                      })
    {
    }

    void read(const QCommandLineParser& parser, Options& into) const override
    {
        readValue(parser, "format", into.format);
        readValue(parser, "output", into.output);
        readValue(parser, "pdf", into.pdf);
    }

    int run(const Options& o, BatchPlatform&) const override
    {
        const ReportFormat format = formatOf(o);
        QList<int> indexes;
        for (const QString& p : o.positional) {
            if (p == QLatin1String("all")) {
                for (const ReportDef& r : reportCatalogue()) indexes << r.index;
                continue;
            }
            bool ok = false;
            const int index = p.toInt(&ok);
            if (!ok || !reportAt(index)) throw UsageError(QStringLiteral("a report index is 0 to 7, or all: ") + p);
            indexes << index;
        }
        if (indexes.isEmpty()) throw UsageError(QStringLiteral("report needs report indexes, or all"));
        return withDatabase(o, Needs::Evaluation, [&] {
            for (int index : indexes)
                if (!write(*reportAt(index), format, o)) return int(Failed);
            return int(Done);
        });
    }

private:
    // One report refilled, printed, and written as a PDF when asked.
    static bool write(const ReportDef& def, ReportFormat format, const Options& o)
    {
        if (!def.refillTable()) return false;
        const ReportModel rows(def);
        writeReport(rows, format, o.output);
        if (o.pdf.isEmpty()) return true;
        QDir().mkpath(o.pdf);
        pages::exportReportPdf(def, rows, QDir(o.pdf).filePath(def.fileName + QStringLiteral(".pdf")));
        return true;
    }
};

} // namespace

std::unique_ptr<Command> makeReport() { return std::make_unique<Report>(); }

} // namespace marrowick::batch
