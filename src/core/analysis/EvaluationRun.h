#pragma once
#include <QString>
#include <functional>

namespace marrowick::EvaluationRun {

// Loads the results file, analyses it and saves the run as one unit of work:
// either all land, or the previous load and evaluation stay whole. Throws,
// after rolling back: FileRefused when the loader refused the file, DbError on
// any other failure. beforeAnalysis runs between the two steps.
void LoadAndAnalyze(const QString& strFile, const std::function<void()>& beforeAnalysis = {});

// Whether an earlier load left rows to reuse.
bool HasPreviousLoad();

// The completeness check: fewer loaded rows than 0.8 times the test records.
bool MostlyMissing();

// No file named and no earlier load to reuse.
inline const QString kFileNameMissingTitle = QStringLiteral("File Name Missing");
inline const QString kFileNameMissingPrompt = QStringLiteral("Please specify the file name for the results file.");

inline const QString kMostlyMissingTitle = QStringLiteral("Warning");
inline const QString kMostlyMissingPrompt =
    QStringLiteral("More than 20 percent of the records are missing. Please verify the data is complete.");

} // namespace marrowick::EvaluationRun
