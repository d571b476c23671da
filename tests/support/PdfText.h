#pragma once
// What a PDF says, as pdftotext reads it.
#include <QProcess>
#include <QStringList>

namespace marrowick::test {

// pdftotext's output for a PDF, with these options.
inline QString pdfText(const QString& path, const QStringList& options)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), options + QStringList{path, QStringLiteral("-")});
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

// What a PDF says, page by page, as pdftotext lays it out.
inline QStringList pdfPages(const QString& path)
{
    QStringList pages = pdfText(path, {QStringLiteral("-layout")}).split(QLatin1Char('\f'));
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty())
        pages.removeLast();
    return pages;
}

} // namespace marrowick::test
