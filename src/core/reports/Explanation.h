#pragma once
#include "ReportCatalogue.h"
#include "analysis/MatchAttempts.h"
#include "analysis/RecordOutcome.h"

#include <QAbstractTableModel>
#include <QSet>
#include <QStringList>
#include <vector>

namespace marrowick {

namespace explain {

// The record's problem type as the reports word it; a look-alike by its kind.
QString problemWords(qint64 id);

} // namespace explain

// One record's explanation, as a grid: the record, its group's other members,
// each followed by the registry rows of the client it was found under.
// Fields that differ from the main record are named in the Differs column;
// StyledExplanationModel shows them bold on a tint. The page header's fields
// read row 0.
class ExplanationModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // Throws DbError; an ID without an outcome gives an empty model.
    explicit ExplanationModel(qint64 id, QObject* parent = nullptr);

    const RecordOutcome& record() const { return m_record; }
    QString verdictText() const { return m_verdict; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // The field names of the columns, in order.
    static const QStringList& fields();

protected:
    // The font and colours of a cell whose field differs from the main
    // record's, or of a test record's row name (a heading): none here, so that
    // the text outputs need no graphics library.
    virtual QVariant emphasis(int role, bool differs, bool heading) const;

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
