#include "frmFetchFromRegistry.h"

#include "RegistryConnectionForm.h"
#include "RegistryGateway.h"
#include "mdlGlobals.h"

#include <QDir>
#include <QFormLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QLineEdit>
#include <QSettings>
#include <QVBoxLayout>

namespace marrowick {

namespace {
const QString kFlagField = QStringLiteral("registry/flagField");
} // namespace

frmFetchFromRegistry::frmFetchFromRegistry(QWidget* parent)
    : RegistryDialog(QStringLiteral("frmFetchFromRegistry"), QStringLiteral("Fetch from Registry"),
                     QStringLiteral("&Fetch"), parent)
{
    txtFlagField = new QLineEdit(QSettings().value(kFlagField).toString(), this);
    txtFlagField->setObjectName(QStringLiteral("txtFlagField"));
    txtFlagField->setPlaceholderText(QStringLiteral("e.g. OBX[PDFLAG]-5=Y; empty: every flag is N"));
    lblFlagProblem = new QLabel(this);
    lblFlagProblem->setObjectName(QStringLiteral("lblFlagProblem"));
    lblFlagProblem->setTextFormat(Qt::PlainText);
    lblFlagProblem->setWordWrap(true);
    auto* row = new QFormLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->addRow(QStringLiteral("Potential-duplicate f&lag field:"), txtFlagField);
    row->addRow(lblFlagProblem);
    extras->addLayout(row);
    // Said while it is typed, so that Fetch is not the first to tell.
    connect(txtFlagField, &QLineEdit::textChanged, this, [this] {
        std::optional<FlagField> flag;
        readFlagField(flag);
    });
    setTabOrder(form->btnTest, txtFlagField);
    fitToScreen();
}

bool frmFetchFromRegistry::readFlagField(std::optional<FlagField>& flag)
{
    flag.reset();
    lblFlagProblem->clear();
    const QString text = txtFlagField->text().trimmed();
    RegistryGateway* gateway = registryGateway();
    if (text.isEmpty() || !gateway) return true;
    QString problem;
    flag = gateway->parseFlagField(text, &problem);
    if (flag) return true;
    lblFlagProblem->setText(problem.isEmpty() ? QStringLiteral("Not a flag field, e.g. OBX[PDFLAG]-5=Y or PID-30=Y.")
                                              : problem);
    return false;
}

void frmFetchFromRegistry::run()
{
    RegistryGateway* gateway = registryGateway();
    std::optional<FlagField> flag;
    if (!readFlagField(flag)) {
        txtFlagField->setFocus();
        return;
    }
    const auto settings = form->connectionSettings();
    if (!settings || !gateway) return;
    form->remember();
    form->setStatus(QString()); // an earlier test's answer is not this run's
    QSettings().setValue(kFlagField, txtFlagField->text().trimmed());
    FetchOptions options;
    options.connection = *settings;
    options.facilities.single = settings->credentials.facility;
    options.flag = flag;
    FetchSummary summary;
    bool written = guarded(QStringLiteral("The results file was not written."), [&] {
        options.outputFile = gateway->defaultOutputFile(mdlGlobals::strDBPath);
        RegistryFetch job(options);
        job.onProgress = [this](const FetchProgress& at) {
            showProgress(at.done, at.total,
                         QStringLiteral("Record %1 (%2 of %3)").arg(at.recordId).arg(at.done).arg(at.total));
        };
        job.cancelled = [this] { return cancelRequested(); };
        job.pause = [this](int ms) { pauseFor(ms); };
        lblProgress->setText(QStringLiteral("Querying\u2026"));
        barProgress->setValue(0); // not the last run's 100% beside this run's failure
        summary = gateway->fetch(job);
    });
    // A cancelled fetch has not asked for every record: its file is not the registry's whole answer.
    if (!written || cancelRequested()) {
        if (written) lblProgress->setText(QStringLiteral("Cancelled: no results file was taken."));
        return;
    }
    emit fetched(QDir::toNativeSeparators(summary.outputFile.isEmpty() ? options.outputFile : summary.outputFile));
    accept();
}

} // namespace marrowick
