#include "WizardPage.h"

#include "mdlGlobals.h"

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

    auto* line = new QFrame(this);
    line->setObjectName(QStringLiteral("Line1"));
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    layout->addWidget(line);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    btnBack = makeButton(QStringLiteral("btnBack"), QStringLiteral("&Back"));
    btnNext = makeButton(QStringLiteral("btnNext"), QStringLiteral("&Next"));
    btnExit = makeButton(QStringLiteral("btnExit"), QStringLiteral("&Exit"));
    for (QPushButton* button : {btnBack, btnNext, btnExit}) buttons->addWidget(button);
    layout->addLayout(buttons);

    connect(btnExit, &QPushButton::clicked, this, [] { mdlGlobals::ConfirmExit(); });
}

void WizardPage::setPageText(const QString& text)
{
    // The text box shows lines.
    textBox->setPlainText(QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
}

} // namespace marrowick
