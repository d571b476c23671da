#include "EvalDatabase.h"

#include "Db.h"
#include "Schema.h"
#include "platform/Platform.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QThread>
#include <cstdlib>
#include <memory>
#include <unistd.h>

namespace marrowick {

namespace {

// How long a statement waits for another program's short lock before failing.
constexpr int kBusyTimeoutMs = 3000;

// A file this user may write, or may make writable again (its owner: the
// program marks its database read-only at every exit).
bool mayWrite(const QFileInfo& file) { return file.isWritable() || file.ownerId() == ::geteuid(); }

} // namespace

QString defaultDatabasePath()
{
    const QString appDir = QCoreApplication::applicationDirPath();
    const QFileInfo local(appDir + QLatin1Char('/') + QLatin1String(kDatabaseFileName));
    // An installed program (its data in ../share/marrowick) never keeps a
    // database among the system's programs, even when run by root.
    const bool installed = QFileInfo::exists(appDir + QStringLiteral("/../share/marrowick/DupTestData.txt"));
    if (!installed && QFileInfo(appDir).isWritable() && (!local.exists() || mayWrite(local)))
        return local.filePath();
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

std::unique_ptr<QLockFile> g_lock;

void openConnection(const QString& path)
{
    QSqlDatabase db = cnEval();
    if (db.isOpen())
        db.close();
    db.setDatabaseName(path);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs));
    if (!db.open()) {
        bool numeric = false;
        const int code = db.lastError().nativeErrorCode().toInt(&numeric);
        throw DatabaseFault(numeric && code != 0 ? code : 14, db.lastError().databaseText());
    }
}

// SQLite writes this at the start of every database file; an empty file is an
// empty database.
bool looksLikeDatabase(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return true; // let SQLite say what is wrong with it
    const QByteArray head = file.read(16);
    return head.isEmpty() || head == QByteArrayLiteral("SQLite format 3\0");
}

enum class State { Usable, Damaged, OtherDeck };

// Opens the file and reads its schema. Damaged: the cause is in problem.
// OtherDeck: a sound database that holds another version's test data. A fault
// (in use, unreadable) is thrown.
State openAndCheck(const QString& path, QString& problem)
{
    openConnection(path);
    try {
        problem = schemaProblem();
    } catch (const DatabaseFault& fault) {
        const int primary = fault.number() & 0xff;
        if (primary != 11 && primary != 26) // SQLITE_CORRUPT, SQLITE_NOTADB
            throw;
        problem = fault.plainCause();
    }
    if (!problem.isEmpty())
        return State::Damaged;
    if (storedDeckFingerprint() != deckFingerprint())
        return State::OtherDeck;
    addMissingTables();
    return State::Usable;
}

// The first free name of the form FILE.bak, FILE.2.bak, ...
QString backupName(const QString& path)
{
    QString name = path + QStringLiteral(".bak");
    for (int n = 2; QFileInfo::exists(name); ++n)
        name = QStringLiteral("%1.%2.bak").arg(path).arg(n);
    return name;
}

// What the user can do about a database in use: the windows offer Retry, a
// script can only be run again.
QString whenInUse(OnDamage mode, const QString& close, const char* other)
{
    return mode == OnDamage::Ask ? close + QStringLiteral(", then choose Retry.")
                                 : QStringLiteral("Run the command again when the other %1 has finished.").arg(QLatin1String(other));
}

MsgButtons inUseButtons(OnDamage mode) { return mode == OnDamage::Ask ? MsgButtons::RetryCancel : MsgButtons::Ok; }

// A lock that names no live process was left by a run that crashed while
// taking it, or carries a clock's wrong time; it is taken over once it has
// been seen for 5 s, or its time is further than that from now either way.
void takeOverOwnerlessLock(const QString& lockPath, const QElapsedTimer& waited)
{
    constexpr qint64 kSeconds = 5;
    const qint64 age = QFileInfo(lockPath).lastModified().secsTo(QDateTime::currentDateTime());
    if (std::abs(age) <= kSeconds && !waited.hasExpired(kSeconds * 1000))
        QThread::msleep(200);
    else
        g_lock->removeStaleLockFile();
}

// Another copy of the program holds the file: false when the user gives up.
bool takeLock(const QString& path, OnDamage mode)
{
    const QString lockPath = path + QStringLiteral(".lock");
    if (g_lock && g_lock->isLocked() && g_lock->fileName() == lockPath)
        return true;
    g_lock = std::make_unique<QLockFile>(lockPath);
    // A lock is stale only when its process is gone: an evaluation may take long.
    g_lock->setStaleLockTime(0);
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        if (g_lock->tryLock(0))
            return true;
        if (g_lock->error() != QLockFile::LockFailedError)
            return true; // the folder cannot be written: nothing to share, and the database says why
        qint64 pid = 0;
        QString host, application;
        if (!g_lock->getLockInfo(&pid, &host, &application) || pid <= 0) {
            takeOverOwnerlessLock(lockPath, waited);
            continue;
        }
        const MsgResult answer = platform().MsgBox(
            QStringLiteral("Database Error"),
            QStringLiteral("The evaluation database is in use by another copy of Marrowick (process %1 on %2): %3.\r\r%4")
                .arg(pid)
                .arg(host, QDir::toNativeSeparators(path), whenInUse(mode, QStringLiteral("Close that copy"), "copy")),
            MsgIcon::Critical, inUseButtons(mode));
        if (answer != MsgResult::Retry) {
            g_lock.reset();
            return false;
        }
    }
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
    if (!QFile::rename(building, path)) {
        QFile::remove(building);
        throw DbError(DbError::General, QStringLiteral("The database file could not be written: ") + path);
    }
}

