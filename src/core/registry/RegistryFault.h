#pragma once
#include <QString>
#include <exception>

namespace marrowick {

// A registry's interface could not be used. Transport faults (refused, reset,
// timed out) may pass when tried again; the others stop a run at once.
class RegistryFault : public std::exception {
public:
    enum class Kind { Transport, Soap, Tls, Protocol };
    RegistryFault(Kind kind, QString message) : m_kind(kind), m_message(std::move(message)), m_bytes(m_message.toUtf8())
    {
    }

    Kind kind() const { return m_kind; }
    bool retriable() const { return m_kind == Kind::Transport; }
    const QString& message() const { return m_message; }
    const char* what() const noexcept override { return m_bytes.constData(); }

private:
    Kind m_kind;
    QString m_message;
    QByteArray m_bytes;
};

} // namespace marrowick
