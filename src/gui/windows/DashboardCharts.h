#pragma once
#include "history/RunHistory.h"

#include <QString>
#include <vector>

class QBarCategoryAxis;
class QChart;

namespace marrowick::dashboard {

// A score as the dashboard writes it: two decimals and a per cent sign.
QString percent(double value);

// The scores per problem type, and per kind of look-alike, as horizontal bars,
// worst at the top, each with a whisker across its 95 % confidence interval.
QChart* sensitivityChart(const std::vector<Figure>& figures);
QChart* specificityChart(const std::vector<Figure>& figures);
// The overall scores of the runs by the date they were evaluated: the points
// in full, and the runs before them as a band of their range.
QChart* trendChart(const std::vector<history::TrendPoint>& points, const std::vector<SavedRun>& runs);

// A bar chart's axis of labels, down its left side.
QBarCategoryAxis* categoryAxis(const QChart& chart);
// The width of its widest label, in its own font.
int widestCategory(const QChart& chart);

} // namespace marrowick::dashboard
