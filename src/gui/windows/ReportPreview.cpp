#include "ReportPreview.h"

#include "database/DbError.h"
#include "reports/PageRenderer.h"
#include "reports/PdfExport.h"
#include "reports/ReportCatalogue.h"
#include "platform/BusyPointer.h"

#include <QAction>
#include <QCloseEvent>
#include <QDate>
#include <QRegularExpression>
#include <QDir>
#include <QHash>
#include <QLabel>
#include <QPageSetupDialog>
#include <QPdfWriter>
#include <QPrintPreviewWidget>
#include <QToolBar>
#include <QVBoxLayout>

namespace marrowick {

namespace {
QHash<const ReportDef*, QPointer<ReportPreview>> g_instances;
}

ReportPreview* ReportPreview::liveInstance(const ReportDef& report) { return g_instances.value(&report).data(); }

ReportPreview* ReportPreview::instanceFor(const ReportDef& report)
{
    if (ReportPreview* live = liveInstance(report)) return live;
    auto* created = new ReportPreview(&report, report.title, {});
    g_instances[&report] = created;
    return created;
}

ReportPreview* ReportPreview::ofDocument(const QString& title, Painter painter)
{
    auto* created = new ReportPreview(nullptr, title, std::move(painter));
    created->setWindowTitle(title);
    created->preview->updatePreview();
    created->updatePageLabel();
    return created;
}

ReportPreview::ReportPreview(const ReportDef* report, const QString& title, Painter painter)
    : printer(QPrinter::HighResolution), m_report(report), m_title(title), m_painter(std::move(painter))
{
    setObjectName(QStringLiteral("ReportPreview"));
    setAttribute(Qt::WA_DeleteOnClose);
    resize(900, 720);
    // The designs' margins, once: what the user sets in Page Setup then stays.
    printer.setPageMargins(QMarginsF(1, 1, 1, 1), QPageLayout::Inch);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* tools = new QToolBar(this);
    preview = new QPrintPreviewWidget(&printer, this);
    preview->setObjectName(QStringLiteral("preview"));
    m_pageLabel = new QLabel(this);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("status"));
    m_status->setTextFormat(Qt::PlainText);
    m_status->setContentsMargins(8, 2, 8, 4);

    // Every action answers to Alt and its underlined letter, as the buttons of
    // the other windows do; toolbar buttons have no mnemonics of their own.
    auto action = [&](const QString& text, auto slot, QKeySequence extra = {}) {
        QAction* a = tools->addAction(text, this, slot);
        const qsizetype amp = text.indexOf(QLatin1Char('&'));
        QList<QKeySequence> keys{QKeySequence(QStringLiteral("Alt+") + text.at(amp + 1).toUpper())};
        if (!extra.isEmpty()) keys << extra;
        a->setShortcuts(keys);
        a->setObjectName(QString(text).remove(QLatin1Char('&')).remove(QStringLiteral("...")).remove(QLatin1Char(' ')));
        return a;
    };
    action(
        QStringLiteral("Zoom &In"), [this] { preview->zoomIn(1.25); }, QKeySequence::ZoomIn);
    action(
        QStringLiteral("Zoom &Out"), [this] { preview->zoomOut(1.25); }, QKeySequence::ZoomOut);
    action(QStringLiteral("Fit &Width"), [this] { preview->fitToWidth(); });
    action(QStringLiteral("W&hole Page"), [this] { preview->fitInView(); });
    tools->addSeparator();
    action(QStringLiteral("&First"), [this] { goToPage(1); });
    action(
        QStringLiteral("Pre&vious"), [this] { goToPage(preview->currentPage() - 1); },
        QKeySequence::MoveToPreviousPage);
    tools->addWidget(m_pageLabel);
    action(
        QStringLiteral("Ne&xt"), [this] { goToPage(preview->currentPage() + 1); }, QKeySequence::MoveToNextPage);
    action(QStringLiteral("&Last"), [this] { goToPage(preview->pageCount()); });
    tools->addSeparator();
    action(QStringLiteral("Page Set&up..."), [this] {
        QPageSetupDialog dialog(&printer, this);
        if (dialog.exec() == QDialog::Accepted) preview->updatePreview();
    });
    action(
        QStringLiteral("&Print..."), [this] { print(); }, QKeySequence::Print);
    action(QStringLiteral("Export P&DF..."), [this] { exportPdf(); });
    tools->addSeparator();
    action(
        QStringLiteral("&Close"), [this] { close(); }, QKeySequence::Close);
    auto* escape = new QAction(this);
    escape->setShortcut(Qt::Key_Escape);
    connect(escape, &QAction::triggered, this, &QWidget::close);
    addAction(escape);
    layout->addWidget(tools);
    layout->addWidget(preview, 1);
    layout->addWidget(m_status);

