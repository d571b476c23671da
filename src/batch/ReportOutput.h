#pragma once
#include "reports/ReportCatalogue.h"

#include <QList>
#include <QStringList>
#include <QVariant>
#include <optional>

namespace marrowick {

enum class ReportFormat { Text, Csv, Json };
std::optional<ReportFormat> reportFormatNamed(const QString& name);

// A report's result set as the viewer would show it.
struct ReportTable {
    const ReportDef* report = nullptr;
    QStringList fields;
    QList<QVariantList> rows;

    static ReportTable load(const ReportDef& report);
    // The columns that the report's rules show, in result-set order.
    QList<int> visibleColumns() const;
};

// Text goes to standard output; csv and json to a file named after the design
// in outputDir. False after an "Error" message.
bool writeReport(const ReportTable& table, ReportFormat format, const QString& outputDir);

// The text table: title, captions, a rule, and the rows, aligned.
QString textTable(const ReportTable& table);

} // namespace marrowick
