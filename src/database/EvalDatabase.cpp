#include "EvalDatabase.h"

#include "Db.h"
#include "Schema.h"
#include "platform/Platform.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>

namespace marrowick {

QString defaultDatabasePath()
{
    const QString appDir = QCoreApplication::applicationDirPath();
    const QFileInfo dirInfo(appDir);
    const QString local = appDir + QLatin1Char('/') + QLatin1String(kDatabaseFileName);
    if (dirInfo.isWritable() || QFileInfo::exists(local))
        return local;
    const QString dataDir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(dataDir);
    return dataDir + QLatin1Char('/') + QLatin1String(kDatabaseFileName);
}

bool setFileReadOnly(const QString& path, bool readOnly)
{
    QFile file(path);
    if (!file.exists())
        return false;
    QFileDevice::Permissions permissions = file.permissions();
    const QFileDevice::Permissions write =
        QFileDevice::WriteOwner | QFileDevice::WriteUser | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    if (readOnly)
        permissions &= ~write;
    else
        permissions |= QFileDevice::WriteOwner | QFileDevice::WriteUser;
    return file.setPermissions(permissions);
}

namespace {

void openConnection(const QString& path)
{
    QSqlDatabase db = cnEval();
    if (db.isOpen())
        db.close();
    db.setDatabaseName(path);
    if (!db.open())
        throw DbError(DbError::General, db.lastError().text());
}

// Empty when the file at path opens and holds the whole schema.
QString problemWith(const QString& path)
{
    try {
        openConnection(path);
    } catch (const DbError& error) {
        return error.description();
    }
    return schemaProblem();
}

} // namespace

void createDatabaseFile(const QString& path)
{
    const QString building = path + QStringLiteral(".new");
    QFile::remove(building);
    openConnection(building);
    try {
        Savepoint unit;
        createSchema();
        seedReferenceData();
        unit.commit();
    } catch (...) {
        cnEval().close();
        QFile::remove(building);
        throw;
    }
    cnEval().close();
    QFile::remove(path);
    if (!QFile::rename(building, path)) {
        QFile::remove(building);
        throw DbError(DbError::General, QStringLiteral("The database file could not be written: ") + path);
    }
}

bool openEvalDatabase(const QString& path)
{
    try {
        const QFileInfo info(path);
        if (info.exists() && !info.isFile())
            throw DbError(DbError::General, QStringLiteral("it is not a file")); // never touch a folder or device
        if (!info.exists())
            createDatabaseFile(path);
        setFileReadOnly(path, false);
        QString problem = problemWith(path);
        if (problem.isEmpty())
            return true;
        cnEval().close();
        const MsgResult answer = platform().MsgBox(
            QStringLiteral("Database Error"),
            QStringLiteral("The database file %1 cannot be used: %2.\r\rRebuild it from the supplied reference "
                           "data? This discards the results of the last evaluation.")
                .arg(QDir::toNativeSeparators(path), problem),
            MsgIcon::Critical, MsgButtons::YesNo);
        if (answer != MsgResult::Yes)
            return false;
        createDatabaseFile(path);
        problem = problemWith(path);
        if (problem.isEmpty())
            return true;
        throw DbError(DbError::General, problem);
    } catch (const DbError& error) {
        cnEval().close();
        platform().MsgBox(QStringLiteral("Database Error"),
                          QStringLiteral("The database file %1 cannot be opened: %2")
                              .arg(QDir::toNativeSeparators(path), error.description()),
                          MsgIcon::Critical, MsgButtons::Ok);
        return false;
    }
}

void closeEvalDatabase()
{
    if (!QSqlDatabase::contains(QLatin1String(kConnectionName)))
        return;
    QSqlDatabase db = cnEval();
    if (!db.isOpen())
        return;
    // A unit of work still open (an exit in the middle of an analysis) is rolled back.
    QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
    db.close();
}

} // namespace marrowick
