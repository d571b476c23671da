#include "EvalDatabase.h"

#include "Db.h"
#include "Schema.h"
#include "platform/FileRefused.h"
#include "platform/Platform.h"
#include "DatabaseFault.h"
#include "Savepoint.h"

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
#include <sqlite3.h>
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
    if (!installed && QFileInfo(appDir).isWritable() && (!local.exists() || mayWrite(local))) return local.filePath();
    const QString dataDir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(dataDir);
    return dataDir + QLatin1Char('/') + QLatin1String(kDatabaseFileName);
}

bool setFileReadOnly(const QString& path, bool readOnly)
{
    QFile file(path);
    if (!file.exists()) return false;
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

// SQLite keeps statistics of its memory under a lock at every allocation,
// which this program never reads: some 7 % of an evaluation's work. It can be
// told so only before its first use; later the call is refused and harmless.
void skipMemoryStatistics()
{
    static const int once = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
    Q_UNUSED(once);
}

void openConnection(const QString& path)
{
    skipMemoryStatistics();
    QSqlDatabase db = cnEval();
    if (db.isOpen()) db.close();
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
    if (!file.open(QIODevice::ReadOnly)) return true; // let SQLite say what is wrong with it
    const QByteArray head = file.read(16);
    return head.isEmpty() || head == QByteArrayLiteral("SQLite format 3\0");
}

enum class State { Usable, Damaged, OtherDeck };

// What reading a file's schema found; problem says why a damaged file cannot be used.
struct Checked {
    State state = State::Damaged;
    QString problem;
};

// Opens the file and reads its schema. OtherDeck: a sound database that holds
// another version's test data. A fault (in use, unreadable) is thrown.
Checked openAndCheck(const QString& path)
{
    openConnection(path);
    Checked checked;
    try {
        checked.problem = schemaProblem();
    } catch (const DatabaseFault& fault) {
        const int primary = fault.number() & 0xff;
        if (primary != 11 && primary != 26) // SQLITE_CORRUPT, SQLITE_NOTADB
            throw;
        checked.problem = fault.plainCause();
    }
    if (!checked.problem.isEmpty()) return checked;
    checked.state = storedDeckFingerprint() != deckFingerprint() ? State::OtherDeck : State::Usable;
    if (checked.state == State::Usable) addMissingTables();
    return checked;
}

// The first free name of the form FILE.bak, FILE.2.bak, ...
QString backupName(const QString& path)
{
    QString name = path + QStringLiteral(".bak");
    for (int n = 2; QFileInfo::exists(name); ++n) name = QStringLiteral("%1.%2.bak").arg(path).arg(n);
    return name;
}

// What the user can do about a database in use: the windows offer Retry, a
// script can only be run again.
QString whenInUse(OnDamage mode, const QString& close, const char* other)
{
    return mode == OnDamage::Ask
               ? close + QStringLiteral(", then choose Retry.")
               : QStringLiteral("Run the command again when the other %1 has finished.").arg(QLatin1String(other));
}

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

// Tells that the database is in use: in the windows, as a question whether to
// retry; otherwise thrown whole, as a script can only be run again.
void askToRetry(OnDamage mode, const QString& text)
{
    if (mode != OnDamage::Ask)
        throw FileRefused::told(FileRefused::Role::Database, QStringLiteral("Database Error"), text);
    if (platform().MsgBox(QStringLiteral("Database Error"), text, MsgIcon::Critical, MsgButtons::RetryCancel)
        != MsgResult::Retry)
        throw FileRefused::declined(FileRefused::Role::Database);
}

// Another copy of the program holds the file: waits while the user retries,
// throws FileRefused when the user gives up.
void takeLock(const QString& path, OnDamage mode)
{
    const QString lockPath = path + QStringLiteral(".lock");
    if (g_lock && g_lock->isLocked() && g_lock->fileName() == lockPath) return;
    g_lock = std::make_unique<QLockFile>(lockPath);
    // A lock is stale only when its process is gone: an evaluation may take long.
    g_lock->setStaleLockTime(0);
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        if (g_lock->tryLock(0)) return;
        if (g_lock->error() != QLockFile::LockFailedError)
            return; // the folder cannot be written: nothing to share, and the database says why
        qint64 pid = 0;
        QString host, application;
        if (!g_lock->getLockInfo(&pid, &host, &application) || pid <= 0) {
            takeOverOwnerlessLock(lockPath, waited);
            continue;
        }
        try {
            askToRetry(mode, QStringLiteral("The evaluation database is in use by another copy of Marrowick "
                                            "(process %1 on %2): %3.\r\r%4")
                                 .arg(pid)
                                 .arg(host, QDir::toNativeSeparators(path),
                                      whenInUse(mode, QStringLiteral("Close that copy"), "copy")));
        } catch (const FileRefused&) {
            g_lock.reset();
            throw;
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
// rebuilt: asks in the windows; throws FileRefused when it may not.
void consentToRebuild(const QString& shown, const Checked& found, OnDamage onDamage)
{
    const auto& [state, problem] = found;
    if (onDamage == OnDamage::Rebuild || (state == State::OtherDeck && onDamage != OnDamage::ReadOnly)) return;
    QString text =
        state == State::OtherDeck
            ? QStringLiteral("The database file %1 holds the test data of another version of Marrowick.").arg(shown)
            : QStringLiteral("The database file %1 cannot be used: %2.").arg(shown, problem);
    if (onDamage == OnDamage::Ask) {
        if (platform().MsgBox(QStringLiteral("Database Error"),
                              text
                                  + QStringLiteral("\r\rRebuild it from the supplied reference data? This discards "
                                                   "the results of the last evaluation; the old file is kept as a "
                                                   "backup."),
                              MsgIcon::Critical, MsgButtons::YesNo, MsgResult::No)
            != MsgResult::Yes)
            throw FileRefused::declined(FileRefused::Role::Database);
        return;
    }
    text += state == State::OtherDeck
                ? QStringLiteral(" Nothing has been changed; an evaluation replaces it.")
                : QStringLiteral(" Nothing has been changed; an evaluation with --rebuild-database rebuilds it.");
    throw FileRefused::told(FileRefused::Role::Database, QStringLiteral("Database Error"), text);
}

// Moves the file aside and writes a new one in its place, then says what became of the old one.
void rebuild(const QString& path, const Checked& found, OnDamage onDamage)
{
    const auto& [state, problem] = found;
    const QString shown = QDir::toNativeSeparators(path);
    const QString backup = backupName(path);
    if (!QFile::rename(path, backup))
        throw DbError(DbError::General, QStringLiteral("the old file could not be moved aside to ") + backup);
    createDatabaseFile(path);
    const Checked rebuilt = openAndCheck(path);
    if (rebuilt.state != State::Usable) throw DbError(DbError::General, rebuilt.problem);
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

// Opening the file is a sequence of steps, each of which names the next.
enum class Step { Locate, Lock, Create, Open, Consent, Rebuild, Done };

struct Opening {
    Opening(const QString& file, OnDamage mode) : path(file), shown(QDir::toNativeSeparators(file)), onDamage(mode) {}
    QString path;
    QString shown; // the path as the messages show it
    OnDamage onDamage;
    bool existed = false;
    Checked found;
};

// Never touches a folder or device.
Step locate(Opening& o)
{
    const QFileInfo info(o.path);
    o.existed = info.exists();
    if (o.existed && !info.isFile()) throw DbError(DbError::General, QStringLiteral("it is not a file"));
    return Step::Lock;
}

Step lock(Opening& o)
{
    takeLock(o.path, o.onDamage);
    return o.existed ? Step::Open : Step::Create;
}

Step create(Opening& o)
{
    createDatabaseFile(o.path);
    return Step::Open;
}

// Reads the file's schema; a file in use is retried as the user chooses.
Step openFile(Opening& o)
{
    try {
        if (!looksLikeDatabase(o.path)) {
            o.found = Checked{State::Damaged, QStringLiteral("the file is not a database")};
        } else {
            setFileReadOnly(o.path, false);
            o.found = openAndCheck(o.path);
            if (o.found.state == State::Usable) return Step::Done;
        }
    } catch (const DatabaseFault& fault) {
        cnEval().close();
        if (!fault.busy()) throw;
        askToRetry(o.onDamage,
                   QStringLiteral("The evaluation database is in use by another program: %1.\r\r%2 "
                                  "Nothing has been changed.")
                       .arg(o.shown, whenInUse(o.onDamage, QStringLiteral("Close the other program"), "program")));
        return Step::Open;
    }
    cnEval().close();
    return Step::Consent;
}

Step consent(Opening& o)
{
    consentToRebuild(o.shown, o.found, o.onDamage);
    return Step::Rebuild;
}

Step rebuildFile(Opening& o)
{
    rebuild(o.path, o.found, o.onDamage);
    return Step::Done;
}

Step advance(Step step, Opening& o)
{
    switch (step) {
    case Step::Locate:
        return locate(o);
    case Step::Lock:
        return lock(o);
    case Step::Create:
        return create(o);
    case Step::Open:
        return openFile(o);
    case Step::Consent:
        return consent(o);
    case Step::Rebuild:
        return rebuildFile(o);
    case Step::Done:
        break;
    }
    return Step::Done;
}

FileRefused cannotOpen(const Opening& o, const QString& cause)
{
    return FileRefused::told(FileRefused::Role::Database, QStringLiteral("Database Error"),
                             QStringLiteral("The database file %1 cannot be opened: %2").arg(o.shown, cause));
}

} // namespace

void openEvalDatabase(const QString& path, OnDamage onDamage)
{
    Opening o(path, onDamage);
    Step step = Step::Locate;
    try {
        while (step != Step::Done) step = advance(step, o);
    } catch (const FileRefused&) {
        // A lock not taken leaves alone whatever this program had open.
        if (step != Step::Lock) closeEvalDatabase();
        throw;
    } catch (const DatabaseFault& fault) {
        closeEvalDatabase();
        throw cannotOpen(o, fault.plainCause() + QLatin1Char('.'));
    } catch (const DbError& error) {
        closeEvalDatabase();
        throw cannotOpen(o, error.description());
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
