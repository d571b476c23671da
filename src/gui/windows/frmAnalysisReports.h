#pragma once
#include "ReportPage.h"

class QLabel;
class QListWidget;
class QPushButton;

namespace marrowick {

// The last page of the wizard: the eight reports, one chosen at a time.
class frmAnalysisReports : public ReportPage {
    Q_OBJECT
public:
    frmAnalysisReports();
    // Lets step 3 lead on to this page by its name.
    static void enroll();

    // The report index: the position of the selected item, -1 when none.
    int reportIndex() const;

    QLabel* Label1;
    QListWidget* lstReports;
    QPushButton* btnView;
    // Beyond the reports: the newest run's scores, charts and comparisons.
    QPushButton* cmdDashboard;
    // Which evaluation the reports show: number, file and time.
    QLabel* lblRun;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void View();
};

} // namespace marrowick
