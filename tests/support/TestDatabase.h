#pragma once
#include "platform/FileRefused.h"

#include <QSqlDatabase>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <optional>

namespace marrowick::test {

// The failure of that type that work threw; nothing when it went through.
template <class Failure, class Work> std::optional<Failure> thrown(Work&& work)
{
    try {
        work();
        return std::nullopt;
    } catch (const Failure& failure) {
        return failure;
    }
}

// A fresh copy of a new program database in its own folder, opened as cnEval;
// closed again at the end of the scope.
class TestDatabase {
public:
    TestDatabase();
    ~TestDatabase();
    QString path() const { return m_path; }
    QString folder() const { return m_dir.path(); }
    // Writes text into a file of the folder and returns its path.
    QString writeFile(const QString& name, const QByteArray& bytes) const;

private:
    QTemporaryDir m_dir;
    QString m_path;
};

// A file's bytes; empty when it cannot be read.
QByteArray fileBytes(const QString& path);
bool writeBytes(const QString& path, const QByteArray& bytes);

// Another program's exclusive lock on a database file, for as long as it lives.
class ForeignLock {
public:
    explicit ForeignLock(const QString& path);
    ~ForeignLock();
    bool held() const { return m_held; }

private:
    QSqlDatabase m_db;
    bool m_held = false;
};

// Opens a database file with a host of its own, does the work on it and closes it
// again; false when it does not open.
bool onDatabase(const QString& path, const std::function<void()>& work);

// Rows of a query, each row's columns joined with "|"; and the number a query gives (-1: none).
QStringList rows(const QString& sql, const QVariantList& binds = {});
qint64 count(const QString& sql, const QVariantList& binds = {});

inline QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

// The four summaries refilled, as the reports refill them before they show them.
bool refillSummaries();
// The scores the refilled summaries show, as "name|label|score" under the names and in the
// order a saved run keeps them: overall sensitivity and specificity, then by problem type and
// by kind of look-alike.
QStringList reportedScores();

// Every row of the tables an evaluation writes, each table under its name:
// what a refused or failed run must leave as it was.
QStringList snapshot(const QStringList& tables = {"IIS_LOADED_CHILD_ALL", "Answer_Sheet", "IIS_DUPLICATES", "IIS_MISSING_RECORDS", "tblRuns"});

} // namespace marrowick::test
