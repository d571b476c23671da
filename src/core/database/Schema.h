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
};

// Every table of the evaluation database, reference tables first.
const std::vector<TableDef>& schemaTables();

// Tables that this program keeps beside those every evaluation database has:
// a database from an earlier version lacks them and gains them empty on open.
const std::vector<TableDef>& addedTables();
// Creates whichever added tables cnEval lacks.
void addMissingTables();

// Creates every table and index on cnEval.
void createSchema();
// Fills the reference tables from the data files compiled into the program.
void seedReferenceData();
// Empty when cnEval holds every table and column (an added table may be
// missing, not damaged); otherwise the cause. Throws DatabaseFault when the
// file cannot be read.
QString schemaProblem();

// A short fingerprint of the supplied test data (the reference tables as this
// program carries them): an evaluation is only meaningful against the deck
// that the registry was given.
qint32 deckFingerprint();
// The fingerprint of the test data that cnEval's database holds (0 when none
// was recorded: a database from before fingerprints).
qint32 storedDeckFingerprint();

} // namespace marrowick
