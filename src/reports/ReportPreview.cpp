#include "ReportPreview.h"

#include "PageRenderer.h"
#include "PdfExport.h"
#include "ReportCatalogue.h"
#include "platform/Platform.h"

#include <QCloseEvent>
#include <QDir>
#include <QHash>
#include <QLabel>
#include <QPageSetupDialog>
#include <QPrintPreviewWidget>
#include <QStandardPaths>
#include <QToolBar>
#include <QVBoxLayout>

namespace marrowick {

namespace {
QHash<const ReportDef*, QPointer<ReportPreview>> g_instances;
}

ReportPreview* ReportPreview::liveInstance(const ReportDef& report)
{
    return g_instances.value(&report).data();
}

ReportPreview* ReportPreview::instanceFor(const ReportDef& report)
{
    if (ReportPreview* live = liveInstance(report))
        return live;
    auto* created = new ReportPreview(report);
    g_instances[&report] = created;
    return created;
}

ReportPreview::ReportPreview(const ReportDef& report) : printer(QPrinter::HighResolution), m_report(report)
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

    tools->addAction(QStringLiteral("Zoom &In"), preview, &QPrintPreviewWidget::zoomIn)->setShortcut(QKeySequence::ZoomIn);
    tools->addAction(QStringLiteral("Zoom &Out"), preview, &QPrintPreviewWidget::zoomOut)->setShortcut(QKeySequence::ZoomOut);
    tools->addAction(QStringLiteral("Fit &Width"), preview, &QPrintPreviewWidget::fitToWidth);
    tools->addAction(QStringLiteral("&Whole Page"), preview, &QPrintPreviewWidget::fitInView);
    tools->addSeparator();
    tools->addAction(QStringLiteral("&First"), this, [this] { preview->setCurrentPage(1); });
    tools->addAction(QStringLiteral("&Previous"), this, [this] { preview->setCurrentPage(preview->currentPage() - 1); })
        ->setShortcut(QKeySequence::MoveToPreviousPage);
    tools->addWidget(m_pageLabel);
    tools->addAction(QStringLiteral("Ne&xt"), this, [this] { preview->setCurrentPage(preview->currentPage() + 1); })
        ->setShortcut(QKeySequence::MoveToNextPage);
    tools->addAction(QStringLiteral("&Last"), this, [this] { preview->setCurrentPage(preview->pageCount()); });
    tools->addSeparator();
    tools->addAction(QStringLiteral("Page Set&up..."), this, [this] {
        QPageSetupDialog dialog(&printer, this);
        if (dialog.exec() == QDialog::Accepted)
            preview->updatePreview();
    });
    tools->addAction(QStringLiteral("&Print..."), this, &ReportPreview::print)->setShortcut(QKeySequence::Print);
    tools->addAction(QStringLiteral("Export P&DF..."), this, [this] { exportPdf(); });
    tools->addSeparator();
    tools->addAction(QStringLiteral("&Close"), this, &QWidget::close);
    layout->addWidget(tools);
    layout->addWidget(preview, 1);

    connect(preview, &QPrintPreviewWidget::paintRequested, this, &ReportPreview::paint);
    connect(preview, &QPrintPreviewWidget::previewChanged, this, &ReportPreview::updatePageLabel);
}

void ReportPreview::bind(const QAbstractItemModel* rows)
{
    m_rows = rows;
    setWindowTitle(m_report.caption);
    preview->updatePreview();
    updatePageLabel();
}

int ReportPreview::pageCount() const { return preview->pageCount(); }
int ReportPreview::currentPage() const { return preview->currentPage(); }

void ReportPreview::updatePageLabel()
{
    m_pageLabel->setText(QStringLiteral("  page %1 of %2  ").arg(preview->currentPage()).arg(preview->pageCount()));
}

void ReportPreview::paint(QPrinter* device)
{
    if (!m_rows)
        return;
    if (!PageRenderer(m_report.page, *m_rows).render(*device))
        platform().MsgBox(QStringLiteral("Error"), QStringLiteral("The report could not be laid out on this printer."),
                          MsgIcon::Critical, MsgButtons::Ok);
}

void ReportPreview::print()
{
    if (!m_rows || !platform().ChoosePrinter(printer))
        return;
    BusyPointer busy;
    paint(&printer);
}

bool ReportPreview::exportPdf(QString path)
{
    if (!m_rows)
        return false;
    if (path.isEmpty()) {
        const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        path = platform().SaveFileName(QStringLiteral("Export PDF"), QDir(documents).filePath(m_report.fileName + QStringLiteral(".pdf")),
                                       QStringLiteral("PDF Files (*.pdf)"));
        if (path.isEmpty())
            return false;
    }
    BusyPointer busy;
    const QPageLayout layout = printer.pageLayout();
    return exportReportPdf(m_report, *m_rows, path, &layout);
}

void ReportPreview::closeEvent(QCloseEvent* event)
{
    event->accept();
    emit ended();
}

} // namespace marrowick
