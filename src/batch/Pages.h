#pragma once
#include <QString>

class QAbstractItemModel;
class QCoreApplication;

namespace marrowick {
struct ReportDef;
}

namespace marrowick::batch::pages {

// The application of a run that writes pages: a graphical one (fonts, not a
// display) from the page module, which this loads. Null when the module
// cannot be loaded; problem then says why.
QCoreApplication* application(int& argc, char** argv, QString& problem);

// exportReportPdf of the module that application() loaded.
void exportReportPdf(const ReportDef& report, const QAbstractItemModel& rows, const QString& path);

} // namespace marrowick::batch::pages
