#pragma once
#include "DataWindow.h"
#include "history/RunHistory.h"

#include <QPointer>

class QChart;
class QChartView;
class QComboBox;
class QLabel;
class QLayout;
class QPagedPaintDevice;
class QPushButton;
class QStandardItemModel;
class QStringListModel;
class QTabWidget;
class QTableView;

namespace marrowick {

class ReportPreview;

// The newest saved run at a glance: its overall scores with their intervals,
// the scores per problem type and per kind of look-alike as bar charts, the
// trend across every run, and what changed since any earlier run. One window,
// beside the report pages, never blocking them.
class frmDashboard : public DataWindow {
    Q_OBJECT
public:
    // The dashboard on the newest run, raised if it is open already; a message
    // instead when no evaluation has been saved yet.
    static frmDashboard* open(QWidget* near = nullptr);
    ~frmDashboard() override;

    qint64 run() const { return m_run.run; }
    // Compares the run with an earlier one, as choosing it in cboCompare does; none: no comparison.
    void compareWith(std::optional<qint64> earlier);
    const std::optional<RunComparison>& comparison() const { return m_comparison; }
    void Print();
    // Through the same painter as the preview; false after its message. Empty path: ask.
    bool ExportPdf(QString path = QString());

    QLabel* lblScores;
    QComboBox* cboCompare;
    QTabWidget* tabs;
    QChartView* chtSensitivity;
    QChartView* chtSpecificity;
    QChartView* chtTrend;
    QLabel* lblComparison;
    QTableView* grdFigures;
    QLabel* lblRecords;
    QTableView* grdRecords;
    // Narrow the changed records: worse, better or neutral; one outcome.
    QComboBox* cboChange;
    QComboBox* cboOutcome;

public slots:
    // The newest run, after an evaluation.
    void refresh();

private:
    frmDashboard();
    QLayout* scoresRow();
    void buildTabs();
    QWidget* chartsTab();
    QWidget* comparisonTab();
    void connectActions();
    // Shows that run, afresh. Throws DbError.
    void load(qint64 run);
    bool paint(QPagedPaintDevice& device, int fromPage, int toPage) const;
    QStringList scoreLines() const;

    SavedRun m_run;
    std::vector<Figure> m_figures;
    std::vector<SavedRun> m_runs;
    std::vector<history::TrendPoint> m_trend; // the last hundred runs
    QStringListModel* m_choices;              // of cboCompare: no comparison, then the earlier runs, newest first
    std::vector<qint64> m_compareRuns;        // their runs, 0 for none
    std::optional<RunComparison> m_comparison;
    QStandardItemModel* m_figureChanges;
    QStandardItemModel* m_records;
    QPointer<ReportPreview> m_preview;
};

} // namespace marrowick
