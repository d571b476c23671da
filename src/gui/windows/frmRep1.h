#pragma once
#include "ReportPage.h"

class QLabel;
class QPushButton;
class QTableView;

namespace marrowick {

class ReportModel;
struct ReportDef;

// Shows one report in a read-only grid.
class frmRep1 : public ReportPage {
    Q_OBJECT
public:
    // Runs the report's query; throws DbError when it fails.
    explicit frmRep1(const ReportDef& report);

    // Copies the selected cells as tab-separated text.
    void copySelection() const;

    QTableView* DataGrid1;
    QPushButton* btnPrint;
    // Which evaluation the rows come from.
    QLabel* lblRun;
    // Over the grid when the report has no rows.
    QLabel* lblEmpty;

    // Binds the report's page design to this result set and opens its
    // preview, hiding the viewer until the preview ends.
    void Print();

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void applyColumnWidths();

    const ReportDef& m_report;
    ReportModel* m_model;
    int m_designedWidth = 0; // the grid's width at the design's size
};

} // namespace marrowick
