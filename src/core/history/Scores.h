#pragma once
#include <QHash>
#include <QString>
#include <optional>
#include <vector>

namespace marrowick {

// A 95 % confidence interval, as percentages.
struct Interval {
    double low = 0;
    double high = 0;
    bool contains(double value) const { return value >= low && value <= high; }
};

// The Wilson score interval of successes out of trials: unlike the normal
// approximation it stays inside 0 to 100 % and is honest about a handful of
// records, which is all a problem type has. Both ends rounded to two decimals.
Interval wilsonInterval(qint64 successes, qint64 trials);

struct Counts {
    qint64 successes = 0;
    qint64 trials = 0;
};

// One sensitivity or specificity of an evaluation, with the counts behind it.
struct Figure {
    // "sensitivity" and "specificity" overall; "sensitivity:CODE" per problem
    // type and "specificity:CODE" per kind of look-alike.
    QString name;
    QString label; // as the reports describe it
    int order = 0; // the reports' order within its kind
    Counts counts;

    bool isSensitivity() const { return name.startsWith(QLatin1String("sensitivity")); }
    bool isOverall() const { return !name.contains(QLatin1Char(':')); }
    // The percentage as the reports round it; none without trials.
    std::optional<double> value() const;
    Interval interval() const { return wilsonInterval(counts.successes, counts.trials); }
};

// The figures of the evaluation that the working tables hold, counted as the
// summary reports count them: overall first, then per problem type, then per
// kind of look-alike, each in the reports' order. Throws DbError.
std::vector<Figure> currentFigures();

// The look-alikes that share a problem type's combination codes, and how many
// of them were kept, by problem code: the specificity column of the scores by
// problem type. Throws DbError.
QHash<QString, Counts> lookAlikesKeptByType();

} // namespace marrowick
