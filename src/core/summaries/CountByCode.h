#pragma once
#include <QSqlQuery>
#include <QString>

namespace marrowick::summary {

// One count statement with a code as its one parameter, prepared once for a
// run of codes: the evaluation's figures ask it for every problem type, and
// preparing it anew each time cost more than counting.
class CountByCode {
public:
    CountByCode(const QString& sql, const char* alias);
    // Throws DbError.
    qint64 operator()(const QString& code);

private:
    QString m_sql;
    QString m_alias;
    QSqlQuery m_query;
};

} // namespace marrowick::summary
