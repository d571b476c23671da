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

// Inside a catch block, whatever was caught: tells the user what failed and
// what that means ("Database Error" for a fault of the database, a refused
// file's own message, "Error" for anything else), so that nothing escapes into
// the event loop.
void showCurrentFailure(const QString& consequence);

} // namespace marrowick
