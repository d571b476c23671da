#pragma once
#include <QString>

class QAbstractItemModel;
class QPageLayout;

namespace marrowick {

struct ReportDef;

// Writes a report's rows through its page design into a PDF file; false
// after an "Error" message. The page layout, when given, is the one chosen
// for printing.
bool exportReportPdf(const ReportDef& report, const QAbstractItemModel& rows, const QString& path,
                     const QPageLayout* layout = nullptr);

} // namespace marrowick
