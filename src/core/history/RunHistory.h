#pragma once
#include "Scores.h"

#include <QDateTime>
#include <QString>
#include <optional>
#include <vector>

namespace marrowick {

// One completed evaluation, as the database keeps it.
struct SavedRun {
    qint64 run = 0;
    QDateTime time; // UTC, to the second
    QString file;   // the results file's name, without its folder
    qint64 size = 0;
    QString sha256; // of the file's bytes, in lower-case hex
    qint64 rows = 0;
    QString deck; // the test data's fingerprint, eight hex digits
    double sensitivity = 0;
    double specificity = 0;
};

// What changed from one run to another.
struct FigureChange {
    Figure before; // counts of 0 trials when the figure is new
    Figure after;  // or gone
    // The new value lies outside the old interval and the old value outside
    // the new one: a change that chance alone would rarely make.
    bool beyondIntervals() const;
    bool changed() const { return before.value() != after.value(); }
};
struct OutcomeChange {
    qint64 id = 0;
    QString before; // explain's outcome words; empty when the run lacks the record
    QString after;
};
struct RunComparison {
    qint64 from = 0;
    qint64 to = 0;
    std::vector<FigureChange> figures;  // every figure of either run, in the later run's order
    std::vector<OutcomeChange> changed; // by ID
};

namespace history {

// Saves the evaluation that the working tables now hold, loaded from file
// (size bytes whose SHA-256 is sha256, as the loader read them), as the next
// run. Part of the caller's unit of work; throws DbError.
qint64 saveRun(const QString& file, qint64 size, const QString& sha256);

// Runs whose stored values cannot be a run's (edited by hand, say): a value
// it needs is missing, or counts more successes than trials. By number, each
// with its cause; every function below leaves them out or refuses them.
std::vector<std::pair<qint64, QString>> damagedRuns();
// The cause when that run is damaged.
std::optional<QString> runDamage(qint64 run);

// Every saved run that is not damaged, oldest first.
std::vector<SavedRun> savedRuns();
// A run named by its number, or counted back from the newest: -1 is the newest.
std::optional<qint64> resolveRun(qint64 named);
// Throws DbError when the run is damaged.
std::optional<SavedRun> savedRun(qint64 run);
// The figures of a saved run, in currentFigures()'s order.
std::vector<Figure> runFigures(qint64 run);
// Overall sensitivity and specificity of every run, oldest first, with their
// intervals: the trend.
struct TrendPoint {
    qint64 run = 0;
    QDateTime time;
    Figure sensitivity;
    Figure specificity;
};
// From that run on (0: every run).
std::vector<TrendPoint> trend(qint64 fromRun = 0);

RunComparison compareRuns(qint64 from, qint64 to);

} // namespace history
} // namespace marrowick
