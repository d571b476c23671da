#pragma once
#include "Page.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QVBoxLayout;

namespace marrowick {

// The wizard page pattern: title label, page text, decorative line and the
// Back, Next and Exit buttons.
class WizardPage : public Page {
    Q_OBJECT
public:
    WizardPage(const QString& name, const QString& caption, const QString& title, const QString& textBoxName);

    QLabel* lblTitle;
    QPlainTextEdit* textBox;
    QPushButton* btnBack;
    QPushButton* btnNext;
    QPushButton* btnExit;

protected:
    void setPageText(const QString& text);
    // Where a page adds controls between its text and the line.
    QVBoxLayout* body;
};

} // namespace marrowick
