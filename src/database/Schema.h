#pragma once
#include <QString>
#include <QStringList>
#include <vector>

namespace marrowick {

struct ColumnDef {
    const char* name;
    const char* type; // the declaration after the name
};

struct TableDef {
    const char* name;
    std::vector<ColumnDef> columns;
    bool reference; // seeded from the supplied data files
    // The program version that added the table: a database from before it
    // gains the table on open instead of being taken for damaged.
    int since = 1;
};

// The index that the matching's look-ups by name and birth date use.
inline constexpr const char* kLoadedNameIndex =
    "CREATE INDEX IF NOT EXISTS idxLoadedName ON IIS_LOADED_CHILD_ALL (LastName, FirstName, DOB)";

// Every table of the evaluation database, reference tables first.
const std::vector<TableDef>& schemaTables();

// Creates every table and index on cnEval.
void createSchema();
// Fills the reference tables from the data files compiled into the program.
void seedReferenceData();
// Creates one table (and seeds it, when it is a reference table) on cnEval.
void createTable(const TableDef& table);

// What an existing database lacks.
struct SchemaCheck {
    QString problem;                    // empty when the file can be used
    std::vector<const TableDef*> added; // tables of later versions to create
};
// Reads cnEval's tables and columns; throws DatabaseFault when it cannot.
SchemaCheck checkSchema();

} // namespace marrowick
