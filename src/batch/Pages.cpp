#include "Pages.h"

#include "Modules.h"

#include "database/DbError.h"

#include <QCoreApplication>
#include <dlfcn.h>

namespace marrowick::batch::pages {

namespace {

using MakeApplication = QCoreApplication* (*)(int&, char**);
using ExportReport = void (*)(const ReportDef&, const QAbstractItemModel&, const QString&);

ExportReport g_exportReport = nullptr;

} // namespace

QCoreApplication* application(int& argc, char** argv, QString& problem)
{
    void* module = openModule("marrowick-pages.so", problem);
    if (!module) return nullptr;
    const auto make = reinterpret_cast<MakeApplication>(::dlsym(module, "marrowickPagesApplication"));
    g_exportReport = reinterpret_cast<ExportReport>(::dlsym(module, "marrowickExportReportPdf"));
    if (!make || !g_exportReport) {
        problem = QStringLiteral("the page module lacks its entry points");
        return nullptr;
    }
    return make(argc, argv);
}

void exportReportPdf(const ReportDef& report, const QAbstractItemModel& rows, const QString& path)
{
    if (!g_exportReport) throw DbError(DbError::General, QStringLiteral("The page module is not loaded"));
    g_exportReport(report, rows, path);
}

} // namespace marrowick::batch::pages
