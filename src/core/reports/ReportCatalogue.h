#pragma once
#include "PageDesign.h"

#include <QString>
#include <vector>

namespace marrowick {

// How the viewer dresses one column of a report's result set.
struct ColumnRule {
    QString field; // compared exactly, with case
    QString caption;
    double width;  // a factor of the grid's width
    bool centred;
};

// One of the eight reports, everything that the grid, the printed page and
// the batch output take from it.
struct ReportDef {
    int index;              // its position in the selection list
    QString item;           // as the selection page lists it
    QString title;          // the viewer's window title
    QString caption;        // the print preview's window caption
    bool (*refill)();       // rebuilds the summary table it reads; null for none
    QString query;
    std::vector<ColumnRule> rules;
    PageDesign page;
    QString fileName;       // of its PDF, csv and json files, without the extension

    // Runs the refill where there is one. False after the refill's own
    // message; DbError for what the refill passes up.
    bool refillTable() const { return !refill || refill(); }
};

const std::vector<ReportDef>& reportCatalogue();
const ReportDef* reportAt(int index);
// The rule of that field in a report, or null when the column is hidden.
const ColumnRule* ruleFor(const ReportDef& report, const QString& field);

} // namespace marrowick
