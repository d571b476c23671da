#pragma once
#include <QString>

namespace marrowick {

inline constexpr const char* kDatabaseFileName = "DupTestDataFin.db";

// The program's own database file: in the program's folder, or in the per-user
// application data folder when the program's folder is not writable.
QString defaultDatabasePath();

// Clears the read-only mark, creating and seeding the file when it does not
// exist, and opens cnEval on it. A file that cannot be used is rebuilt only
// when the user agrees; false when it stays unusable (the message was shown).
bool openEvalDatabase(const QString& path);
// Closes cnEval, rolling back any unit of work still open.
void closeEvalDatabase();

// The file's write permission, for everyone; false when it cannot be changed.
bool setFileReadOnly(const QString& path, bool readOnly);

// Writes a new database file with the schema and the supplied reference data.
// Builds it beside the target first, so a failure never leaves half a file.
void createDatabaseFile(const QString& path);

} // namespace marrowick
