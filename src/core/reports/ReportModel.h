#pragma once
#include "ReportCatalogue.h"

#include <QSqlQueryModel>

namespace marrowick {

// A report's open result set: the viewer's grid, the printed report and the
// batch output all read it, so they carry the same rows in the same order.
// Its header names each column's field under FieldRole.
class ReportModel : public QSqlQueryModel {
    Q_OBJECT
public:
    // Runs the report's query on cnEval and reads every row; throws DbError.
    ReportModel(const ReportDef& report, QObject* parent = nullptr);

    const ReportDef& report() const { return m_report; }

    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    const ReportDef& m_report;
};

} // namespace marrowick
