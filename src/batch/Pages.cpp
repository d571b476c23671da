#include "Pages.h"

#include "database/DbError.h"

#include <QCoreApplication>
#include <climits>
#include <cstdlib>
#include <dlfcn.h>
#include <string>

namespace marrowick::batch::pages {

namespace {

using MakeApplication = QCoreApplication* (*)(int&, char**);
using ExportReport = void (*)(const ReportDef&, const QAbstractItemModel&, const QString&);

ExportReport g_exportReport = nullptr;

// Beside the program in the build tree; in the library folder once installed.
void* openModule(QString& problem)
{
    char program[PATH_MAX];
    if (!::realpath("/proc/self/exe", program)) {
        problem = QStringLiteral("the program's own folder is unknown");
        return nullptr;
    }
    std::string folder(program);
    folder.erase(folder.rfind('/'));
    for (const std::string& path :
         {folder + "/marrowick-pages.so", folder + "/" MARROWICK_PAGES_FROM_BIN "/marrowick-pages.so"}) {
        if (void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) return module;
        problem = QString::fromLocal8Bit(::dlerror());
    }
    return nullptr;
}

} // namespace

QCoreApplication* application(int& argc, char** argv, QString& problem)
{
    void* module = openModule(problem);
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
