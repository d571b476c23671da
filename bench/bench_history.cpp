// Keeping and comparing runs: the cost that saving adds to every evaluation,
// and comparing two runs.
#include "BenchSupport.h"
#include "analysis/EvaluationRun.h"
#include "database/Db.h"
#include "database/EvalDatabase.h"
#include "history/RunHistory.h"
#include "database/Savepoint.h"

#include <QCoreApplication>
#include <QTemporaryDir>

using namespace marrowick;

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString typical = QStringLiteral(MARROWICK_SOURCE_DIR "/samples/results-typical.txt");
    openEvalDatabase(dir.filePath(QStringLiteral("bench.db")));
    EvaluationRun::LoadAndAnalyze(typical);
    EvaluationRun::LoadAndAnalyze(QStringLiteral(MARROWICK_SOURCE_DIR "/samples/results-aggressive.txt"));
    // Saving, as the evaluation does it: inside its unit of work, whose commit
    // (and the disk's flush) the evaluation pays for anyway.
    double save = 0;
    {
        const SavedRun first = *history::savedRun(1);
        Savepoint unit;
        save = bench::medianMs(21, [&] { history::saveRun(typical, first.size, first.sha256); });
    }
    bench::report("save a run (added to every evaluation)", save, "ms", 5);
    size_t changed = 0;
    const double compare = bench::medianMs(21, [&] { changed += history::compareRuns(1, 2).changed.size(); });
    bench::report("compare two runs (typical against aggressive)", compare, "ms", 50);
    closeEvalDatabase();
    return changed > 0 ? 0 : 3;
}
