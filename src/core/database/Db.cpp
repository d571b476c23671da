#include "Db.h"

#include "platform/FileRefused.h"
#include "platform/Platform.h"
#include "DatabaseFault.h"
#include "Savepoint.h"
#include "WriteBatch.h"

#include <QLoggingCategory>
#include <QSqlError>
#include <QSqlRecord>
#include <QStringList>

namespace marrowick {

QSqlDatabase cnEval()
{
    if (!QSqlDatabase::contains(QLatin1String(kConnectionName)))
        return QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QLatin1String(kConnectionName));
    return QSqlDatabase::database(QLatin1String(kConnectionName), false);
}

namespace {
// The statements behind a fault, for whoever turns this category on
// (QT_LOGGING_RULES="marrowick.sql.debug=true"); users see a plain cause.
Q_LOGGING_CATEGORY(lcSql, "marrowick.sql", QtWarningMsg)
} // namespace

DatabaseFault::DatabaseFault(int sqliteCode, const QString& engineText)
    : DbError(sqliteCode,
              engineText.isEmpty() ? QStringLiteral("The database could not run the statement") : engineText)
{
}

bool DatabaseFault::busy() const
{
    const int primary = number() & 0xff;
    return primary == 5 || primary == 6; // SQLITE_BUSY, SQLITE_LOCKED
}

QString DatabaseFault::plainCause() const
{
    switch (number() & 0xff) {
    case 5:
    case 6:
        return QStringLiteral("the database is in use by another program");
    case 3:
    case 23:
        return QStringLiteral("access to the database file was refused");
    case 8:
        return QStringLiteral("the database file cannot be written (it, or its folder, is read-only)");
    case 10:
        return QStringLiteral("the disk could not be read or written");
    case 11:
        return QStringLiteral("the database file is damaged");
    case 13:
        return QStringLiteral("the disk is full");
    case 14:
        return QStringLiteral("the database file cannot be opened");
    case 26:
        return QStringLiteral("the file is not a database");
    default:
        return QStringLiteral("the database reported: ") + description();
    }
}

void showDatabaseFault(const DatabaseFault& fault, const QString& consequence)
{
    QString cause = fault.plainCause();
    cause[0] = cause[0].toUpper();
    platform().MsgBox(QStringLiteral("Database Error"), cause + QStringLiteral(".\r") + consequence, MsgIcon::Critical,
                      MsgButtons::Ok);
}

void showCurrentFailure(const QString& consequence)
{
    QString cause;
    try {
        throw;
    } catch (const DatabaseFault& fault) {
        showDatabaseFault(fault, consequence);
        return;
    } catch (const FileRefused& refused) {
        if (refused.whole()) {
            if (!refused.text().isEmpty())
                platform().MsgBox(refused.title(), refused.text(), MsgIcon::Critical, MsgButtons::Ok);
            return;
        }
        cause = refused.text();
    } catch (const DbError& error) {
        cause = error.numbered();
    } catch (const std::exception& error) {
        cause = QString::fromLocal8Bit(error.what());
    } catch (...) {
        cause = QStringLiteral("An unexpected error occurred.");
    }
    platform().MsgBox(QStringLiteral("Error"), consequence + QLatin1Char('\r') + cause, MsgIcon::Critical,
                      MsgButtons::Ok);
}

void throwSqlError(const QSqlQuery& query, const QString& sql)
{
    const QSqlError error = query.lastError();
    bool numeric = false;
    const int number = error.nativeErrorCode().toInt(&numeric);
    const QString text = error.databaseText().isEmpty() ? error.text() : error.databaseText();
    qCDebug(lcSql).noquote() << text << "in:" << sql.simplified();
    throw DatabaseFault(numeric && number != 0 ? number : 1, text);
}

QSqlQuery run(const QString& sql, const QVariantList& binds)
{
    QSqlDatabase db = cnEval();
    if (!db.isOpen()) throw DbError(DbError::General, QStringLiteral("The evaluation database is not open"));
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.prepare(sql)) throwSqlError(query, sql);
    for (const QVariant& value : binds) query.addBindValue(value);
    if (!query.exec()) throwSqlError(query, sql);
    return query;
}

QVariant scalar(const QString& sql, const QString& alias, const QVariantList& binds)
{
    QSqlQuery query = run(sql, binds);
    if (!query.next()) throw DbError(DbError::NoCurrentRecord, QStringLiteral("No current record."));
    const int column = query.record().indexOf(alias);
    if (column < 0) throw DbError(DbError::General, QStringLiteral("Item not found in this collection: ") + alias);
    return query.value(column);
}

qint16 count16(const QString& sql, const QString& alias, const QVariantList& binds)
{
    return checked16(scalar(sql, alias, binds).toLongLong());
}

qint64 countRows(const QString& table)
{
    return scalar(QStringLiteral("SELECT count(*) AS n FROM ") + table, QStringLiteral("n")).toLongLong();
}

void runColumns(const QString& sql, const std::vector<QVariantList>& columns)
{
    QSqlQuery insert(cnEval());
    if (!insert.prepare(sql)) throwSqlError(insert, sql);
    for (const QVariantList& column : columns) insert.addBindValue(column);
    if (!insert.execBatch()) throwSqlError(insert, sql);
}

void appendRow(const QString& table, std::initializer_list<std::pair<const char*, QVariant>> values)
{
    QStringList names;
    QStringList marks;
    QVariantList binds;
    for (const auto& [name, value] : values) {
        names << QLatin1String(name);
        marks << QStringLiteral("?");
        binds << value;
    }
    run(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
            .arg(table, names.join(QLatin1Char(',')), marks.join(QLatin1Char(','))),
        binds);
}

qint16 checked16(qint64 value)
{
    if (value < -32768 || value > 32767) throw DbError(DbError::Overflow, QStringLiteral("Overflow"));
    return static_cast<qint16>(value);
}

namespace {
int g_savepointSerial = 0;
}

Savepoint::Savepoint() : m_name(QStringLiteral("unit%1").arg(++g_savepointSerial))
{
    run(QStringLiteral("SAVEPOINT ") + m_name);
}

Savepoint::~Savepoint()
{
    if (!m_open) return;
    QSqlDatabase db = cnEval();
    if (!db.isOpen()) return;
    QSqlQuery query(db);
    query.exec(QStringLiteral("ROLLBACK TO ") + m_name);
    query.exec(QStringLiteral("RELEASE ") + m_name);
}

WriteBatch::WriteBatch() : m_name(QStringLiteral("batch%1").arg(++g_savepointSerial))
{
    run(QStringLiteral("SAVEPOINT ") + m_name);
}

WriteBatch::~WriteBatch()
{
    QSqlDatabase db = cnEval();
    if (db.isOpen()) QSqlQuery(db).exec(QStringLiteral("RELEASE ") + m_name);
}

void Savepoint::commit()
{
    run(QStringLiteral("RELEASE ") + m_name);
    m_open = false;
}

} // namespace marrowick
