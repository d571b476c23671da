#pragma once
#include <QPointer>
#include <QPrinter>
#include <QWidget>
#include <functional>

class QAbstractItemModel;
class QLabel;
class QPagedPaintDevice;
class QPrintPreviewWidget;

namespace marrowick {

struct ReportDef;

// The print preview of one report's page design: zoom, page navigation, Page
// Setup, Print and Export PDF. One printer object serves all of them, so the
// paper and margins chosen here are what prints.
class ReportPreview : public QWidget {
    Q_OBJECT
public:
    // The live instance of that report's design, created if there is none.
    static ReportPreview* instanceFor(const ReportDef& report);
    static ReportPreview* liveInstance(const ReportDef& report);
    // Paints pages from to to (0: to the end) of a document onto the device; false when it cannot.
    using Painter = std::function<bool(QPagedPaintDevice& device, int from, int to)>;
    // A new preview of a document that its owner paints; the owner keeps it.
    static ReportPreview* ofDocument(const QString& title, Painter painter);

    // Binds the design afresh to a result set and lays it out again.
    void bind(const QAbstractItemModel* rows);
    // The result set it is bound to.
    const QAbstractItemModel* rows() const { return m_rows; }

    // Exports through the same renderer; false after its message. Empty path: ask.
    bool exportPdf(QString path = QString());
    void print();

    QPrintPreviewWidget* preview;
    QPrinter printer;

signals:
    // The report object ends: its window has been closed.
    void ended();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    ReportPreview(const ReportDef* report, const QString& title, Painter painter);
    bool hasPages() const { return m_rows || m_painter; }
    void paint(QPrinter* device);
    void updatePageLabel();
    void goToPage(int page);

    const ReportDef* m_report; // none for a painted document
    const QString m_title;
    const Painter m_painter;
    const QAbstractItemModel* m_rows = nullptr;
    QLabel* m_pageLabel;
    QLabel* m_status; // where an export went; what landscape paper does
};

} // namespace marrowick
