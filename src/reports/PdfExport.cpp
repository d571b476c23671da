#include "PdfExport.h"

#include "PageRenderer.h"
#include "ReportCatalogue.h"
#include "platform/Platform.h"

#include <QDir>
#include <QFile>
#include <QPdfWriter>

namespace marrowick {

bool exportReportPdf(const ReportDef& report, const QAbstractItemModel& rows, const QString& path, const QPageLayout* layout)
{
    return writePdf(report.title, path, [&](QPdfWriter& writer) {
        PageRenderer renderer(report.page, rows);
        // The paper and margins chosen in Page Setup, else the design's.
        if (layout)
            writer.setPageLayout(*layout);
        else
            renderer.prepare(writer);
        return renderer.render(writer);
    });
}

bool writePdf(const QString& title, const QString& path, const std::function<bool(QPdfWriter&)>& paint)
{
    // Written beside the target first, so a failure never leaves half a file.
    const QString partial = path + QStringLiteral(".part");
    bool written = false;
    {
        QPdfWriter writer(partial);
        writer.setTitle(title);
        writer.setCreator(QStringLiteral("Marrowick"));
        written = paint(writer);
    }
    QString cause;
    if (!written) {
        // The writer does not say why; opening the file does.
        QFile probe(partial);
        cause = probe.open(QIODevice::WriteOnly) ? QStringLiteral("the pages could not be laid out") : probe.errorString();
    } else {
        QFile::remove(path);
        QFile renamed(partial);
        written = renamed.rename(path);
        if (!written)
            cause = renamed.errorString();
    }
    if (!written) {
        QFile::remove(partial);
        platform().MsgBox(QStringLiteral("Error"),
                          QStringLiteral("The report could not be written to %1: %2.").arg(QDir::toNativeSeparators(path), cause),
                          MsgIcon::Critical, MsgButtons::Ok);
    }
    return written;
}

} // namespace marrowick