    connect(preview, &QPrintPreviewWidget::paintRequested, this, &ReportPreview::paint);
    connect(preview, &QPrintPreviewWidget::previewChanged, this, &ReportPreview::updatePageLabel);
}

void ReportPreview::goToPage(int page)
{
    preview->setCurrentPage(page);
    updatePageLabel();
}

void ReportPreview::bind(const QAbstractItemModel* rows)
{
    m_rows = rows;
    setWindowTitle(m_report->caption);
    preview->updatePreview();
    updatePageLabel();
}

void ReportPreview::updatePageLabel()
{
    m_pageLabel->setText(QStringLiteral("  page %1 of %2  ").arg(preview->currentPage()).arg(preview->pageCount()));
    // The designs are laid out for portrait paper: turned, the page shows
    // more margin, not more columns. A painted document fills any paper.
    if (m_report && printer.pageLayout().orientation() == QPageLayout::Landscape)
        m_status->setText(QStringLiteral("Landscape paper: the report keeps its designed width."));
}

void ReportPreview::paint(QPrinter* device)
{
    if (!hasPages()) return;
    const bool range = device->printRange() == QPrinter::PageRange;
    const int from = range ? device->fromPage() : 1, to = range ? device->toPage() : 0;
    if (m_painter ? m_painter(*device, from, to) : PageRenderer(m_report->page, *m_rows).render(*device, from, to))
        return;
    platform().MsgBox(QStringLiteral("Error"), QStringLiteral("The report could not be laid out on this printer."),
                      MsgIcon::Critical, MsgButtons::Ok);
    // Nothing to show: back to the viewer, once the preview has finished painting.
    QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

void ReportPreview::print()
{
    if (!hasPages() || !platform().ChoosePrinter(printer)) return;
    BusyPointer busy;
    paint(&printer);
    // The preview shows every page again, whatever range was printed.
    printer.setPrintRange(QPrinter::AllPages);
}

bool ReportPreview::exportPdf(QString path)
{
    if (!hasPages()) return false;
    if (path.isEmpty()) {
        // The report's title and today's date; the folder is the one used last.
        QString suggested = QStringLiteral("%1 %2.pdf").arg(m_title, QDate::currentDate().toString(Qt::ISODate));
        suggested.replace(QRegularExpression(QStringLiteral("[\\\\/:*?\"<>|]")), QStringLiteral("-"));
        path = platform().SaveFileName(QStringLiteral("Export PDF"), suggested, QStringLiteral("PDF Files (*.pdf)"));
        if (path.isEmpty()) return false;
    }
    BusyPointer busy;
    const QPageLayout layout = printer.pageLayout();
    try {
        if (m_painter)
            writePdf(m_title, path, [&](QPdfWriter& writer) {
                writer.setPageLayout(layout);
                return m_painter(writer, 1, 0);
            });
        else
            exportReportPdf(*m_report, *m_rows, path, &layout);
    } catch (...) {
        showCurrentFailure(QStringLiteral("The report cannot be exported."));
        return false;
    }
    m_status->setText(QStringLiteral("Saved to ") + QDir::toNativeSeparators(path));
    return true;
}

void ReportPreview::closeEvent(QCloseEvent* event)
{
    event->accept();
    emit ended();
}

} // namespace marrowick
