#pragma once
#include "WizardPage.h"

namespace marrowick {

// Step 1: the test data file, and a copy of it saved for the registry to load.
class frmStep1 : public WizardPage {
    Q_OBJECT
public:
    frmStep1();
    // Writes the test deck as text, CSV or HL7, by the extension chosen.
    QPushButton* btnSaveTestData;
    // Sends the deck to the registry's test interface; only when the program
    // can reach one (null otherwise).
    QPushButton* btnSendToRegistry = nullptr;
    // Where the last save went.
    QLabel* lblSaved;

private:
    void SaveTestData();
    void SendToRegistry();
};

} // namespace marrowick
