#pragma once
#include <QTemporaryDir>
#include <QString>

namespace marrowick::test {

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

// Rows of a query, each row's columns joined with "|".
QStringList rows(const QString& sql);

} // namespace marrowick::test
