#include "frmStep3.h"

#include "PageTexts.h"
#include "RegistryGateway.h"
#include "frmFetchFromRegistry.h"
#include "analysis/EvaluationRun.h"
#include "database/DbError.h"
#include "frmProcessing.h"
#include "frmStep2.h"
#include "platform/Platform.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace marrowick {

namespace {
const QString kNewNameMissing = QStringLiteral("New File Name Missing");
const QString kInvalidName = QStringLiteral("Invalid File Name");
} // namespace

const QStringList& frmStep3::fileFilters()
{
    // "All Files" comes first and is preselected; on this platform "*" is every file.
    static const QStringList filters{QStringLiteral("All Files (*)"), QStringLiteral("Text Files (*.txt)")};
    return filters;
}

frmStep3::frmStep3()
    : WizardPage(QStringLiteral("frmStep3"), QStringLiteral("Step 3"), QStringLiteral("Step 3."),
                 QStringLiteral("txtStep3"))
{
    auto* row = new QHBoxLayout;
    auto* label = new QLabel(QStringLiteral("Results &file:"), this);
    txtFileName = new QLineEdit(this);
    txtFileName->setObjectName(QStringLiteral("txtFileName"));
    label->setBuddy(txtFileName);
    btnBrowse = makeButton(QStringLiteral("btnBrowse"), QStringLiteral("Bro&wse"));
    row->addWidget(label);
    row->addWidget(txtFileName, 1);
    row->addWidget(btnBrowse);
    if (registryGateway()) {
        btnFetchFromRegistry =
            makeButton(QStringLiteral("btnFetchFromRegistry"), QStringLiteral("Fetch from &registry\u2026"));
        row->addWidget(btnFetchFromRegistry);
        connect(btnFetchFromRegistry, &QPushButton::clicked, this, &frmStep3::FetchFromRegistry);
    }
    body->addLayout(row);

    connect(btnBack, &QPushButton::clicked, this, [this] { goTo<frmStep2>(); });
    connect(btnBrowse, &QPushButton::clicked, this, &frmStep3::Browse);
    connect(btnNext, &QPushButton::clicked, this, &frmStep3::Next);
    connect(txtFileName, &QLineEdit::returnPressed, this, [this] {
        if (btnNext->isEnabled()) Next();
    });
    setPageText(PageTexts::Step3());
    // What is typed on arriving goes into the file name.
    txtFileName->setFocus();
}

void frmStep3::Browse()
{
    // A cancelled dialog leaves what the user typed.
    const QString chosen = platform().OpenFileName(QStringLiteral("Choose the Results File"), fileFilters());
    if (!chosen.isEmpty()) txtFileName->setText(chosen);
}

void frmStep3::FetchFromRegistry()
{
    auto* dialog = new frmFetchFromRegistry(this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &frmFetchFromRegistry::fetched, txtFileName, &QLineEdit::setText);
    dialog->open();
}

void frmStep3::Next()
{
    const QString name = txtFileName->text();
    struct Arrow {
        ~Arrow() { platform().SetBusyPointer(false); }
    } arrowAtEnd;

    try {
        if (name.isEmpty() || name.trimmed().isEmpty() || !QFileInfo(name).isFile()) {
            const bool blank = name.isEmpty();
            if (EvaluationRun::HasPreviousLoad()) {
                const QString prompt = blank ? QStringLiteral("You have not specified a file name. Do you wish to use "
                                                              "the data loaded in the previous evaluation?")
                                             : QStringLiteral("You have not specified a valid file name. Do you wish "
                                                              "to use the data loaded in the previous evaluation?");
                if (platform().MsgBox(blank ? kNewNameMissing : kInvalidName, prompt, MsgIcon::Exclamation,
                                      MsgButtons::YesNo)
                    != MsgResult::Yes)
                    return;
            } else {
                if (blank)
                    platform().MsgBox(EvaluationRun::kFileNameMissingTitle, EvaluationRun::kFileNameMissingPrompt,
                                      MsgIcon::Exclamation, MsgButtons::Ok);
                else
                    platform().MsgBox(kInvalidName,
                                      QStringLiteral("File does not exist. Please specify a valid filename."),
                                      MsgIcon::Exclamation, MsgButtons::Ok);
                return;
            }
        } else {
            for (QPushButton* button : {btnNext, btnBack, btnBrowse, btnFetchFromRegistry})
                if (button) button->setEnabled(false);
            struct Restore {
                frmStep3* page;
                ~Restore()
                {
                    frmProcessing::Unload();
                    for (QPushButton* button :
                         {page->btnNext, page->btnBack, page->btnBrowse, page->btnFetchFromRegistry})
                        if (button) button->setEnabled(true);
                }
            } restore{this};
            EvaluationRun::LoadAndAnalyze(name, [this] {
                frmProcessing* progress = frmProcessing::instance();
                // A dialog of this page stays above it.
                progress->setParent(this, progress->windowFlags());
                pages::place(progress);
                progress->show();
                progress->raise();
                progress->ResetProgressBar();
            });
        }

        // Explanations, lists and the dashboard left open show the new evaluation, not the old one.
        pages::refreshAll();
        if (EvaluationRun::MostlyMissing()
            && platform().MsgBox(EvaluationRun::kMostlyMissingTitle, EvaluationRun::kMostlyMissingPrompt,
                                 MsgIcon::Exclamation, MsgButtons::OkCancel)
                   != MsgResult::Ok)
            return;
    } catch (...) {
        showCurrentFailure(
            QStringLiteral("The evaluation could not be completed; the previous evaluation is unchanged."));
        return;
    }
    goTo(QStringLiteral("frmAnalysisReports"));
}

} // namespace marrowick
