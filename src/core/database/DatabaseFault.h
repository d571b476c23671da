#pragma once
#include "DbError.h"

namespace marrowick {

// A fault of the database itself (in use, read-only, disk full, damaged), never
// of what the user gave the program: told apart so that "fix your file" and
// "retry later" do not look alike. The number is SQLite's result code.
class DatabaseFault : public DbError {
public:
    DatabaseFault(int sqliteCode, const QString& engineText);

    // True when another program holds the database: waiting may help.
    bool busy() const;
    // One plain sentence for the user, without SQL.
    QString plainCause() const;
};

// The "Database Error" box for a fault, with what it means for the user's data.
void showDatabaseFault(const DatabaseFault& fault, const QString& consequence);

} // namespace marrowick
