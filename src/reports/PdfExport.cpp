#include "PdfExport.h"

#include "PageRenderer.h"
#include "ReportModel.h"
#include "platform/Platform.h"

#include <QDir>
#include <QFile>
#include <QPdfWriter>

namespace marrowick {

bool exportReportPdf(const PageDesign& design, const ReportModel& rows, const QString& path, const QPageLayout* layout)
{
    // Written beside the target first, so a failure never leaves half a file.
    const QString partial = path + QStringLiteral(".part");
    bool written = false;
    {
        QPdfWriter writer(partial);
        writer.setTitle(rows.report().title);
        writer.setCreator(QStringLiteral("Marrowick"));
        if (layout)
            writer.setPageLayout(*layout);
        PageRenderer renderer(design, rows);
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
