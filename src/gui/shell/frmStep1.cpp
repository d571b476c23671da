#include "frmStep1.h"

#include "PageTexts.h"
#include "RegistryGateway.h"
#include "frmSendToRegistry.h"
#include "database/DbError.h"
#include "export/DeckExport.h"
#include "frmMain.h"
#include "frmStep2.h"
#include "platform/BusyPointer.h"
#include "platform/OutputFile.h"

#include <QDate>
#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace marrowick {

frmStep1::frmStep1()
    : WizardPage(QStringLiteral("frmStep1"), QStringLiteral("Step 1"), QStringLiteral("Step 1."),
                 QStringLiteral("txtStep1"))
{
    connect(btnBack, &QPushButton::clicked, this, [this] { goTo<frmMain>(); });
    connect(btnNext, &QPushButton::clicked, this, [this] { goTo<frmStep2>(); });
    btnSaveTestData = makeButton(QStringLiteral("btnSaveTestData"), QStringLiteral("&Save test data\u2026"));
    lblSaved = new QLabel(this);
    lblSaved->setObjectName(QStringLiteral("lblSaved"));
    lblSaved->setTextFormat(Qt::PlainText); // a path
    auto* row = new QHBoxLayout;
    row->addWidget(btnSaveTestData);
    if (registryGateway()) {
        btnSendToRegistry = makeButton(QStringLiteral("btnSendToRegistry"), QStringLiteral("Send to &registry\u2026"));
        row->addWidget(btnSendToRegistry);
        connect(btnSendToRegistry, &QPushButton::clicked, this, &frmStep1::SendToRegistry);
    }
    row->addWidget(lblSaved, 1);
    body->addLayout(row);
    connect(btnSaveTestData, &QPushButton::clicked, this, &frmStep1::SaveTestData);
    setPageText(PageTexts::Step1());
}

void frmStep1::SaveTestData()
{
    try {
        // A name alone: the dialog opens in the folder last saved to. Not the
        // shipped file's name, which the program's folder holds.
        const QString path = platform().SaveFileName(
            QStringLiteral("Save Test Data"),
            QStringLiteral("DupTestData %1.txt").arg(QDate::currentDate().toString(Qt::ISODate)),
            QStringLiteral("Test data file (*.txt);;CSV with a header row (*.csv);;HL7 2.5.1 VXU batch (*.hl7)"));
        if (path.isEmpty()) return;
        BusyPointer busy;
        lblSaved->clear();
        writeOutputOrRefuse(path, exportDeck({deckFormatOfFile(path)}),
                            QStringLiteral("The test data could not be saved to ") + path);
        lblSaved->setText(QStringLiteral("Saved to ") + QDir::toNativeSeparators(path));
    } catch (...) {
        showCurrentFailure(QStringLiteral("The test data was not saved."));
    }
}

void frmStep1::SendToRegistry()
{
    auto* dialog = new frmSendToRegistry(this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
}

} // namespace marrowick
