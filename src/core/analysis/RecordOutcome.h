#pragma once
#include "Outcome.h"

#include <QList>
#include <QStringList>
#include <QVariant>
#include <optional>
#include <utility>
#include <vector>

namespace marrowick {

// What the last evaluation did with one test record, as tblRecordOutcomes
// keeps it, with the fields in which it differs from its group's main record.
struct RecordOutcome {
    qint64 id = 0;
    int group = 0;
    int place = 0;   // 1 to 5 on the answer sheet; 1 is the group's main record
    QString problem; // DupTestData.ProblemCode
    Outcome outcome = Outcome::Main;
    std::optional<int> attempt;
    std::optional<qint32> client;
    QString flag;        // of the client: "Y" or "N"; empty when not found
    QStringList differs; // field names, in the order of comparedFields()
};

// Which test records a row of a report stands for, and so what opening the row shows.
enum class DrillDown {
    None,
    ProblemType,   // the duplicates of the row's ProblemCode; TOTAL: every duplicate
    LookAlikeKind, // the look-alikes of that SecondProblem; TOTAL_DUPLIKE: every look-alike, TOTAL: every non-duplicate
    TypeScores,    // the type's duplicates and the look-alikes its specificity counts; TOTAL: every record
    Record,        // the row's ID: one test record's explanation
};

namespace explain {

// The demographic fields compared with the group's main record: name, caption.
const std::vector<std::pair<QString, QString>>& comparedFields();
// Registries differ in case and stray blanks; neither makes a value differ.
bool sameValue(const QVariant& a, const QVariant& b);

// The outcomes of those test records, in the order asked; unknown IDs are left out.
std::vector<RecordOutcome> outcomesOf(const QList<qint64>& ids);
// "all", "missed", "lost" or "strangers"; in group and place order.
std::vector<RecordOutcome> outcomesSelected(const QString& selector);
// The records that a row of a summary report stands for, by its problem code.
std::vector<RecordOutcome> outcomesOfProblem(DrillDown rows, const QString& problemCode);

// One sentence: what the registry did with the record.
QString verdict(const RecordOutcome& record);

} // namespace explain

} // namespace marrowick
