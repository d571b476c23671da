#pragma once
#include <QString>

namespace marrowick::mdlGlobals {

// Full path of the database file, set by OpenDatabase.
extern QString strDBPath;

// Names another file than the program's own (empty): the tests' and the
// screenshot tool's own database.
void SetDatabasePath(const QString& path);

// Makes the database file writable and opens cnEval on it (creating and
// seeding a missing file). False when the file stays unusable.
bool OpenDatabase();
void CloseDatabase();
bool DatabaseIsOpen();
// Asks whether to leave; on OK closes the connection, marks the file
// read-only and ends the program. False when the user cancelled.
bool ConfirmExit();

} // namespace marrowick::mdlGlobals
