#include "ReportOutput.h"

#include "database/Csv.h"
#include "history/Scores.h"

#include "platform/OutputFile.h"
#include "platform/Platform.h"
#include "reports/ReportModel.h"
#include "reports/ReportScores.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>
#include <functional>

namespace marrowick {

std::optional<ReportFormat> reportFormatNamed(const QString& name)
{
    if (name == QLatin1String("text")) return ReportFormat::Text;
    if (name == QLatin1String("csv")) return ReportFormat::Csv;
    if (name == QLatin1String("json")) return ReportFormat::Json;
    return std::nullopt;
}

QString formatExtension(ReportFormat format)
{
    switch (format) {
    case ReportFormat::Csv:
        return QStringLiteral(".csv");
    case ReportFormat::Json:
        return QStringLiteral(".json");
    case ReportFormat::Text:
        break;
    }
    return QStringLiteral(".txt");
}

namespace {

QString fieldName(const ReportModel& rows, int column)
{
    return rows.headerData(column, Qt::Horizontal, FieldRole).toString();
}

QVariant value(const ReportModel& rows, int row, int column) { return rows.index(row, column).data(); }

} // namespace

QString oneLine(QString value)
{
    return value.replace(QLatin1Char('\n'), QStringLiteral("\\n"))
        .replace(QLatin1Char('\r'), QStringLiteral("\\r"))
        .replace(QLatin1Char('\t'), QStringLiteral("\\t"));
}

QString textTable(const ReportModel& rows)
{
    const ReportDef& report = rows.report();
    QList<int> columns;
    QList<const ColumnRule*> rules;
    for (int c = 0; c < rows.columnCount(); ++c)
        if (const ColumnRule* rule = ruleFor(report, fieldName(rows, c))) {
            columns << c;
            rules << rule;
        }
    QStringList captions;
    QList<qsizetype> widths;
    for (const ColumnRule* rule : rules) {
        captions << rule->caption;
        widths << rule->caption.size();
    }
    for (int row = 0; row < rows.rowCount(); ++row)
        for (qsizetype k = 0; k < columns.size(); ++k)
            widths[k] = std::max(widths[k], oneLine(value(rows, row, columns[k]).toString()).size());

    auto line = [&](const QStringList& cells) {
        QStringList padded;
        for (qsizetype k = 0; k < cells.size(); ++k) {
            const qsizetype spare = widths[k] - cells[k].size();
            padded << (rules[k]->centred ? QString(spare / 2, QLatin1Char(' ')) + cells[k]
                                               + QString(spare - spare / 2, QLatin1Char(' '))
                                         : cells[k].leftJustified(widths[k]));
        }
        QString text = padded.join(QStringLiteral("  "));
        while (text.endsWith(QLatin1Char(' '))) text.chop(1);
        return text + QLatin1Char('\n');
    };

    QString out =
        report.title + QLatin1Char('\n') + QString(report.title.size(), QLatin1Char('=')) + QStringLiteral("\n\n");
    out += line(captions);
    QStringList underlines;
    for (qsizetype w : widths) underlines << QString(w, QLatin1Char('-'));
    out += underlines.join(QStringLiteral("  ")) + QLatin1Char('\n');
    for (int row = 0; row < rows.rowCount(); ++row) {
        QStringList cells;
        for (int c : columns) cells << oneLine(value(rows, row, c).toString());
        out += line(cells);
    }
    return out + QLatin1Char('\n');
}

namespace {

QByteArray csvOf(const ReportModel& rows)
{
    const std::vector<ScoreColumn> scores = scoreColumns(rows);
    QList<QStringList> lines;
    QStringList header;
    for (int c = 0; c < rows.columnCount(); ++c) header << fieldName(rows, c);
    for (const ScoreColumn& score : scores)
        header << score.field + QStringLiteral("Low") << score.field + QStringLiteral("High");
    lines << header;
    for (int row = 0; row < rows.rowCount(); ++row) {
        QStringList cells;
        for (int c = 0; c < rows.columnCount(); ++c) cells << value(rows, row, c).toString();
        for (const ScoreColumn& score : scores) {
            const std::optional<Interval>& i = score.intervals[size_t(row)];
            cells << (i ? QString::number(i->low, 'f', 2) : QString())
                  << (i ? QString::number(i->high, 'f', 2) : QString());
        }
        lines << cells;
    }
    return spreadsheetDocument(lines);
}

QByteArray jsonOf(const ReportModel& rows)
{
    const std::vector<ScoreColumn> scores = scoreColumns(rows);
    QJsonArray objects;
    for (int row = 0; row < rows.rowCount(); ++row) {
        QJsonObject object;
        for (int c = 0; c < rows.columnCount(); ++c) {
            const QVariant v = value(rows, row, c);
            object.insert(fieldName(rows, c), v.isNull() ? QJsonValue() : QJsonValue::fromVariant(v));
        }
        for (const ScoreColumn& score : scores) {
            const std::optional<Interval>& i = score.intervals[size_t(row)];
            object.insert(score.field + QStringLiteral("Low"), i ? QJsonValue(i->low) : QJsonValue());
            object.insert(score.field + QStringLiteral("High"), i ? QJsonValue(i->high) : QJsonValue());
        }
        objects.append(object);
    }
    QJsonArray fields;
    for (int c = 0; c < rows.columnCount(); ++c) fields.append(fieldName(rows, c));
    for (const ScoreColumn& score : scores)
        fields << score.field + QStringLiteral("Low") << score.field + QStringLiteral("High");
    const QJsonObject document{{QStringLiteral("report"), rows.report().index},
                               {QStringLiteral("title"), rows.report().title},
                               {QStringLiteral("fields"), fields},
                               {QStringLiteral("rows"), objects}};
    return QJsonDocument(document).toJson(QJsonDocument::Indented);
}

} // namespace

void writeOutput(const QByteArray& bytes, const QString& outputDir, const QString& name, const QString& what)
{
    QString path;
    QString target = QStringLiteral("standard output");
    if (!outputDir.isEmpty()) {
        QDir().mkpath(outputDir);
        path = target = QDir::toNativeSeparators(QDir(outputDir).filePath(name));
    }
    writeOutputOrRefuse(path, bytes, QStringLiteral("%1 could not be written to %2").arg(what, target));
}

void writeReport(const ReportModel& rows, ReportFormat format, const QString& outputDir)
{
    if (format == ReportFormat::Text)
        return writeOutput(textTable(rows).toUtf8(), QString(), QString(), QStringLiteral("The report"));
    writeOutput(format == ReportFormat::Csv ? csvOf(rows) : jsonOf(rows), outputDir,
                rows.report().fileName + formatExtension(format), QStringLiteral("The report"));
}

} // namespace marrowick
