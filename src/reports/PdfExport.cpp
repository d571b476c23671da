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
    // Written beside the target first, so a failure never leaves half a file.
    const QString partial = path + QStringLiteral(".part");
    bool written = false;
    {
        QPdfWriter writer(partial);
        writer.setTitle(report.title);
        writer.setCreator(QStringLiteral("Marrowick"));
        if (layout)
            writer.setPageLayout(*layout);
        PageRenderer renderer(report.page, rows);
        renderer.prepare(writer);
        written = renderer.render(writer);
    }
    if (written) {
        QFile::remove(path);
        written = QFile::rename(partial, path);
    }
    if (!written) {
        QFile::remove(partial);
        platform().MsgBox(QStringLiteral("Error"),
                          QStringLiteral("The report could not be written to %1.").arg(QDir::toNativeSeparators(path)),
                          MsgIcon::Critical, MsgButtons::Ok);
    }
    return written;
}

} // namespace marrowick
