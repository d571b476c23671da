#pragma once
#include <QString>

namespace marrowick {

inline constexpr const char* kDatabaseFileName = "DupTestDataFin.db";

// The program's own database file: in the program's folder when this user can
// write both the folder and the file there, and the program is not installed;
// otherwise a copy of this user's own in the per-user application data folder,
// seeded fresh.
QString defaultDatabasePath();

// What to do with an existing file that is damaged, or holds another version's
// test data: Ask the user about a damaged one (the windows); Rebuild either at
// once (a script that asked for it); Refuse a damaged one (a script that did
// not ask). These three replace another version's file, as an evaluation
// needs; ReadOnly refuses both (a command that only reads). Only Ask offers
// the windows' buttons.
enum class OnDamage { Ask, Rebuild, Refuse, ReadOnly };

// Takes the one-writer lock beside the file, creates and seeds the file when it
// does not exist, clears its read-only mark once it is known to be a database,
// and opens cnEval on it. Only a file that is not a database, or lacks tables,
// is rebuilt, and the old one is kept as a backup; a file in use is never
// touched. Throws FileRefused (Database) when it stays unusable: told whole,
// or declined when the user answered not to go on.
void openEvalDatabase(const QString& path, OnDamage onDamage = OnDamage::Ask);
// Closes cnEval, rolling back any unit of work still open, and gives up the lock.
void closeEvalDatabase();

// The file's write permission, for everyone; false when it cannot be changed.
bool setFileReadOnly(const QString& path, bool readOnly);

// Writes a new database file with the schema and the supplied reference data.
// Builds it beside the target first, so a failure never leaves half a file;
// never replaces an existing file.
void createDatabaseFile(const QString& path);

} // namespace marrowick
