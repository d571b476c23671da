#pragma once
// Files of the source tree: the shipped data, the deck lists and the
// simulator's sample results; and the built batch program.
#include "TestDatabase.h"
#include "database/CsvReader.h"

#include <QProcess>

namespace marrowick::test {

inline QString source(const QString& relative) { return QStringLiteral(MARROWICK_SOURCE_DIR "/") + relative; }
inline QByteArray sourceBytes(const QString& relative) { return fileBytes(source(relative)); }
inline QString sample(const QString& policy) { return source(QStringLiteral("samples/results-%1.txt").arg(policy)); }

// The records of CSV text (a data file's header first).
inline QList<QStringList> csvRecords(const QByteArray& bytes)
{
    CsvReader reader(CsvReader::decode(bytes));
    QList<QStringList> records;
    for (QStringList fields; reader.next(fields);)
        records << fields;
    return records;
}

// Runs marrowick-batch: its exit code and what it printed.
inline std::pair<int, QByteArray> runBatch(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral(MARROWICK_BIN_DIR "/marrowick-batch"), args);
    p.waitForFinished(120000);
    return {p.exitCode(), p.readAllStandardOutput()};
}

} // namespace marrowick::test
