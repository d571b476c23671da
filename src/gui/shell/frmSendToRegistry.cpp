#include "frmSendToRegistry.h"

#include "RegistryConnectionForm.h"
#include "RegistryGateway.h"

#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace marrowick {

frmSendToRegistry::frmSendToRegistry(QWidget* parent)
    : RegistryDialog(QStringLiteral("frmSendToRegistry"), QStringLiteral("Send to Registry"), QStringLiteral("&Send"),
                     parent)
{
    lblRejected = new QLabel(QStringLiteral("&Rejected by the registry:"), this);
    lblRejected->setObjectName(QStringLiteral("lblRejected"));
    tblRejected = new QTableWidget(0, 3, this);
    tblRejected->setObjectName(QStringLiteral("tblRejected"));
    tblRejected->setHorizontalHeaderLabels(
        {QStringLiteral("Record"), QStringLiteral("Code"), QStringLiteral("The registry's words")});
    tblRejected->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tblRejected->setSelectionBehavior(QAbstractItemView::SelectRows);
    tblRejected->setWordWrap(true);
    tblRejected->verticalHeader()->hide();
    tblRejected->horizontalHeader()->setStretchLastSection(true);
    tblRejected->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    tblRejected->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    tblRejected->setMinimumHeight(90);
    // Rows measured before the dialog is laid out wrap in a narrow column and
    // stay twice too tall: they are measured again whenever the words' column changes.
    connect(tblRejected->horizontalHeader(), &QHeaderView::sectionResized, tblRejected,
            [table = tblRejected](int column) {
                if (column == 2) table->resizeRowsToContents();
            });
    lblRejected->setBuddy(tblRejected);
    setTabOrder(form->btnTest, tblRejected); // where it stands: between the form and Send
    extras->addWidget(lblRejected);
    extras->addWidget(tblRejected);
    // Shown once there is something to list: a small screen needs the room.
    lblRejected->hide();
    tblRejected->hide();
    fitToScreen();
    try {
        if (RegistryGateway* gateway = registryGateway()) showRejected(gateway->rejections());
    } catch (...) {
        // Only a list to look at: the send itself will tell a database that fails.
        form->setStatus(QStringLiteral("The records rejected before cannot be listed."));
    }
}

void frmSendToRegistry::run()
{
    RegistryGateway* gateway = registryGateway();
    const auto settings = form->connectionSettings();
    if (!settings || !gateway) return;
    form->remember();
    form->setStatus(QString()); // an earlier test's answer is not this run's
    SendOptions options;
    options.connection = *settings;
    options.facilities.single = settings->credentials.facility;
    RegistrySend job(options);
    job.onProgress = [this](const SendProgress& at) {
        showProgress(
            at.done, at.total,
            QStringLiteral("Record %1: %2 (%3 of %4)").arg(at.recordId).arg(at.ackCode).arg(at.done).arg(at.total));
    };
    job.cancelled = [this] { return cancelRequested(); };
    job.pause = [this](int ms) { pauseFor(ms); };
    lblProgress->setText(QStringLiteral("Sending\u2026"));
    barProgress->setValue(0); // not the last run's 100% beside this run's failure
    SendSummary summary;
    const bool sent = guarded(QStringLiteral("The send stopped. Every record the registry acknowledged is kept; "
                                             "Send again goes on where it stopped."),
                              [&] { summary = gateway->send(job); });
    if (sent) showSummary(summary);
}

void frmSendToRegistry::showSummary(const SendSummary& summary)
{
    QString text = QStringLiteral("%1 sent, %2 sent before; %3 taken in, %4 rejected.")
                       .arg(summary.sent)
                       .arg(summary.skipped)
                       .arg(summary.accepted)
                       .arg(summary.rejected.size());
    if (cancelRequested()) text = QStringLiteral("Cancelled: ") + text + QStringLiteral(" Send again to go on.");
    lblProgress->setText(text);
    showRejected(summary.rejected);
}

void frmSendToRegistry::showRejected(const QList<RejectedRecord>& rejected)
{
    tblRejected->setRowCount(int(rejected.size()));
    for (int row = 0; row < rejected.size(); ++row) {
        const RejectedRecord& record = rejected.at(row);
        auto* id = new QTableWidgetItem;
        id->setData(Qt::DisplayRole, record.recordId);
        tblRejected->setItem(row, 0, id);
        tblRejected->setItem(row, 1, new QTableWidgetItem(record.ackCode));
        tblRejected->setItem(row, 2, new QTableWidgetItem(record.errors));
    }
    tblRejected->resizeRowsToContents();
    const bool any = !rejected.isEmpty();
    if (any == tblRejected->isHidden()) {
        lblRejected->setVisible(any);
        tblRejected->setVisible(any);
        fitToScreen();
    }
}

} // namespace marrowick
