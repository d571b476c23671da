// The page renderer of marrowick-batch, loaded only for --pdf: it brings the
// graphics library, which a run without pages never loads. The core's own code
// comes from the program that loads it.
#include "reports/PdfExport.h"

#include <QGuiApplication>

extern "C" Q_DECL_EXPORT QCoreApplication* marrowickPagesApplication(int& argc, char** argv)
{
    return new QGuiApplication(argc, argv);
}

extern "C" Q_DECL_EXPORT void marrowickExportReportPdf(const marrowick::ReportDef& report,
                                                       const QAbstractItemModel& rows, const QString& path)
{
    marrowick::exportReportPdf(report, rows, path);
}
