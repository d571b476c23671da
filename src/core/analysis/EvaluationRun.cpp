#include "EvaluationRun.h"

#include "LoadedRows.h"
#include "clsAnalyzeResults.h"
#include "database/Db.h"
#include "history/RunHistory.h"
#include "import/clsProcessResultsFile.h"
#include "database/Savepoint.h"

namespace marrowick::EvaluationRun {

void LoadAndAnalyze(const QString& strFile, const std::function<void()>& beforeAnalysis)
{
    Savepoint unit;
    clsProcessResultsFile loader;
    LoadedRows rows;
    loader.ReadResults(strFile, &rows);
    if (beforeAnalysis) beforeAnalysis();
    clsAnalyzeResults analysis;
    analysis.Analyze_IIS_LOAD(std::move(rows));
    history::saveRun(strFile, loader.Loaded().size, loader.Loaded().sha256);
    unit.commit();
}

bool HasPreviousLoad() { return run(QStringLiteral("SELECT 1 FROM IIS_LOADED_CHILD_ALL LIMIT 1")).next(); }

bool MostlyMissing()
{
    const double loaded = double(countRows(QStringLiteral("IIS_LOADED_CHILD_ALL")));
    const double testRecords = double(countRows(QStringLiteral("DupTestData")));
    return loaded < 0.8 * testRecords;
}

} // namespace marrowick::EvaluationRun
