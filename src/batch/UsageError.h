#pragma once
#include <QString>
#include <exception>
#include <string>
#include <utility>

namespace marrowick::batch {

// A command line the program cannot follow: thrown where it is found, told by
// main as usage() tells it, with the usage exit code.
class UsageError : public std::exception {
public:
    explicit UsageError(QString problem) : m_problem(std::move(problem)), m_what(m_problem.toStdString()) {}

    const QString& problem() const { return m_problem; }
    const char* what() const noexcept override { return m_what.c_str(); }

private:
    QString m_problem;
    std::string m_what;
};

} // namespace marrowick::batch
