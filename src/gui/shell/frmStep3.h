#pragma once
#include "WizardPage.h"

class QLineEdit;

namespace marrowick {

// Step 3: names the results file, then loads and analyses it.
class frmStep3 : public WizardPage {
    Q_OBJECT
public:
    frmStep3();

    QLineEdit* txtFileName;
    QPushButton* btnBrowse;

    // The filters of the file-open dialog (cdlgPickFile), "All Files" first.
    static const QStringList& fileFilters();

private:
    void Browse();
    void Next();
};

} // namespace marrowick
