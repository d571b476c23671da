#pragma once
#include <QString>
#include <QStringList>
#include <vector>

namespace marrowick {

// How the viewer dresses one column of a report's result set.
struct ColumnRule {
    QString field; // compared exactly, with case
    QString caption;
    double width;  // a factor of the grid's width
    bool centred;
};

// One of the eight reports: its list item, titles, query, column rules and design.
struct ReportDef {
    int index;
    QString item;           // as the selection page lists it
    QString title;          // the viewer's window title
    QString query;
    std::vector<ColumnRule> rules;
    QString design;         // rptOverall ...
    QString previewCaption;
};

const std::vector<ReportDef>& reportCatalogue();
const ReportDef* reportAt(int index);
// The rule of that field in a report, or null when the column is hidden.
const ColumnRule* ruleFor(const ReportDef& report, const QString& field);

// Rebuilds the summary table that report reads (reports 0 to 3); true for the
// others. False after the builder's own message; DbError for what the builder
// passes up.
bool refillReport(int index);

} // namespace marrowick
