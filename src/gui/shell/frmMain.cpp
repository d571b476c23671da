#include "frmMain.h"

#include "PageTexts.h"
#include "frmStep1.h"
#include "mdlGlobals.h"
#include "platform/Platform.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace marrowick {

frmMain::frmMain()
    : WizardPage(QStringLiteral("frmMain"), QStringLiteral("Marrowick"), QStringLiteral("Marrowick "),
                 QStringLiteral("txtDescription"))
{
    Label1 = new QLabel(QStringLiteral("6/25/2002"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    body->addWidget(Label1, 0, Qt::AlignRight);
    btnBack->setEnabled(false);
    connect(btnNext, &QPushButton::clicked, this, [this] { goTo<frmStep1>(); });

    setPageText(PageTexts::Welcome());
    if (!mdlGlobals::DatabaseIsOpen() && !mdlGlobals::OpenDatabase()) platform().EndProgram(3);
}

} // namespace marrowick
