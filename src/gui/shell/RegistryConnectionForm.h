#pragma once
#include "PasswordStore.h"
#include "registry/RegistryEndpoint.h"

#include <QWidget>
#include <optional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace marrowick {

// Where a registry's test interface is and who sends to it, as both registry
// dialogs ask: endpoint, user, facility, password, and a certificate
// authority of the registry's own. The fields come back as they were left;
// the password only from the desktop's secret store, and only when the user
// asked to remember it.
class RegistryConnectionForm : public QWidget {
    Q_OBJECT
public:
    explicit RegistryConnectionForm(QWidget* parent);

    QLineEdit* txtEndpoint;
    QLineEdit* txtUser;
    QLineEdit* txtFacility;
    QLineEdit* txtPassword;
    QCheckBox* chkRemember;
    QLineEdit* txtCaFile;
    QPushButton* btnBrowseCa;
    QPushButton* btnTest;
    // What the registry or the secret store said last; plain text.
    QLabel* lblStatus;

    // The connection the fields name; nullopt, with the cause in the status
    // line and the focus on the field, when the endpoint is not one.
    std::optional<ConnectionSettings> connectionSettings();
    // Keeps the fields for next time (never the password), and the password
    // in the secret store when Remember is ticked; forgets it when not.
    void remember();
    void setStatus(const QString& text);
    // While a registry is being talked to, nothing that changes the connection.
    void setEditable(bool editable);

private:
    void readPassword();
    void browseCa();

    PasswordStore m_store;
};

} // namespace marrowick
