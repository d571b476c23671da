#pragma once
#include <QString>
#include <functional>

class QAbstractItemModel;
class QPageLayout;
class QPdfWriter;

namespace marrowick {

struct ReportDef;

// Writes a report's rows through its page design into a PDF file; throws
// FileRefused, told whole, when it cannot. The page layout, when given, is the
// one chosen for printing.
void exportReportPdf(const ReportDef& report, const QAbstractItemModel& rows, const QString& path,
                     const QPageLayout* layout = nullptr);

// Writes the pages that `paint` draws into a PDF file, whole or not at all;
// throws FileRefused, told whole, when it cannot.
void writePdf(const QString& title, const QString& path, const std::function<bool(QPdfWriter&)>& paint);

} // namespace marrowick