namespace {

// Whether a damaged file, or one of another deck, may be moved aside and
// rebuilt; false after saying why not.
bool mayRebuild(const QString& shown, State state, const QString& problem, OnDamage onDamage)
{
    if (onDamage == OnDamage::Rebuild || (state == State::OtherDeck && onDamage != OnDamage::ReadOnly))
        return true;
    QString text = state == State::OtherDeck
        ? QStringLiteral("The database file %1 holds the test data of another version of Marrowick.").arg(shown)
        : QStringLiteral("The database file %1 cannot be used: %2.").arg(shown, problem);
    if (onDamage == OnDamage::Ask)
        return platform().MsgBox(QStringLiteral("Database Error"),
                                 text + QStringLiteral("\r\rRebuild it from the supplied reference data? This discards the "
                                                       "results of the last evaluation; the old file is kept as a backup."),
                                 MsgIcon::Critical, MsgButtons::YesNo, MsgResult::No)
            == MsgResult::Yes;
    text += state == State::OtherDeck ? QStringLiteral(" Nothing has been changed; an evaluation replaces it.")
                                      : QStringLiteral(" Nothing has been changed; an evaluation with --rebuild-database rebuilds it.");
    platform().MsgBox(QStringLiteral("Database Error"), text, MsgIcon::Critical, MsgButtons::Ok);
    return false;
}

// Moves the file aside and writes a new one in its place, then says what became of the old one.
void rebuild(const QString& path, State state, const QString& problem, OnDamage onDamage)
{
    const QString shown = QDir::toNativeSeparators(path);
    const QString backup = backupName(path);
    if (!QFile::rename(path, backup))
        throw DbError(DbError::General, QStringLiteral("the old file could not be moved aside to ") + backup);
    createDatabaseFile(path);
    QString rebuiltProblem;
    if (openAndCheck(path, rebuiltProblem) != State::Usable)
        throw DbError(DbError::General, rebuiltProblem);
    if (state == State::OtherDeck)
        platform().MsgBox(QStringLiteral("New Test Data"),
                          QStringLiteral("The database file %1 holds the test data of another version of Marrowick. "
                                         "It has been replaced by a new database with this version's test data; the "
                                         "old file, with its last evaluation, is kept as %2.\r\rLoad this version's "
                                         "DupTestData.txt into your registry before the next evaluation.")
                              .arg(shown, QDir::toNativeSeparators(backup)),
                          MsgIcon::Information, MsgButtons::Ok);
    else if (onDamage == OnDamage::Rebuild)
        platform().MsgBox(QStringLiteral("Database Rebuilt"),
                          QStringLiteral("The database file %1 could not be used: %2. It was rebuilt from the "
                                         "supplied reference data; the old file is kept as %3.")
                              .arg(shown, problem, QDir::toNativeSeparators(backup)),
                          MsgIcon::Information, MsgButtons::Ok);
}

// Opens a locked, existing file; false when it stays unusable (the message was shown).
bool openLocked(const QString& path, OnDamage onDamage)
{
    const QString shown = QDir::toNativeSeparators(path);
    for (;;) {
        QString problem;
        State state = State::Damaged;
        try {
            if (!looksLikeDatabase(path)) {
                problem = QStringLiteral("the file is not a database");
            } else {
                setFileReadOnly(path, false);
                state = openAndCheck(path, problem);
                if (state == State::Usable)
                    return true;
            }
        } catch (const DatabaseFault& fault) {
            cnEval().close();
            if (!fault.busy())
                throw;
            const MsgResult answer = platform().MsgBox(
                QStringLiteral("Database Error"),
                QStringLiteral("The evaluation database is in use by another program: %1.\r\r%2 Nothing has been changed.")
                    .arg(shown, whenInUse(onDamage, QStringLiteral("Close the other program"), "program")),
                MsgIcon::Critical, inUseButtons(onDamage));
            if (answer == MsgResult::Retry)
                continue;
            return false;
        }
        cnEval().close();
        if (!mayRebuild(shown, state, problem, onDamage))
            return false;
        rebuild(path, state, problem, onDamage);
        return true;
    }
}

} // namespace

bool openEvalDatabase(const QString& path, OnDamage onDamage)
{
    const QString shown = QDir::toNativeSeparators(path);
    try {
        const QFileInfo info(path);
        if (info.exists() && !info.isFile())
            throw DbError(DbError::General, QStringLiteral("it is not a file")); // never touch a folder or device
        if (!takeLock(path, onDamage))
            return false;
        if (!info.exists())
            createDatabaseFile(path);
        if (openLocked(path, onDamage))
            return true;
        closeEvalDatabase();
        return false;
    } catch (const DatabaseFault& fault) {
        closeEvalDatabase();
        platform().MsgBox(QStringLiteral("Database Error"),
                          QStringLiteral("The database file %1 cannot be opened: %2.").arg(shown, fault.plainCause()),
                          MsgIcon::Critical, MsgButtons::Ok);
        return false;
    } catch (const DbError& error) {
        closeEvalDatabase();
        platform().MsgBox(QStringLiteral("Database Error"),
                          QStringLiteral("The database file %1 cannot be opened: %2").arg(shown, error.description()),
                          MsgIcon::Critical, MsgButtons::Ok);
        return false;
    }
}

void closeEvalDatabase()
{
    if (QSqlDatabase::contains(QLatin1String(kConnectionName))) {
        QSqlDatabase db = cnEval();
        if (db.isOpen()) {
            // A unit of work still open (an exit in the middle of an analysis) is rolled back.
            QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
            db.close();
        }
    }
    g_lock.reset();
}

} // namespace marrowick
