#pragma once
#include "WizardPage.h"

namespace marrowick {

// The welcome page: what the program does; it opens the database.
class frmMain : public WizardPage {
    Q_OBJECT
public:
    frmMain();
    QLabel* Label1;
};

} // namespace marrowick
