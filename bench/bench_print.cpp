// "List of All Duplicate Records" on the full deck, every test record its own
// client: writing its PDF, and opening its preview.
#include "BenchSupport.h"
#include "analysis/EvaluationRun.h"
#include "database/EvalDatabase.h"
#include "reports/PdfExport.h"
#include "reports/ReportModel.h"
#include "windows/ReportPreview.h"

#include <QApplication>
#include <QPrintPreviewWidget>
#include <QTemporaryDir>

using namespace marrowick;

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    openEvalDatabase(dir.filePath(QStringLiteral("bench.db")));
    EvaluationRun::LoadAndAnalyze(QStringLiteral(MARROWICK_SOURCE_DIR "/samples/results-none.txt"));
    const ReportDef& report = *reportAt(7);
    int rows = 0;
    const double pdfMs = bench::medianMs(5, [&] {
        const ReportModel model(report);
        rows = model.rowCount();
        exportReportPdf(report, model, dir.filePath(QStringLiteral("all.pdf"))); // a refusal ends the run
    });
    std::printf("(%d records)\n", rows);
    bench::report("lay out and write the List of All Duplicate Records PDF", pdfMs, "ms", 1000);

    const ReportModel model(report);
    int pages = 0;
    const double previewMs = bench::medianMs(5, [&] {
        ReportPreview* preview = ReportPreview::instanceFor(report);
        preview->bind(&model);
        preview->show();
        QApplication::processEvents();
        pages = preview->preview->pageCount();
        preview->close();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    });
    std::printf("(%d pages)\n", pages);
    bench::report("open the preview of the same report", previewMs, "ms", 500);
    closeEvalDatabase();
    return 0;
}
