#pragma once
#include "ReportPage.h"

class QPushButton;
class QTableView;

namespace marrowick {

class ReportModel;

// Shows the report chosen on the selection page in a read-only grid.
class frmRep1 : public ReportPage {
    Q_OBJECT
public:
    // Runs the loader of the selected report; throws DbError when its query fails.
    frmRep1();

    // The open result set of the current report; null when no report is loaded.
    ReportModel* resultSet() const { return m_model; }
    // Copies the selected cells as tab-separated text.
    void copySelection() const;

    QTableView* DataGrid1;
    QPushButton* btnPrint;

    // Binds the report's page design to this result set and opens its
    // preview, hiding the viewer until the preview ends.
    void Print();

private:
    void load(int index);

    ReportModel* m_model = nullptr;
};

} // namespace marrowick
