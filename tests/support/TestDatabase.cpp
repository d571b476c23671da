#include "TestDatabase.h"
#include "FakePlatform.h"

#include "database/Db.h"
#include "database/EvalDatabase.h"
#include "summaries/clsOverallResults.h"
#include "summaries/clsProblemTypeSummary.h"
#include "summaries/clsDupLikeSummary.h"
#include "summaries/clsScoreByType.h"

#include <QFile>
#include <QSqlQuery>
#include <QSqlRecord>

namespace marrowick::test {

namespace {
// A new database is built once per test program and copied for each test.
QString templateDatabase()
{
    static QTemporaryDir dir;
    static QString path;
    if (path.isEmpty()) {
        path = dir.path() + QStringLiteral("/template.db");
        createDatabaseFile(path);
    }
    return path;
}
} // namespace

TestDatabase::TestDatabase() : m_path(m_dir.path() + QStringLiteral("/DupTestDataFin.db"))
{
    QFile::copy(templateDatabase(), m_path);
    QFile::setPermissions(m_path, QFile::permissions(m_path) | QFileDevice::WriteOwner);
    openEvalDatabase(m_path);
}

TestDatabase::~TestDatabase() { closeEvalDatabase(); }

QString TestDatabase::writeFile(const QString& name, const QByteArray& bytes) const
{
    const QString file = m_dir.path() + QLatin1Char('/') + name;
    writeBytes(file, bytes);
    return file;
}

bool onDatabase(const QString& path, const std::function<void()>& work)
{
    FakePlatform host;
    const bool opened = !thrown<FileRefused>([&] { openEvalDatabase(path); });
    if (opened)
        work();
    closeEvalDatabase();
    return opened;
}

bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile out(path);
    return out.open(QIODevice::WriteOnly | QIODevice::Truncate) && out.write(bytes) == bytes.size();
}

ForeignLock::ForeignLock(const QString& path)
{
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("foreign"));
    m_db.setDatabaseName(path);
    m_held = m_db.open() && QSqlQuery(m_db).exec(QStringLiteral("BEGIN EXCLUSIVE"));
}

ForeignLock::~ForeignLock()
{
    QSqlQuery(m_db).exec(QStringLiteral("ROLLBACK"));
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("foreign"));
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList rows(const QString& sql, const QVariantList& binds)
{
    QSqlQuery query = run(sql, binds);
    QStringList result;
    while (query.next()) {
        QStringList columns;
        for (int i = 0; i < query.record().count(); ++i)
            columns << (query.isNull(i) ? QStringLiteral("<null>") : query.value(i).toString());
        result << columns.join(QLatin1Char('|'));
    }
    return result;
}

qint64 count(const QString& sql, const QVariantList& binds) { return rows(sql, binds).value(0, QStringLiteral("-1")).toLongLong(); }

bool refillSummaries()
{
    return clsOverallResults().RefillOverallResults() && clsProblemTypeSummary().RefillProblemTypeSummary()
           && clsDupLikeSummary().RefillDupLikeSummary() && clsScoreByType().RefillScoresByType();
}

QStringList reportedScores()
{
    QStringList scores;
    for (const char* sql : {"SELECT 'sensitivity', 'Overall sensitivity', ResultValue FROM tblOverallResults WHERE ResultCode = 14",
                            "SELECT 'specificity', 'Overall specificity', ResultValue FROM tblOverallResults WHERE ResultCode = 15",
                            "SELECT 'sensitivity:' || ProblemCode, ProblemDesc, Sensitivity FROM tblDupProblemTypeSummary "
                            "WHERE ProblemCode <> 'TOTAL' ORDER BY ProbOrder",
                            "SELECT 'specificity:' || ProblemCode, ProblemDesc, Specificity FROM tblDupLikeSummary "
                            "WHERE ProbOrder < 99 ORDER BY ProbOrder"})
        scores << rows(QLatin1String(sql));
    return scores;
}

QStringList snapshot(const QStringList& tables)
{
    QStringList all;
    for (const QString& table : tables)
        all << table << rows(QStringLiteral("SELECT * FROM %1 ORDER BY rowid").arg(table));
    return all;
}

} // namespace marrowick::test
