#pragma once
#include "PageDesign.h"
#include "analysis/RecordOutcome.h"

#include <QString>
#include <vector>

namespace marrowick {

// How the viewer dresses one column of a report's result set.
struct ColumnRule {
    QString field; // compared exactly, with case
    QString caption;
    double width; // a factor of the grid's width
    bool centred;
};

// A score column of a report, and where the counts behind each row's score
// come from: the row's own columns, or one of the evaluation's figures picked
// by the row's key column.
struct ScoreField {
    QString field{};            // the column that shows the score
    QString judged{}, failed{}; // the row's columns of the records judged and of those that failed; empty for a figure
    QString keyField{};         // the column whose value names the row's figure
    std::vector<std::pair<QString, QString>> figures{}; // key value, figure name
    QString figurePrefix{}; // the figure of any other key value: this followed by the value; none when empty
};

// One of the eight reports, everything that the grid, the printed page and
// the batch output take from it.
struct ReportDef {
    int index;        // its position in the selection list
    QString item;     // as the selection page lists it
    QString title;    // the viewer's window title
    QString caption;  // the print preview's window caption
    bool (*refill)(); // rebuilds the summary table it reads; null for none
    QString query;
    std::vector<ColumnRule> rules;
    PageDesign page;
    QString fileName;                      // of its PDF, csv and json files, without the extension
    DrillDown drillDown = DrillDown::None; // what opening one of its rows shows
    std::vector<ScoreField> scores{};      // the columns whose 95 % intervals the csv and json add

    // Runs the refill where there is one. False after the refill's own
    // message; DbError for what the refill passes up.
    bool refillTable() const { return !refill || refill(); }
};

const std::vector<ReportDef>& reportCatalogue();
const ReportDef* reportAt(int index);
// The rule of that field in a report, or null when the column is hidden.
const ColumnRule* ruleFor(const ReportDef& report, const QString& field);

} // namespace marrowick
