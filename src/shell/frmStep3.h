#pragma once
#include "WizardPage.h"

#include <functional>

class QLineEdit;

namespace marrowick {

// Step 3: names the results file, then loads and analyses it.
class frmStep3 : public WizardPage {
    Q_OBJECT
public:
    frmStep3();

    QLineEdit* txtFileName;
    QPushButton* btnBrowse;

    // The file-open dialog (cdlgPickFile): returns the chosen path, or empty
    // when cancelled. Replaceable so that tests can answer it.
    using FilePicker = std::function<QString(QWidget* parent, const QStringList& filters)>;
    static FilePicker& cdlgPickFile();
    static const QStringList& fileFilters();

private:
    void Browse();
    void Next();

    QString m_lastChosen; // the dialog keeps its last choice, empty if none
};

} // namespace marrowick
