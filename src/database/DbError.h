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
        NoCurrentRecord = 3021,
        General = 3146,
    };

    DbError(int number, QString description)
        : m_number(number), m_description(std::move(description)), m_what(m_description.toStdString()) {}

    int number() const { return m_number; }
    const QString& description() const { return m_description; }
    const char* what() const noexcept override { return m_what.c_str(); }

private:
    int m_number;
    QString m_description;
    std::string m_what;
};

} // namespace marrowick
