#pragma once
#include <QString>
#include <functional>

class QAbstractItemModel;
class QPageLayout;
class QPdfWriter;

namespace marrowick {

struct ReportDef;

// Writes a report's rows through its page design into a PDF file; false
// after an "Error" message. The page layout, when given, is the one chosen
// for printing.
bool exportReportPdf(const ReportDef& report, const QAbstractItemModel& rows, const QString& path,
                     const QPageLayout* layout = nullptr);

// Writes the pages that `paint` draws into a PDF file, whole or not at all;
// false after an "Error" message.
bool writePdf(const QString& title, const QString& path, const std::function<bool(QPdfWriter&)>& paint);

} // namespace marrowick
