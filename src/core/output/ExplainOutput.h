#pragma once
#include "ReportOutput.h"

#include <QByteArray>
#include <vector>

namespace marrowick {

struct RecordOutcome;

// The explanations of records in one format: the same outcome, attempt,
// client, flag and differing fields as the explanation window shows.
QByteArray explainText(const std::vector<RecordOutcome>& records, ReportFormat format);

// To standard output when outputDir is empty, else into explain.txt, .csv or
// .json there. Throws FileRefused (Output) when it cannot.
void writeExplanations(const std::vector<RecordOutcome>& records, ReportFormat format, const QString& outputDir);

} // namespace marrowick
