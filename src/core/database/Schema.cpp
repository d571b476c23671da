#include "Schema.h"

#include "Csv.h"
#include "Db.h"
#include "DatabaseFault.h"
#include "NativeStatement.h"

#include <QFile>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <sqlite3.h>

namespace marrowick {

namespace {
constexpr const char* kName = "TEXT COLLATE NOCASE";
constexpr const char* kText = "TEXT";
constexpr const char* kInt = "INTEGER";
constexpr const char* kFlag = "INTEGER NOT NULL DEFAULT 0";
} // namespace

// One table per line reads as the schema does.
// clang-format off
const std::vector<TableDef>& schemaTables()
{
    static const std::vector<TableDef> tables = {
        {"DupTestData",
         {{"ID", "INTEGER PRIMARY KEY"},
          {"LastName", "TEXT NOT NULL COLLATE NOCASE"},
          {"FirstName", "TEXT NOT NULL COLLATE NOCASE"},
          {"MiddleName", kName},
          {"Suffix", kName},
          {"DOB", kName},
          {"Sex", "TEXT NOT NULL COLLATE NOCASE"},
          {"MomMaiden", kName},
          {"MomLast", kName},
          {"MomFirst", kName},
          {"MomMiddle", kName},
          {"notes", kText},
          {"ProblemCode", kName},
          {"SecondProblem", kName},
          {"ComboCode", kInt}},
         true},
        {"Answer_Sheet",
         {{"rec_1", kInt}, {"rec_2", kInt}, {"rec_3", kInt}, {"rec_4", kInt}, {"rec_5", kInt},
          {"rec_1_loaded", kFlag}, {"rec_2_loaded", kFlag}, {"rec_3_loaded", kFlag},
          {"rec_4_loaded", kFlag}, {"rec_5_loaded", kFlag},
          {"rec_1_IIS_ID", kFlag}, {"rec_2_IIS_ID", kFlag}, {"rec_3_IIS_ID", kFlag},
          {"rec_4_IIS_ID", kFlag}, {"rec_5_IIS_ID", kFlag},
          {"total_loaded", kFlag}},
         true},
        {"DupTestVaccination", {{"ID", "INTEGER PRIMARY KEY"}, {"VacCode", kText}, {"VacDate", kText}, {"VacMfr", kText}}, true},
        {"tblProbDescMap", {{"ProbCode", "TEXT PRIMARY KEY COLLATE NOCASE"}, {"ProbDesc", kText}, {"ProbOrder", kInt}}, true},
        {"tblSecondProbDescMap", {{"ProbCode", "TEXT PRIMARY KEY COLLATE NOCASE"}, {"ProbDesc", kText}, {"ProbOrder", kInt}}, true},
        {"tblComboMap", {{"ProbCode", kName}, {"ComboCode", kInt}}, true},
        {"IIS_LOADED_CHILD_ALL",
         {{"ClientID", kText}, {"QMflag", kText}, {"LastName", kName}, {"FirstName", kName},
          {"MiddleName", kName}, {"Suffix", kName}, {"DOB", kName}, {"Sex", kName},
          {"MomMaiden", kName}, {"MomLast", kName}, {"MomFirst", kName}, {"MomMiddle", kName},
          {"VacCode", kText}, {"VacDate", kText}, {"VacMfr", kText}},
         false},
        {"IIS_DUPLICATES", {{"ID", kInt}, {"QM", kText}, {"OtherQM", kText}}, false},
        {"IIS_MISSING_RECORDS", {{"ID", kInt}}, false},
        {"tblOverallResults", {{"ResultCode", kInt}, {"ResultDesc", kText}, {"ResultValue", kText}}, false},
        {"tblDupProblemTypeSummary",
         {{"ProblemCode", kName}, {"ProblemDesc", kText}, {"ProbOrder", kInt}, {"ProblemCount", kInt},
          {"TotalCaught", kInt}, {"TotalQM", kInt}, {"TotalMissed", kInt}, {"Sensitivity", kText}},
         false},
        {"tblDupLikeSummary",
         {{"ProblemCode", kName}, {"ProblemDesc", kText}, {"ProbOrder", kInt}, {"ProblemCount", kInt},
          {"TotalUnique", kInt}, {"TotalDupMistake", kInt}, {"Specificity", kText}},
         false},
        {"tblScoresByType",
         {{"ProblemCode", kName}, {"ProblemDesc", kText}, {"ProbOrder", kInt}, {"DupProblemCount", kInt},
          {"NonDupProblemCount", kInt}, {"Sensitivity", kText}, {"Specificity", kText}},
         false},
    };
    return tables;
}
// clang-format on

const std::vector<TableDef>& addedTables()
{
    // One row per test record: what the registry did with it, and why.
    static const std::vector<TableDef> tables = {
        {"tblRecordOutcomes",
         {{"ID", "INTEGER PRIMARY KEY"},
          {"GroupNo", kInt},
          {"Place", kInt},
          {"Attempt", kInt},
          {"ClientID", kInt},
          {"QMflag", kText},
          {"Outcome", kText}},
         false},
        // Every completed evaluation: the file, its figures with the counts
        // behind them, and each test record's outcome, for comparing runs.
        {"tblRuns",
         {{"RunID", "INTEGER PRIMARY KEY"},
          {"RunTime", kText},
          {"FileName", kText},
          {"FileSize", kInt},
          {"Sha256", kText},
          {"RowsLoaded", kInt},
          {"Deck", kText},
          {"Sensitivity", "REAL"},
          {"Specificity", "REAL"}},
         false},
        {"tblRunFigures",
         {{"RunID", kInt},
          {"Position", kInt},
          {"Name", kText},
          {"Label", kText},
          {"FigureOrder", kInt},
          {"Successes", kInt},
          {"Trials", kInt}},
         false},
        {"tblRunOutcomes", {{"RunID", kInt}, {"ID", kInt}, {"Outcome", kText}}, false},
        // Each test record sent to a registry's interface: in flight ('sending')
        // or acknowledged, so that an interrupted send resumes and never repeats.
        {"tblRegistrySends",
         {{"RecordID", "INTEGER PRIMARY KEY"},
          {"ControlID", kText},
          {"State", kText},
          {"SentAt", kText},
          {"AckCode", kText},
          {"Errors", kText},
          {"Endpoint", kText},
          {"Rejected", kFlag}},
         false},
    };
    return tables;
}

namespace {

void createTable(const TableDef& table, bool ifMissing = false)
{
    QStringList columns;
    for (const ColumnDef& column : table.columns)
        columns << QStringLiteral("%1 %2").arg(QLatin1String(column.name), QLatin1String(column.type));
    run(QStringLiteral("CREATE TABLE %1%2 (%3)")
            .arg(ifMissing ? QStringLiteral("IF NOT EXISTS ") : QString(), QLatin1String(table.name),
                 columns.join(QStringLiteral(", "))));
}

void seedTable(const TableDef& table)
{
    const QString resource = QStringLiteral(":/data/%1.csv").arg(QLatin1String(table.name));
    QFile file(resource);
    if (!file.open(QIODevice::ReadOnly))
        throw DbError(DbError::General, QStringLiteral("The supplied reference data lacks ") + resource);
    CsvReader reader(CsvReader::decode(file.readAll()));
    QStringList header;
    if (!reader.next(header))
        throw DbError(DbError::General, QStringLiteral("The supplied reference data is empty: ") + resource);

    QSet<QString> integerColumns;
    for (const ColumnDef& column : table.columns)
        if (QByteArray(column.type).startsWith("INTEGER"))
            integerColumns.insert(QString::fromLatin1(column.name).toLower());

    QStringList marks;
    for (qsizetype i = 0; i < header.size(); ++i) marks << QStringLiteral("?");
    const QString sql =
        QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
            .arg(QLatin1String(table.name), header.join(QLatin1Char(',')), marks.join(QLatin1Char(',')));
    QSqlQuery insert(cnEval());
    if (!insert.prepare(sql)) throwSqlError(insert, sql);
    QStringList values;
    while (reader.next(values)) {
        if (values.size() != header.size())
            throw DbError(DbError::General, QStringLiteral("Malformed reference data in ") + resource);
        for (qsizetype i = 0; i < values.size(); ++i) {
            const bool isInteger = integerColumns.contains(header[i].toLower());
            if (isInteger && values[i].isEmpty())
                insert.bindValue(int(i), QVariant());
            else if (isInteger)
                insert.bindValue(int(i), values[i].toLongLong());
            else
                insert.bindValue(int(i), values[i]);
        }
        if (!insert.exec()) throwSqlError(insert, sql);
    }
}

} // namespace

void addMissingTables()
{
    // Every opening asks this; nearly always all are there already, which one
    // look at the schema tells more cheaply than a statement for each.
    QStringList tables;
    for (const TableDef& table : addedTables()) tables << QStringLiteral("'%1'").arg(QLatin1String(table.name));
    const qint64 present =
        scalar(QStringLiteral("SELECT count(*) AS n FROM sqlite_master WHERE (type = 'table' AND name IN (%1)) OR "
                              "(type = 'index' AND name IN ('idxRunFigures', 'idxRunOutcomes'))")
                   .arg(tables.join(QLatin1Char(','))),
               QStringLiteral("n"))
            .toLongLong();
    if (present == tables.size() + 2) return;
    // tblRecordOutcomes needs no index: every evaluation rewrites all of its
    // rows. The runs' tables grow with every evaluation and are read by run.
    for (const TableDef& table : addedTables()) createTable(table, true);
    run(QStringLiteral("CREATE INDEX IF NOT EXISTS idxRunFigures ON tblRunFigures (RunID, Position)"));
    run(QStringLiteral("CREATE INDEX IF NOT EXISTS idxRunOutcomes ON tblRunOutcomes (RunID, ID)"));
}

void createSchema()
{
    for (const TableDef& table : schemaTables()) createTable(table);
    addMissingTables();
    // The summaries look records up by ID in the working tables.
    run(QStringLiteral("CREATE UNIQUE INDEX idxAnswerRec1 ON Answer_Sheet (rec_1)"));
    run(QStringLiteral("CREATE INDEX idxDuplicatesID ON IIS_DUPLICATES (ID)"));
    run(QStringLiteral("CREATE INDEX idxMissingID ON IIS_MISSING_RECORDS (ID)"));
    run(QStringLiteral("CREATE INDEX idxComboProb ON tblComboMap (ProbCode)"));
}

void seedReferenceData()
{
    for (const TableDef& table : schemaTables())
        if (table.reference) seedTable(table);
    run(QStringLiteral("PRAGMA user_version = %1").arg(deckFingerprint()));
}

qint32 deckFingerprint() { return MARROWICK_DECK_FINGERPRINT; }

qint32 storedDeckFingerprint()
{
    return scalar(QStringLiteral("PRAGMA user_version"), QStringLiteral("user_version")).toInt();
}

QString schemaProblem()
{
    // Reading the schema table whole says whether the file can be read at all,
    // and leaves SQLite's parsed schema in memory. The tables and columns are
    // then looked up there, without a statement: one that listed every
    // column cost more than the rest of opening the file.
    for (NativeStatement master("SELECT name FROM sqlite_master"); master.step();) {}
    sqlite3* const db = NativeStatement::connection();
    // Names compare without ASCII case, as SQLite's own do; a view is no table.
    auto lacks = [db](const char* table, const char* column) {
        const int rc =
            sqlite3_table_column_metadata(db, "main", table, column, nullptr, nullptr, nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK && rc != SQLITE_ERROR)
            throw DatabaseFault(sqlite3_extended_errcode(db), QString::fromUtf8(sqlite3_errmsg(db)));
        return rc == SQLITE_ERROR;
    };
    // An added table may be missing (a database of an earlier version gains it
    // empty), but one that is there must have its columns too.
    for (const auto* tables : {&schemaTables(), &addedTables()})
        for (const TableDef& table : *tables) {
            if (lacks(table.name, nullptr)) {
                if (tables == &addedTables()) continue;
                return QStringLiteral("the table %1 is missing").arg(QLatin1String(table.name));
            }
            for (const ColumnDef& column : table.columns)
                if (lacks(table.name, column.name))
                    return QStringLiteral("the column %1.%2 is missing")
                        .arg(QLatin1String(table.name), QLatin1String(column.name));
        }
    return {};
}

} // namespace marrowick
