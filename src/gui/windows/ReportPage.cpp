#include "ReportPage.h"

#include "shell/mdlGlobals.h"

#include <QBoxLayout>
#include <QPushButton>

namespace marrowick {

ReportPage::ReportPage(QSize size) : Page(size)
{
    btnBack = makeButton(QStringLiteral("btnBack"), QStringLiteral("&Back"));
    btnNext = makeButton(QStringLiteral("btnNext"), QStringLiteral("&Next"));
    btnNext->setEnabled(false);
    btnExit = makeButton(QStringLiteral("btnExit"), QStringLiteral("&Exit"));
    connect(btnExit, &QPushButton::clicked, this, [] { mdlGlobals::ConfirmExit(); });
}

void ReportPage::addButtonRow(QBoxLayout* layout, const QList<QPushButton*>& leading)
{
    auto* buttons = new QHBoxLayout;
    for (QPushButton* button : leading) buttons->addWidget(button);
    buttons->addStretch(1);
    for (QPushButton* button : {btnBack, btnNext, btnExit}) buttons->addWidget(button);
    layout->addLayout(buttons);
}

} // namespace marrowick
