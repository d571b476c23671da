#include "RegistryConnectionForm.h"

#include "RegistryGateway.h"
#include "platform/Platform.h"

#include <QCheckBox>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>

namespace marrowick {

namespace {
const QString kEndpoint = QStringLiteral("registry/endpoint");
const QString kUser = QStringLiteral("registry/user");
const QString kFacility = QStringLiteral("registry/facility");
const QString kCaFile = QStringLiteral("registry/caFile");
const QString kRemember = QStringLiteral("registry/rememberPassword");

QLineEdit* field(QWidget* parent, const QString& objectName, const QString& kept)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(objectName);
    if (!kept.isEmpty()) edit->setText(QSettings().value(kept).toString());
    return edit;
}

QLabel* labelFor(QWidget* parent, const QString& caption, QWidget* buddy)
{
    auto* label = new QLabel(caption, parent);
    label->setBuddy(buddy);
    return label;
}
} // namespace

RegistryConnectionForm::RegistryConnectionForm(QWidget* parent) : QWidget(parent), m_store(this)
{
    setObjectName(QStringLiteral("frmRegistryConnection"));
    // Created in the order the Tab key walks them.
    txtEndpoint = field(this, QStringLiteral("txtEndpoint"), kEndpoint);
    txtEndpoint->setPlaceholderText(QStringLiteral("https://\u2026 or mllp://host:port"));
    txtUser = field(this, QStringLiteral("txtUser"), kUser);
    txtFacility = field(this, QStringLiteral("txtFacility"), kFacility);
    txtFacility->setPlaceholderText(QStringLiteral("empty: each clinic sends as itself"));
    txtPassword = field(this, QStringLiteral("txtPassword"), {});
    txtPassword->setEchoMode(QLineEdit::Password);
    chkRemember = new QCheckBox(QStringLiteral("Re&member password"), this);
    chkRemember->setObjectName(QStringLiteral("chkRemember"));
    chkRemember->setChecked(QSettings().value(kRemember, false).toBool());
    txtCaFile = field(this, QStringLiteral("txtCaFile"), kCaFile);
    txtCaFile->setPlaceholderText(QStringLiteral("optional: besides the system's authorities"));
    btnBrowseCa = new QPushButton(QStringLiteral("Bro&wse\u2026"), this);
    btnBrowseCa->setObjectName(QStringLiteral("btnBrowseCa"));
    btnTest = new QPushButton(QStringLiteral("&Test connection"), this);
    btnTest->setObjectName(QStringLiteral("btnTest"));
    lblStatus = new QLabel(this);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    lblStatus->setTextFormat(Qt::PlainText); // the registry's words
    lblStatus->setWordWrap(true);
    lblStatus->setTextInteractionFlags(Qt::TextSelectableByMouse);
    for (QPushButton* button : {btnBrowseCa, btnTest}) button->setAutoDefault(false);

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addWidget(labelFor(this, QStringLiteral("&Endpoint:"), txtEndpoint), 0, 0);
    grid->addWidget(txtEndpoint, 0, 1, 1, 3);
    grid->addWidget(labelFor(this, QStringLiteral("&User:"), txtUser), 1, 0);
    grid->addWidget(txtUser, 1, 1);
    grid->addWidget(labelFor(this, QStringLiteral("Fac&ility:"), txtFacility), 1, 2);
    grid->addWidget(txtFacility, 1, 3);
    grid->addWidget(labelFor(this, QStringLiteral("&Password:"), txtPassword), 2, 0);
    grid->addWidget(txtPassword, 2, 1);
    grid->addWidget(chkRemember, 2, 2, 1, 2);
    grid->addWidget(labelFor(this, QStringLiteral("&CA file:"), txtCaFile), 3, 0);
    auto* caRow = new QHBoxLayout;
    caRow->addWidget(txtCaFile, 1);
    caRow->addWidget(btnBrowseCa);
    grid->addLayout(caRow, 3, 1, 1, 3);
    grid->addWidget(btnTest, 4, 0, 1, 2, Qt::AlignLeft);
    grid->addWidget(lblStatus, 5, 0, 1, 4);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);

    connect(btnBrowseCa, &QPushButton::clicked, this, &RegistryConnectionForm::browseCa);
    for (QLineEdit* edit : {txtEndpoint, txtUser})
        connect(edit, &QLineEdit::editingFinished, this, &RegistryConnectionForm::readPassword);
    readPassword();
}

