#pragma once
// Files of the source tree: the shipped data, the deck lists and the
// simulator's sample results; and the built batch program.
#include "TestDatabase.h"
#include "database/Csv.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
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

// The object of a json document, as the batch writes them.
inline QJsonObject jsonOf(const QByteArray& bytes) { return QJsonDocument::fromJson(bytes).object(); }

const QString kBatchProgram = QStringLiteral(MARROWICK_BIN_DIR "/marrowick-batch");

// Runs marrowick-batch, or a copy of it, to its end: its exit code, what it printed and what it told.
struct BatchRun { int code; QString out, err; };
inline BatchRun runBatch(const QStringList& args, const QString& program = kBatchProgram,
                         const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment())
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, args);
    p.waitForFinished(120000);
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

} // namespace marrowick::test
