#include "RegistryDialog.h"

#include "Page.h"
#include "RegistryConnectionForm.h"
#include "RegistryGateway.h"
#include "database/DbError.h"
#include "registry/RegistryFault.h"

#include <QEventLoop>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace marrowick {

RegistryDialog::RegistryDialog(const QString& objectName, const QString& title, const QString& runCaption,
                               QWidget* parent)
    : QDialog(parent)
{
    setObjectName(objectName);
    setWindowTitle(title);
    setModal(true);
    form = new RegistryConnectionForm(this);
    extras = new QVBoxLayout;
    barProgress = new QProgressBar(this);
    barProgress->setObjectName(QStringLiteral("barProgress"));
    barProgress->setRange(0, 1);
    barProgress->setValue(0);
    lblProgress = new QLabel(this);
    lblProgress->setObjectName(QStringLiteral("lblProgress"));
    lblProgress->setTextFormat(Qt::PlainText);
    lblProgress->setWordWrap(true);
    btnRun = new QPushButton(runCaption, this);
    btnRun->setObjectName(QStringLiteral("btnRun"));
    btnRun->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("Ca&ncel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setEnabled(false);
    btnClose = new QPushButton(QStringLiteral("Cl&ose"), this);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    for (QPushButton* button : {btnCancel, btnClose}) button->setAutoDefault(false);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(form);
    layout->addLayout(extras);
    layout->addWidget(barProgress);
    layout->addWidget(lblProgress);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (QPushButton* button : {btnRun, btnCancel, btnClose}) buttons->addWidget(button);
    layout->addLayout(buttons);

    connect(form->btnTest, &QPushButton::clicked, this, &RegistryDialog::testConnection);
    connect(btnRun, &QPushButton::clicked, this, [this] { run(); });
    connect(btnCancel, &QPushButton::clicked, this, [this] {
        m_cancel = true;
        lblProgress->setText(QStringLiteral("Stopping after the record in flight\u2026"));
    });
    connect(btnClose, &QPushButton::clicked, this, &RegistryDialog::reject);
}

void RegistryDialog::reject()
{
    if (!m_busy) {
        QDialog::reject();
        return;
    }
    // The work is still on the stack: it stops at the next record and the
    // dialog closes when it has returned.
    m_cancel = true;
    m_closeAfter = true;
    lblProgress->setText(QStringLiteral("Stopping after the record in flight\u2026"));
}

namespace {
// Inside a catch block: the words of what was caught.
QString currentFailureText()
{
    try {
        throw;
    } catch (const RegistryFault& fault) {
        return fault.message();
    } catch (const DbError& error) {
        return error.numbered();
    } catch (const std::exception& error) {
        return QString::fromLocal8Bit(error.what());
    } catch (...) {
        return QStringLiteral("An unexpected error occurred.");
    }
}

// A SOAP connectivityTest carries no user or password: its answer says
// nothing of them. Kept short: a second line is clipped on a small screen.
QString credentialsNote(const ConnectionSettings& settings)
{
    if (settings.endpoint.transport != RegistryEndpoint::Transport::Soap) return {};
    return QStringLiteral(" (the password is checked at Send and Fetch)");
}
} // namespace

bool RegistryDialog::guarded(const QString& consequence, const std::function<void()>& work, QString* failure)
{
    if (m_busy) return false;
    m_busy = true;
    m_cancel = false;
    // Where the keyboard was goes dark while the work runs: Cancel has it
    // meanwhile, and it comes back afterwards.
    const QPointer<QWidget> focused = focusWidget();
    btnCancel->setEnabled(true);
    btnCancel->setFocus();
    form->setEditable(false);
    btnRun->setEnabled(false);
    bool done = true;
    try {
        work();
    } catch (...) {
        done = false;
        if (failure) {
            *failure = currentFailureText();
        } else {
            // "Sending…" must not outlive the work: the line says how it ended.
            lblProgress->setText(consequence);
            showCurrentFailure(consequence);
        }
    }
    m_busy = false;
    form->setEditable(true);
    btnRun->setEnabled(true);
    if (focused) focused->setFocus();
    btnCancel->setEnabled(false);
    if (m_closeAfter) QDialog::reject();
    return done;
}

void RegistryDialog::testConnection()
{
    const auto settings = form->connectionSettings();
    RegistryGateway* gateway = registryGateway();
    if (!settings || !gateway) return;
    form->remember();
    form->setStatus(QStringLiteral("Connecting\u2026"));
    QString answer, failure;
    // Told in the dialog, not in a box: a test that fails is an answer too.
    if (guarded(
            {}, [&] { answer = gateway->test(*settings); }, &failure))
        form->setStatus(QStringLiteral("The registry answered: ") + answer + credentialsNote(*settings));
    else
        form->setStatus(QStringLiteral("The connection failed: ") + failure);
}

void RegistryDialog::pauseFor(int ms)
{
    if (ms <= 0) return;
    QEventLoop wait;
    QTimer::singleShot(ms, &wait, &QEventLoop::quit);
    wait.exec();
}

void RegistryDialog::showProgress(int done, int total, const QString& text)
{
    barProgress->setRange(0, qMax(total, 1));
    barProgress->setValue(qBound(0, done, qMax(total, 1)));
    if (!m_cancel) lblProgress->setText(text);
}

void RegistryDialog::fitToScreen()
{
    adjustSize();
    // Wide enough for an endpoint URL and the hints; fitOnScreen narrows it where the screen is not.
    resize(qMax(width(), 600), height());
    pages::place(this);
}

} // namespace marrowick
