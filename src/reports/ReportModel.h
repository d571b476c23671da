#pragma once
#include "ReportCatalogue.h"

#include <QSqlQueryModel>

namespace marrowick {

// A report's open result set: the viewer's grid shows it and the printed
// report binds to it, so both carry the same rows in the same order.
class ReportModel : public QSqlQueryModel {
    Q_OBJECT
public:
    // Runs the report's query on cnEval and reads every row; throws DbError.
    ReportModel(const ReportDef& report, QObject* parent = nullptr);

    const ReportDef& report() const { return m_report; }
    // The column of that field name, compared without regard to case; -1 if none.
    int columnOf(const QString& field) const;

    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    const ReportDef& m_report;
};

} // namespace marrowick
