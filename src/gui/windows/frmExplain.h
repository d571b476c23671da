#pragma once
#include "DataWindow.h"

class QLabel;
class QTableView;

namespace marrowick {

class ExplanationModel;

// One test record's explanation: the verdict, and its group side by side with
// the registry rows found for it. Opens beside the viewer without blocking it.
class frmExplain : public DataWindow {
    Q_OBJECT
public:
    // Shows the explanation of that record; an "Error" message when it cannot be read.
    static frmExplain* open(qint64 id, QWidget* near = nullptr);
    ~frmExplain() override;

    void Print();
    // Through the same renderer as the reports; false after its message. Empty path: ask.
    bool ExportPdf(QString path = QString());

    QLabel* lblHeading;
    QLabel* lblVerdict;
    QTableView* grdExplain;

public slots:
    // The same record, as the newest evaluation left it.
    void refresh();

private:
    explicit frmExplain(qint64 id);
    void showModel(ExplanationModel* model);
    const qint64 m_id;
    ExplanationModel* m_model;
};

} // namespace marrowick
