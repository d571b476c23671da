#pragma once
#include <QString>
#include <optional>

namespace marrowick {

enum class ReportFormat { Text, Csv, Json };
std::optional<ReportFormat> reportFormatNamed(const QString& name);
// The file name extension of that format: ".txt", ".csv" or ".json".
QString formatExtension(ReportFormat format);

class ReportModel;

// Text goes to standard output; csv and json to a file named after the report
// in outputDir. Throws FileRefused (Output), told whole, when it cannot.
void writeReport(const ReportModel& rows, ReportFormat format, const QString& outputDir);

// Bytes to standard output (an empty folder) or to a file of that name in the
// folder; throws FileRefused (Output), told as an "Error" that names what could
// not be written where.
void writeOutput(const QByteArray& bytes, const QString& outputDir, const QString& name, const QString& what);

// A value as a text table shows it, on one line: line breaks and tabs escaped
// as \n, \r and \t, so a file name cannot break the table.
QString oneLine(QString value);

// The text table: title, the viewer's captions, a rule, and the rows, aligned.
QString textTable(const ReportModel& rows);

} // namespace marrowick
