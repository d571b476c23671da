#include "NativeStatement.h"

#include "Db.h"
#include "DatabaseFault.h"

#include <QSqlDriver>
#include <sqlite3.h>

namespace marrowick {

sqlite3* NativeStatement::connection()
{
    const QSqlDatabase db = cnEval();
    const QVariant handle = db.isOpen() ? db.driver()->handle() : QVariant();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        throw DbError(DbError::General, QStringLiteral("The evaluation database is not open"));
    sqlite3* connection = *static_cast<sqlite3* const*>(handle.constData());
    if (!connection) throw DbError(DbError::General, QStringLiteral("The evaluation database is not open"));
    return connection;
}

NativeStatement::NativeStatement(const char* sql) : m_db(connection())
{
    if (sqlite3_prepare_v2(m_db, sql, -1, &m_stmt, nullptr) != SQLITE_OK) fail();
}

NativeStatement::~NativeStatement() { sqlite3_finalize(m_stmt); }

void NativeStatement::fail() const
{
    throw DatabaseFault(sqlite3_extended_errcode(m_db), QString::fromUtf8(sqlite3_errmsg(m_db)));
}

void NativeStatement::bindUnchanged(int position, QByteArrayView text)
{
    // A null view would bind Null; an empty value is empty text.
    const char* data = text.data() ? text.data() : "";
    if (sqlite3_bind_text(m_stmt, position, data, int(text.size()), SQLITE_STATIC) != SQLITE_OK) fail();
}

void NativeStatement::bindText(int position, const QString& text)
{
    if (text.isNull()) {
        bindNull(position);
        return;
    }
    const QByteArray bytes = text.toUtf8();
    if (sqlite3_bind_text(m_stmt, position, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT) != SQLITE_OK)
        fail();
}

void NativeStatement::bindInt(int position, qint64 value)
{
    if (sqlite3_bind_int64(m_stmt, position, value) != SQLITE_OK) fail();
}

void NativeStatement::bindNull(int position)
{
    if (sqlite3_bind_null(m_stmt, position) != SQLITE_OK) fail();
}

bool NativeStatement::step()
{
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW) return true;
    sqlite3_reset(m_stmt);
    if (rc != SQLITE_DONE) fail();
    return false;
}

void NativeStatement::exec()
{
    while (step()) {}
}

bool NativeStatement::isNull(int column) const { return sqlite3_column_type(m_stmt, column) == SQLITE_NULL; }

bool NativeStatement::isInteger(int column) const { return sqlite3_column_type(m_stmt, column) == SQLITE_INTEGER; }

bool NativeStatement::isText(int column) const { return sqlite3_column_type(m_stmt, column) == SQLITE_TEXT; }

QByteArrayView NativeStatement::text(int column) const
{
    const auto* data = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
    return QByteArrayView(data, data ? sqlite3_column_bytes(m_stmt, column) : 0);
}

QString NativeStatement::string(int column) const
{
    return isNull(column) ? QString() : QString::fromUtf8(text(column));
}

qint64 NativeStatement::integer(int column) const { return sqlite3_column_int64(m_stmt, column); }

} // namespace marrowick
