#pragma once
#include "WizardPage.h"

namespace marrowick {

// Step 2: what to do once the registry has de-duplicated the test records.
class frmStep2 : public WizardPage {
    Q_OBJECT
public:
    frmStep2();
};

} // namespace marrowick
