#include "PdfExport.h"

#include "PageRenderer.h"
#include "ReportCatalogue.h"
#include "platform/FileRefused.h"
#include "platform/OutputFile.h"

#include <QBuffer>
#include <QDir>
#include <QPdfWriter>

namespace marrowick {

void exportReportPdf(const ReportDef& report, const QAbstractItemModel& rows, const QString& path,
                     const QPageLayout* layout)
{
    writePdf(report.title, path, [&](QPdfWriter& writer) {
        PageRenderer renderer(report.page, rows);
        // The paper and margins chosen in Page Setup, else the design's.
        if (layout)
            writer.setPageLayout(*layout);
        else
            renderer.prepare(writer);
        return renderer.render(writer);
    });
}

void writePdf(const QString& title, const QString& path, const std::function<bool(QPdfWriter&)>& paint)
{
    // Laid out in memory first, so that a file is written only whole, and a
    // device named as the target is written to, never replaced.
    QBuffer pages;
    pages.open(QIODevice::WriteOnly);
    bool laidOut = false;
    {
        QPdfWriter writer(&pages);
        writer.setTitle(title);
        writer.setCreator(QStringLiteral("Marrowick"));
        laidOut = paint(writer);
    }
    const QString error = QStringLiteral("Error");
    const QString context =
        QStringLiteral("The report could not be written to %1: ").arg(QDir::toNativeSeparators(path));
    if (!laidOut)
        throw FileRefused(FileRefused::Role::Output, QStringLiteral("The pages could not be laid out."))
            .toldAs(error, context);
    try {
        writeOutputFile(path, pages.data());
    } catch (const FileRefused& refused) {
        throw refused.toldAs(error, context);
    }
}

} // namespace marrowick
