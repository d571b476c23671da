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
    // Queries the records back from the registry's test interface and names
    // the results file written; only when the program can reach one.
    QPushButton* btnFetchFromRegistry = nullptr;

    // The filters of the file-open dialog (cdlgPickFile), "All Files" first.
    static const QStringList& fileFilters();

private:
    void Browse();
    void FetchFromRegistry();
    void Next();
};

} // namespace marrowick
