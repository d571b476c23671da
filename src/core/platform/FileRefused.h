#pragma once
#include <QString>
#include <exception>
#include <string>
#include <utility>

namespace marrowick {

// A file that cannot be read or written, or that the program refuses: the
// user's to put right, never a fault of the program. Thrown where the cause is
// found; told at the edges (showCurrentFailure, the batch's main).
class FileRefused : public std::exception {
public:
    // Whose file it was: the results file being loaded (the batch ends with a
    // code of its own for it), any other file read, one written, or the
    // evaluation database.
    enum class Role { Results, Input, Output, Database };

    // The cause alone, as a sentence ("The disk is full."): until someone adds
    // what was being done (toldAs), it is told under the failed action.
    FileRefused(Role role, QString cause) : FileRefused(role, QString(), std::move(cause), false) {}

    // The refusal as a message box of its own: title and the whole text.
    static FileRefused told(Role role, const QString& title, const QString& text) { return {role, title, text, true}; }
    // The user was asked about the file and declined: nothing is left to tell.
    static FileRefused declined(Role role) { return {role, QString(), QString(), true}; }
    // This cause after what was being done: "The report could not be written to x: " + cause.
    FileRefused toldAs(const QString& title, const QString& context) const
    {
        return told(m_role, title, context + m_text);
    }

    Role role() const { return m_role; }
    // Whether title() and text() make the whole message; else text() is a cause.
    bool whole() const { return m_whole; }
    const QString& title() const { return m_title; }
    const QString& text() const { return m_text; }
    const char* what() const noexcept override { return m_what.c_str(); }

private:
    FileRefused(Role role, QString title, QString text, bool whole)
        : m_role(role), m_whole(whole), m_title(std::move(title)), m_text(std::move(text)), m_what(m_text.toStdString())
    {
    }

    Role m_role;
    bool m_whole;
    QString m_title;
    QString m_text;
    std::string m_what;
};

} // namespace marrowick
