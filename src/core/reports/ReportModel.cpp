#include "ReportModel.h"

#include "database/Db.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace marrowick {

ReportModel::ReportModel(const ReportDef& report, QObject* parent) : QSqlQueryModel(parent), m_report(report)
{
    if (!cnEval().isOpen()) throw DbError(DbError::General, QStringLiteral("The evaluation database is not open"));
    QSqlQuery query(cnEval());
    if (!query.exec(report.query)) throwSqlError(query, report.query);
    setQuery(std::move(query));
    while (canFetchMore()) fetchMore();
    if (lastError().isValid()) throw DbError(DbError::General, lastError().text());
    for (int column = 0; column < columnCount(); ++column) {
        const ColumnRule* rule = ruleFor(report, record().fieldName(column));
        setHeaderData(column, Qt::Horizontal, rule ? rule->caption : record().fieldName(column));
    }
}

QVariant ReportModel::data(const QModelIndex& index, int role) const
{
    if (role == Qt::TextAlignmentRole) {
        const ColumnRule* rule = ruleFor(m_report, record().fieldName(index.column()));
        return rule && rule->centred ? QVariant(Qt::AlignCenter) : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    }
    return QSqlQueryModel::data(index, role);
}

QVariant ReportModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role == FieldRole && orientation == Qt::Horizontal) return record().fieldName(section);
    return QSqlQueryModel::headerData(section, orientation, role);
}

} // namespace marrowick
