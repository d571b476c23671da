#pragma once
#include <QString>

class QPageLayout;

namespace marrowick {

class ReportModel;
struct PageDesign;

// Writes a report's rows through its design into a PDF file; false after an
// "Error" message. The page layout, when given, is the one chosen for printing.
bool exportReportPdf(const PageDesign& design, const ReportModel& rows, const QString& path, const QPageLayout* layout = nullptr);

} // namespace marrowick
