#pragma once
#include <QPointer>
#include <QPrinter>
#include <QWidget>
#include <functional>

class QLabel;
class QPrintPreviewWidget;

namespace marrowick {

class ReportModel;
struct PageDesign;

// The print preview of one report design: zoom, page navigation, Page
// Setup, Print and Export PDF. One printer object serves all of them, so the
// paper and margins chosen here are what prints.
class ReportPreview : public QWidget {
    Q_OBJECT
public:
    // The live instance of that report index's design, created if there is none.
    static ReportPreview* instanceFor(int index);
    static ReportPreview* liveInstance(int index);

    // Binds the design afresh to a result set and lays it out again.
    void bind(const PageDesign& design, const ReportModel* rows);
    int pageCount() const;
    int currentPage() const;

    // Exports through the same renderer; false after its message. Empty path: ask.
    bool exportPdf(QString path = QString());
    void print();

    QPrintPreviewWidget* preview;
    QPrinter printer;

    // Replaceable so that tests can answer them.
    static std::function<QString(QWidget*, const QString& suggested)>& pickPdfFile();
    static std::function<bool(QPrinter*, QWidget*)>& askPrinter();

signals:
    // The report object ends: its window has been closed.
    void ended();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    explicit ReportPreview(int index);
    void paint(QPrinter* device);
    void updatePageLabel();

    int m_index;
    const PageDesign* m_design = nullptr;
    const ReportModel* m_rows = nullptr;
    QLabel* m_pageLabel;
};

} // namespace marrowick
