#pragma once
#include "ReportCatalogue.h"

#include <QAbstractTableModel>
#include <QSet>
#include <QStringList>
#include <optional>
#include <utility>
#include <vector>

namespace marrowick {

// What the last evaluation did with one test record, as tblRecordOutcomes
// keeps it, with the fields in which it differs from its group's main record.
struct RecordOutcome {
    qint64 id = 0;
    int group = 0;
    int place = 0;       // 1 to 5 on the answer sheet; 1 is the group's main record
    QString problem;     // DupTestData.ProblemCode
    QString outcome;     // main, caught, flagged, missed, lost, absent, kept_apart, stranger_merge
    std::optional<int> attempt;
    std::optional<qint32> client;
    QString flag;        // of the client: "Y" or "N"; empty when not found
    QStringList differs; // field names, in the order of comparedFields()
};

namespace explain {

// The demographic fields compared with the group's main record: name, caption.
const std::vector<std::pair<QString, QString>>& comparedFields();

// The outcomes of those test records, in the order asked; unknown IDs are left out.
std::vector<RecordOutcome> outcomesOf(const QList<qint64>& ids);
// "all", "missed", "lost" or "strangers"; in group and place order.
std::vector<RecordOutcome> outcomesSelected(const QString& selector);
// The records of one problem type (a ProblemCode or a look-alike's SecondProblem,
// or the TOTAL rows of the three summaries), for the drill-down of reports 1 to 3.
std::vector<RecordOutcome> outcomesOfProblem(int report, const QString& problemCode);

// The record's problem type as the reports word it; a look-alike by its kind.
QString problemWords(qint64 id);
// The outcome as a person says it: "main record", "kept apart", "merged with a stranger".
QString outcomeWords(const QString& outcome);
// How the record was found: "found by the mother's first name instead of her maiden name".
QString attemptWords(const std::optional<int>& attempt);
// One sentence: what the registry did with the record.
QString verdict(const RecordOutcome& record);

} // namespace explain

// One record's explanation, as a grid: the record, its group's other members,
// each followed by the registry rows of the client it was found under.
// Fields that differ from the main record are bold with a tinted background,
// and named in the Differs column. The page header's fields read row 0.
class ExplanationModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // Throws DbError; an ID without an outcome gives an empty model.
    explicit ExplanationModel(qint64 id, QObject* parent = nullptr);

    const RecordOutcome& record() const { return m_record; }
    QString verdictText() const { return m_verdict; }
    // Rows of test records: true; registry rows: false.
    bool isTestRecord(int row) const { return m_rows[size_t(row)].testRecord; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // The field names of the columns, in order.
    static const QStringList& fields();

private:
    struct Row {
        bool testRecord = true;
        QStringList cells;
        QSet<int> differing; // columns
    };
    RecordOutcome m_record;
    QString m_verdict;
    std::vector<Row> m_rows;
};

// The explanation as a report: its title, preview caption and page design.
const ReportDef& explanationReport();

} // namespace marrowick
