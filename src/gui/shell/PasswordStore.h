#pragma once
#include <QObject>
#include <QString>
#include <functional>
#include <optional>

namespace marrowick {

// The registry password in the desktop's secret store (through QtKeychain),
// one per endpoint and user. Nothing is ever kept anywhere else: without a
// secret store (no session bus, as offscreen), a read or write tells why and
// the password is simply not remembered. Answers come later, from the event
// loop, and never after the store is gone.
class PasswordStore : public QObject {
    Q_OBJECT
public:
    explicit PasswordStore(QObject* parent = nullptr) : QObject(parent) {}

    // The password, or nullopt with the store's reason (empty when none was kept).
    using Read = std::function<void(const std::optional<QString>& password, const QString& problem)>;
    // Empty when the store did what was asked.
    using Done = std::function<void(const QString& problem)>;

    void read(const QString& endpoint, const QString& user, Read done);
    void write(const QString& endpoint, const QString& user, const QString& password, Done done = {});
    void forget(const QString& endpoint, const QString& user, Done done = {});

    static QString service();
    static QString key(const QString& endpoint, const QString& user);
};

} // namespace marrowick
