#pragma once
#include "DbError.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>
#include <initializer_list>
#include <utility>
#include <vector>

namespace marrowick {

inline constexpr const char* kConnectionName = "cnEval";

// The one shared connection; created on first use.
QSqlDatabase cnEval();

// Prepares, binds every value and runs a statement on cnEval; throws DbError.
QSqlQuery run(const QString& sql, const QVariantList& binds = {});
// The first row's column of that alias; throws "No current record" when there is no row.
QVariant scalar(const QString& sql, const QString& alias, const QVariantList& binds = {});
// The first row's column of that alias as a 16-bit count.
qint16 count16(const QString& sql, const QString& alias, const QVariantList& binds = {});
qint64 countRows(const QString& table);
// Runs a statement once per row of values given column by column (each list
// binds one placeholder), in one prepared batch; throws DbError.
void runColumns(const QString& sql, const std::vector<QVariantList>& columns);
// Appends one row, the columns set by name.
void appendRow(const QString& table, std::initializer_list<std::pair<const char*, QVariant>> values);

// 16-bit arithmetic of the counts: outside -32768..32767 is an overflow.
qint16 checked16(qint64 value);

[[noreturn]] void throwSqlError(const QSqlQuery& query, const QString& sql);

} // namespace marrowick
