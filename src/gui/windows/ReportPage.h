#pragma once
#include "shell/Page.h"

class QBoxLayout;
class QPushButton;

namespace marrowick {

// A page of the report stage: its own leading button, then Back, a Next that
// stays disabled (nothing follows) and Exit.
class ReportPage : public Page {
    Q_OBJECT
public:
    QPushButton* btnBack;
    QPushButton* btnNext;
    QPushButton* btnExit;

protected:
    explicit ReportPage(QSize size);
    // Adds the button row under the page's content, the leading buttons first.
    void addButtonRow(QBoxLayout* layout, const QList<QPushButton*>& leading);
};

} // namespace marrowick
