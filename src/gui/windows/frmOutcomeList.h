#pragma once
#include "DataWindow.h"

class QComboBox;
class QLabel;
class QStandardItemModel;
class QTableView;

namespace marrowick {

// The records of one problem type with their outcomes, from reports 1 to 3;
// each opens its explanation.
class frmOutcomeList : public DataWindow {
    Q_OBJECT
public:
    static frmOutcomeList* open(int report, const QString& problemCode, const QString& caption,
                                QWidget* near = nullptr);

    QTableView* grdRecords;
    // Narrows the list to one outcome.
    QComboBox* cboOutcome;

public slots:
    // The same records, with the outcomes of the newest evaluation.
    void refresh();

private:
    frmOutcomeList(int report, const QString& problemCode, const QString& caption);
    void fill();
    const int m_report;
    const QString m_problemCode, m_caption;
    QLabel* m_hint;
    QStandardItemModel* m_model;
};

} // namespace marrowick
