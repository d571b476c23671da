#include "ReportOutput.h"

#include "database/Db.h"
#include "platform/Platform.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlRecord>
#include <cstdio>

namespace marrowick {

std::optional<ReportFormat> reportFormatNamed(const QString& name)
{
    if (name == QLatin1String("text"))
        return ReportFormat::Text;
    if (name == QLatin1String("csv"))
        return ReportFormat::Csv;
    if (name == QLatin1String("json"))
        return ReportFormat::Json;
    return std::nullopt;
}

ReportTable ReportTable::load(const ReportDef& report)
{
    ReportTable table;
    table.report = &report;
    QSqlQuery query = run(report.query);
    const QSqlRecord record = query.record();
    for (int i = 0; i < record.count(); ++i)
        table.fields << record.fieldName(i);
    while (query.next()) {
        QVariantList row;
        for (int i = 0; i < record.count(); ++i)
            row << query.value(i);
        table.rows << row;
    }
    return table;
}

QList<int> ReportTable::visibleColumns() const
{
    QList<int> columns;
    for (int i = 0; i < fields.size(); ++i)
        if (ruleFor(*report, fields[i]))
            columns << i;
    return columns;
}

QString textTable(const ReportTable& table)
{
    const QList<int> columns = table.visibleColumns();
    QStringList captions;
    QList<qsizetype> widths;
    for (int c : columns) {
        captions << ruleFor(*table.report, table.fields[c])->caption;
        widths << captions.last().size();
    }
    for (const QVariantList& row : table.rows)
        for (qsizetype k = 0; k < columns.size(); ++k)
            widths[k] = std::max(widths[k], row[columns[k]].toString().size());

    auto line = [&](const QStringList& cells) {
        QStringList padded;
        for (qsizetype k = 0; k < cells.size(); ++k) {
            const bool centred = ruleFor(*table.report, table.fields[columns[k]])->centred;
            const qsizetype spare = widths[k] - cells[k].size();
            padded << (centred ? QString(spare / 2, QLatin1Char(' ')) + cells[k] + QString(spare - spare / 2, QLatin1Char(' '))
                               : cells[k].leftJustified(widths[k]));
        }
        QString text = padded.join(QStringLiteral("  "));
        while (text.endsWith(QLatin1Char(' ')))
            text.chop(1);
        return text + QLatin1Char('\n');
    };

    QString out = table.report->title + QLatin1Char('\n') + QString(table.report->title.size(), QLatin1Char('=')) + QStringLiteral("\n\n");
    out += line(captions);
    QStringList rules;
    for (qsizetype w : widths)
        rules << QString(w, QLatin1Char('-'));
    out += rules.join(QStringLiteral("  ")) + QLatin1Char('\n');
    for (const QVariantList& row : table.rows) {
        QStringList cells;
        for (int c : columns)
            cells << row[c].toString();
        out += line(cells);
    }
    return out + QLatin1Char('\n');
}

namespace {

QString csvCell(const QString& value)
{
    if (value.contains(QLatin1Char(',')) || value.contains(QLatin1Char('"')) || value.contains(QLatin1Char('\n'))
        || value.contains(QLatin1Char('\r')))
        return QLatin1Char('"') + QString(value).replace(QStringLiteral("\""), QStringLiteral("\"\"")) + QLatin1Char('"');
    return value;
}

QByteArray csvOf(const ReportTable& table)
{
    QStringList lines;
    QStringList header;
    for (const QString& f : table.fields)
        header << csvCell(f);
    lines << header.join(QLatin1Char(','));
    for (const QVariantList& row : table.rows) {
        QStringList cells;
        for (const QVariant& v : row)
            cells << csvCell(v.toString());
        lines << cells.join(QLatin1Char(','));
    }
    return (lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8();
}

QByteArray jsonOf(const ReportTable& table)
{
    QJsonArray rows;
    for (const QVariantList& row : table.rows) {
        QJsonObject object;
        for (qsizetype i = 0; i < table.fields.size(); ++i)
            object.insert(table.fields[i], row[i].isNull() ? QJsonValue() : QJsonValue::fromVariant(row[i]));
        rows.append(object);
    }
    QJsonArray fields;
    for (const QString& f : table.fields)
        fields.append(f);
    const QJsonObject document{{QStringLiteral("report"), table.report->index},
                               {QStringLiteral("title"), table.report->title},
                               {QStringLiteral("fields"), fields},
                               {QStringLiteral("rows"), rows}};
    return QJsonDocument(document).toJson(QJsonDocument::Indented);
}

} // namespace

bool writeReport(const ReportTable& table, ReportFormat format, const QString& outputDir)
{
    if (format == ReportFormat::Text) {
        const QByteArray text = textTable(table).toUtf8();
        std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
        std::fflush(stdout);
        return true;
    }
    const QString name = table.report->design + (format == ReportFormat::Csv ? QStringLiteral(".csv") : QStringLiteral(".json"));
    QDir().mkpath(outputDir);
    QFile file(QDir(outputDir).filePath(name));
    const QByteArray bytes = format == ReportFormat::Csv ? csvOf(table) : jsonOf(table);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size()) {
        platform().MsgBox(QStringLiteral("Error"), QStringLiteral("The report could not be written to %1: %2")
                                                       .arg(QDir::toNativeSeparators(file.fileName()), file.errorString()),
                          MsgIcon::Critical, MsgButtons::Ok);
        return false;
    }
    return true;
}

} // namespace marrowick
