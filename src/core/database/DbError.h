#pragma once
#include <QString>
#include <exception>
#include <string>

namespace marrowick {

// The one failure type inside the core: a number and a description, as the
// messages that report a failure show them.
class DbError : public std::exception {
public:
    enum Number : int {
        Overflow = 6,
        DivisionByZero = 11,
        InvalidUseOfNull = 94,
        NoCurrentRecord = 3021,
        General = 3146,
    };

    DbError(int number, QString description)
        : m_number(number), m_description(std::move(description)), m_what(m_description.toStdString())
    {
    }

    int number() const { return m_number; }
    const QString& description() const { return m_description; }
    // "number description", as every message that reports a failure shows it.
    QString numbered() const { return QString::number(m_number) + QLatin1Char(' ') + m_description; }
    const char* what() const noexcept override { return m_what.c_str(); }

private:
    int m_number;
    QString m_description;
    std::string m_what;
};

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

// Inside a catch block, whatever was caught: tells the user what failed and
// what that means ("Database Error" for a fault of the database, a refused
// file's own message, "Error" for anything else), so that nothing escapes into
// the event loop.
void showCurrentFailure(const QString& consequence);

} // namespace marrowick
