#pragma once
#include <QWidget>

class QComboBox;
class QLabel;
class QPushButton;
class QTableView;
class QStandardItemModel;

namespace marrowick {

class ExplanationModel;

// One test record's explanation: the verdict, and its group side by side with
// the registry rows found for it. Opens beside the viewer without blocking it.
class frmExplain : public QWidget {
    Q_OBJECT
public:
    // Shows the explanation of that record; an "Error" message when it cannot be read.
    static frmExplain* open(qint64 id, QWidget* near = nullptr);
    ~frmExplain() override;

    ExplanationModel* model() const { return m_model; }
    void Print();
    // Through the same renderer as the reports; false after its message. Empty path: ask.
    bool ExportPdf(QString path = QString());

    QLabel* lblHeading;
    QLabel* lblVerdict;
    QTableView* grdExplain;
    QPushButton* btnPrint;
    QPushButton* btnExportPdf;
    // Where the last export went.
    QLabel* lblSaved;
    QPushButton* btnClose;

public slots:
    // The same record, as the newest evaluation left it.
    void refresh();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    explicit frmExplain(qint64 id);
    void showModel(ExplanationModel* model);
    const qint64 m_id;
    ExplanationModel* m_model;
};

// The records of one problem type with their outcomes, from reports 1 to 3;
// each opens its explanation.
class frmOutcomeList : public QWidget {
    Q_OBJECT
public:
    static frmOutcomeList* open(int report, const QString& problemCode, const QString& caption, QWidget* near = nullptr);
    ~frmOutcomeList() override;

    QTableView* grdRecords;
    // Narrows the list to one outcome.
    QComboBox* cboOutcome;
    QPushButton* btnClose;

public slots:
    // The same records, with the outcomes of the newest evaluation.
    void refresh();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    frmOutcomeList(int report, const QString& problemCode, const QString& caption);
    void fill();
    const int m_report;
    const QString m_problemCode, m_caption;
    QLabel* m_hint;
    QStandardItemModel* m_model;
};

} // namespace marrowick
