#pragma once
#include <QString>
#include <optional>

namespace marrowick {

enum class ReportFormat { Text, Csv, Json };
std::optional<ReportFormat> reportFormatNamed(const QString& name);

class ReportModel;

// Text goes to standard output; csv and json to a file named after the report
// in outputDir. False after an "Error" message.
bool writeReport(const ReportModel& rows, ReportFormat format, const QString& outputDir);

// The text table: title, the viewer's captions, a rule, and the rows, aligned.
QString textTable(const ReportModel& rows);

} // namespace marrowick
