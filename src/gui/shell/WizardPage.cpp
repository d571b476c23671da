#include "WizardPage.h"

#include "PageTexts.h"
#include "database/DbError.h"
#include "export/DeckExport.h"
#include "frmStep3.h"
#include "mdlGlobals.h"
#include "platform/OutputFile.h"
#include "platform/Platform.h"

#include <QDate>
#include <QDir>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace marrowick {

WizardPage::WizardPage(const QString& name, const QString& caption, const QString& title, const QString& textBoxName)
    : Page(QSize(620, 460))
{
    setObjectName(name);
    setWindowTitle(caption);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 18, 24, 16);
    layout->setSpacing(10);

    lblTitle = new QLabel(title, this);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    QFont titleFont = lblTitle->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.6);
    titleFont.setBold(true);
    lblTitle->setFont(titleFont);
    layout->addWidget(lblTitle);

    textBox = new QPlainTextEdit(this);
    textBox->setObjectName(textBoxName);
    textBox->setReadOnly(true);
    textBox->setFrameShape(QFrame::NoFrame);
    textBox->setBackgroundVisible(false);
    QPalette palette = textBox->palette();
    palette.setColor(QPalette::Base, this->palette().color(QPalette::Window));
    textBox->setPalette(palette);
    layout->addWidget(textBox, 1);

    body = new QVBoxLayout;
    layout->addLayout(body);

    Line1 = new QFrame(this);
    Line1->setObjectName(QStringLiteral("Line1"));
    Line1->setFrameShape(QFrame::HLine);
    Line1->setFrameShadow(QFrame::Sunken);
    layout->addWidget(Line1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    btnBack = makeButton(QStringLiteral("btnBack"), QStringLiteral("&Back"));
    btnNext = makeButton(QStringLiteral("btnNext"), QStringLiteral("&Next"));
    btnExit = makeButton(QStringLiteral("btnExit"), QStringLiteral("&Exit"));
    for (QPushButton* button : {btnBack, btnNext, btnExit})
        buttons->addWidget(button);
    layout->addLayout(buttons);

    connect(btnExit, &QPushButton::clicked, this, [] { mdlGlobals::ConfirmExit(); });
}

void WizardPage::setPageText(const QString& text)
{
    // The text box shows lines.
    textBox->setPlainText(QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
}

frmMain::frmMain() : WizardPage(QStringLiteral("frmMain"), QStringLiteral("Marrowick"), QStringLiteral("Marrowick "), QStringLiteral("txtDescription"))
{
    Label1 = new QLabel(QStringLiteral("6/25/2002"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    body->addWidget(Label1, 0, Qt::AlignRight);
    btnBack->setEnabled(false);
    connect(btnNext, &QPushButton::clicked, this, [this] { goTo<frmStep1>(); });

    setPageText(PageTexts::Welcome());
    if (!mdlGlobals::DatabaseIsOpen() && !mdlGlobals::OpenDatabase())
        platform().EndProgram(3);
}

frmStep1::frmStep1() : WizardPage(QStringLiteral("frmStep1"), QStringLiteral("Step 1"), QStringLiteral("Step 1."), QStringLiteral("txtStep1"))
{
    connect(btnBack, &QPushButton::clicked, this, [this] { goTo<frmMain>(); });
    connect(btnNext, &QPushButton::clicked, this, [this] { goTo<frmStep2>(); });
    btnSaveTestData = makeButton(QStringLiteral("btnSaveTestData"), QStringLiteral("&Save test data\u2026"));
    lblSaved = new QLabel(this);
    lblSaved->setObjectName(QStringLiteral("lblSaved"));
    lblSaved->setTextFormat(Qt::PlainText); // a path
    auto* row = new QHBoxLayout;
    row->addWidget(btnSaveTestData);
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
            QStringLiteral("Save Test Data"), QStringLiteral("DupTestData %1.txt").arg(QDate::currentDate().toString(Qt::ISODate)),
            QStringLiteral("Test data file (*.txt);;CSV with a header row (*.csv);;HL7 2.5.1 VXU batch (*.hl7)"));
        if (path.isEmpty())
            return;
        BusyPointer busy;
        lblSaved->clear();
        writeOutputOrRefuse(path, exportDeck({deckFormatOfFile(path)}),
                            QStringLiteral("The test data could not be saved to ") + path);
        lblSaved->setText(QStringLiteral("Saved to ") + QDir::toNativeSeparators(path));
    } catch (...) {
        showCurrentFailure(QStringLiteral("The test data was not saved."));
    }
}

frmStep2::frmStep2() : WizardPage(QStringLiteral("frmStep2"), QStringLiteral("Step 2"), QStringLiteral("Step 2."), QStringLiteral("txtStep2"))
{
    connect(btnBack, &QPushButton::clicked, this, [this] { goTo<frmStep1>(); });
    connect(btnNext, &QPushButton::clicked, this, [this] { goTo<frmStep3>(); });
    setPageText(PageTexts::Step2());
}

} // namespace marrowick
