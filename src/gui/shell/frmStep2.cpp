#include "frmStep2.h"

#include "PageTexts.h"
#include "frmStep1.h"
#include "frmStep3.h"

#include <QPushButton>

namespace marrowick {

frmStep2::frmStep2()
    : WizardPage(QStringLiteral("frmStep2"), QStringLiteral("Step 2"), QStringLiteral("Step 2."),
                 QStringLiteral("txtStep2"))
{
    connect(btnBack, &QPushButton::clicked, this, [this] { goTo<frmStep1>(); });
    connect(btnNext, &QPushButton::clicked, this, [this] { goTo<frmStep3>(); });
    setPageText(PageTexts::Step2());
}

} // namespace marrowick