void RegistryConnectionForm::readPassword()
{
    const QString endpoint = txtEndpoint->text(), user = txtUser->text();
    if (!chkRemember->isChecked() || endpoint.trimmed().isEmpty() || !txtPassword->text().isEmpty()) return;
    m_store.read(
        endpoint, user, [this, endpoint, user](const std::optional<QString>& password, const QString& problem) {
            // Only into an empty field, and only for the endpoint and user it was kept for.
            if (password && txtPassword->text().isEmpty() && txtEndpoint->text() == endpoint && txtUser->text() == user)
                txtPassword->setText(*password);
            if (!problem.isEmpty())
                setStatus(
                    QStringLiteral("The desktop's secret store cannot be reached; the password is not remembered. (")
                    + problem + QLatin1Char(')'));
        });
}

void RegistryConnectionForm::browseCa()
{
    const QString chosen =
        platform().OpenFileName(QStringLiteral("Choose the Registry's Certificate Authority"),
                                {QStringLiteral("Certificates (*.pem *.crt *.cer)"), QStringLiteral("All Files (*)")});
    if (!chosen.isEmpty()) txtCaFile->setText(QDir::toNativeSeparators(chosen));
}

std::optional<ConnectionSettings> RegistryConnectionForm::connectionSettings()
{
    QString problem;
    RegistryGateway* gateway = registryGateway();
    const auto endpoint = gateway ? gateway->parseEndpoint(txtEndpoint->text().trimmed(), &problem) : std::nullopt;
    if (!endpoint) {
        setStatus(problem.isEmpty() ? QStringLiteral("The endpoint is not one this program can reach.") : problem);
        txtEndpoint->setFocus();
        return std::nullopt;
    }
    ConnectionSettings settings;
    settings.endpoint = *endpoint;
    settings.credentials = {txtUser->text().trimmed(), txtPassword->text(), txtFacility->text().trimmed()};
    settings.tls.caFile = QDir::fromNativeSeparators(txtCaFile->text().trimmed());
    return settings;
}

void RegistryConnectionForm::remember()
{
    QSettings settings;
    settings.setValue(kEndpoint, txtEndpoint->text().trimmed());
    settings.setValue(kUser, txtUser->text().trimmed());
    settings.setValue(kFacility, txtFacility->text().trimmed());
    settings.setValue(kCaFile, txtCaFile->text().trimmed());
    settings.setValue(kRemember, chkRemember->isChecked());
    const QString endpoint = txtEndpoint->text(), user = txtUser->text();
    auto told = [this](const QString& problem) {
        if (!problem.isEmpty())
            setStatus(QStringLiteral("The password is not remembered: the desktop's secret store said: ") + problem);
    };
    if (chkRemember->isChecked() && !txtPassword->text().isEmpty())
        m_store.write(endpoint, user, txtPassword->text(), told);
    else if (!chkRemember->isChecked())
        m_store.forget(endpoint, user);
}

void RegistryConnectionForm::setStatus(const QString& text) { lblStatus->setText(text); }

void RegistryConnectionForm::setEditable(bool editable)
{
    for (QWidget* widget : std::initializer_list<QWidget*>{txtEndpoint, txtUser, txtFacility, txtPassword, chkRemember,
                                                           txtCaFile, btnBrowseCa, btnTest})
        widget->setEnabled(editable);
}

} // namespace marrowick
