#pragma once
#include "history/Scores.h"

#include <QString>
#include <optional>
#include <vector>

namespace marrowick {

class ReportModel;

// A score field of a report and the 95 % interval of each row's score; none
// where the row has no score.
struct ScoreColumn {
    QString field;
    std::vector<std::optional<Interval>> intervals;
};

// The score columns of the report's rows, as its ReportDef describes them.
// Throws DbError.
std::vector<ScoreColumn> scoreColumns(const ReportModel& rows);

} // namespace marrowick
