#include "HistoryOutput.h"

#include "database/Csv.h"
#include "history/RunHistory.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace marrowick {

namespace {

// Percentages in text as the reports show them, and in csv with two decimals,
// as the reports' csv shows intervals.
QString number(double value) { return QString::number(value); }
QString csvNumber(double value) { return QString::number(value, 'f', 2); }

QJsonValue jsonValue(const Figure& f) { return f.value() ? QJsonValue(*f.value()) : QJsonValue(); }
QJsonValue jsonOutcome(const QString& outcome) { return outcome.isEmpty() ? QJsonValue() : QJsonValue(outcome); }

// "90.12 % (86.51-92.84)": a score and its 95 % interval; "-" without one.
QString scoreText(const Figure& f)
{
    if (!f.value()) return QStringLiteral("-");
    const Interval i = f.interval();
    return QStringLiteral("%1 % (%2-%3)").arg(number(*f.value()), number(i.low), number(i.high));
}

QString figureText(const Figure& f)
{
    if (f.isOverall()) return f.label;
    return (f.isSensitivity() ? QStringLiteral("Sensitivity, ") : QStringLiteral("Specificity, ")) + f.label;
}

// Rows of cells, each column as wide as its widest cell, a rule under each
// heading of the first row.
QString aligned(QList<QStringList> rows)
{
    for (QStringList& row : rows)
        for (QString& cell : row) cell = oneLine(cell);
    QList<qsizetype> widths;
    for (const QStringList& row : rows)
        for (qsizetype k = 0; k < row.size(); ++k) {
            if (widths.size() <= k) widths << 0;
            widths[k] = std::max(widths[k], row[k].size());
        }
    QString out;
    auto line = [&](const QStringList& cells) {
        QString text;
        for (qsizetype k = 0; k < cells.size(); ++k) text += cells[k].leftJustified(widths[k]) + QStringLiteral("  ");
        while (text.endsWith(QLatin1Char(' '))) text.chop(1);
        out += text + QLatin1Char('\n');
    };
    for (qsizetype r = 0; r < rows.size(); ++r) {
        line(rows[r]);
        if (r == 0) {
            QStringList rule;
            for (qsizetype w : widths) rule << QString(rows[0].value(rule.size()).isEmpty() ? 0 : w, QLatin1Char('-'));
            line(rule);
        }
    }
    return out;
}

QByteArray jsonOf(const QJsonObject& object) { return QJsonDocument(object).toJson(QJsonDocument::Indented); }

QString runText(const SavedRun& run)
{
    return QStringLiteral("run %1 (%2, %3)").arg(run.run).arg(run.time.toString(Qt::ISODate), oneLine(run.file));
}

} // namespace

QByteArray historyText(ReportFormat format)
{
    const std::vector<SavedRun> runs = history::savedRuns();
    if (format == ReportFormat::Text) {
        QHash<qint64, history::TrendPoint> scores;
        for (const history::TrendPoint& point : history::trend()) scores.insert(point.run, point);
        QList<QStringList> rows{
            {"Run", "Time (UTC)", "File", "Size", "SHA-256", "Rows", "Deck", "Sensitivity", "Specificity"}};
        for (const SavedRun& r : runs) {
            const history::TrendPoint point = scores.value(r.run);
            rows << QStringList{
                QString::number(r.run),      r.time.toString(Qt::ISODate), r.file, QString::number(r.size),
                r.sha256.left(12),           QString::number(r.rows),      r.deck, scoreText(point.sensitivity),
                scoreText(point.specificity)};
        }
        return (aligned(rows) + (runs.empty() ? QStringLiteral("No evaluation has been saved yet.\n") : QString()))
            .toUtf8();
    }
    const QStringList keys{"run", "time", "file", "size", "sha256", "rows", "deck", "sensitivity", "specificity"};
    QList<QStringList> rows{keys};
    QJsonArray array;
    for (const SavedRun& r : runs) {
        const QVariantList values{
            r.run,        r.time.toString(Qt::ISODate), r.file, r.size, r.sha256, r.rows, r.deck, r.sensitivity,
            r.specificity};
        QStringList cells;
        QJsonObject object;
        for (qsizetype k = 0; k < keys.size(); ++k) {
            const QVariant& v = values[k];
            cells << (v.typeId() == QMetaType::Double ? csvNumber(v.toDouble()) : v.toString());
            object.insert(keys[k], QJsonValue::fromVariant(v));
        }
        rows << cells;
        array.append(object);
    }
    return format == ReportFormat::Csv ? spreadsheetDocument(rows)
                                       : jsonOf(QJsonObject{{QStringLiteral("runs"), array}});
}

QByteArray comparisonText(qint64 from, qint64 to, ReportFormat format)
{
    const RunComparison comparison = history::compareRuns(from, to);
    std::vector<FigureChange> figures;
    for (const FigureChange& change : comparison.figures)
        if (change.changed()) figures.push_back(change);

    if (format == ReportFormat::Json) {
        QJsonArray figureArray, recordArray;
        for (const FigureChange& c : figures)
            figureArray.append(QJsonObject{{QStringLiteral("name"), c.after.name},
                                           {QStringLiteral("before"), jsonValue(c.before)},
                                           {QStringLiteral("after"), jsonValue(c.after)},
                                           {QStringLiteral("beyondIntervals"), c.beyondIntervals()}});
        for (const OutcomeChange& c : comparison.changed)
            recordArray.append(QJsonObject{{QStringLiteral("id"), c.id},
                                           {QStringLiteral("before"), jsonOutcome(c.before)},
                                           {QStringLiteral("after"), jsonOutcome(c.after)}});
        return jsonOf(QJsonObject{{QStringLiteral("from"), from},
                                  {QStringLiteral("to"), to},
                                  {QStringLiteral("figures"), figureArray},
                                  {QStringLiteral("changed"), recordArray}});
    }
    if (format == ReportFormat::Csv) {
        QList<QStringList> rows{
            {"Kind", "Name", "Before", "BeforeLow", "BeforeHigh", "After", "AfterLow", "AfterHigh", "BeyondIntervals"}};
        auto cells = [](const Figure& f) {
            return f.value()
                       ? QStringList{csvNumber(*f.value()), csvNumber(f.interval().low), csvNumber(f.interval().high)}
                       : QStringList{QString(), QString(), QString()};
        };
        for (const FigureChange& c : figures)
            rows << QStringList{QStringLiteral("figure"), c.after.name} + cells(c.before) + cells(c.after)
                        + QStringList{c.beyondIntervals() ? QStringLiteral("true") : QStringLiteral("false")};
        for (const OutcomeChange& c : comparison.changed)
            rows << QStringList{QStringLiteral("record"),
                                QString::number(c.id),
                                c.before,
                                QString(),
                                QString(),
                                c.after,
                                QString(),
                                QString(),
                                QString()};
        return spreadsheetDocument(rows);
    }

    const QString before = QStringLiteral("Run %1").arg(from), after = QStringLiteral("Run %1").arg(to);
    QString out =
        QStringLiteral("From %1\nto   %2\n\n").arg(runText(*history::savedRun(from)), runText(*history::savedRun(to)));
    if (figures.empty()) {
        out += QStringLiteral("No score changed.\n");
    } else {
        QList<QStringList> rows{{QStringLiteral("Score (95 % interval)"), before, after, QString()}};
        for (const FigureChange& c : figures)
            rows << QStringList{figureText(c.after), scoreText(c.before), scoreText(c.after),
                                c.beyondIntervals() ? QStringLiteral("*") : QString()};
        out += aligned(rows) + QStringLiteral("* beyond both intervals: a change that chance alone rarely makes.\n");
    }
    out += QLatin1Char('\n');
    if (comparison.changed.empty()) return (out + QStringLiteral("No record's outcome changed.\n")).toUtf8();
    QList<QStringList> rows{{QStringLiteral("ID"), before, after}};
    for (const OutcomeChange& c : comparison.changed)
        rows << QStringList{QString::number(c.id), c.before.isEmpty() ? QStringLiteral("-") : c.before,
                            c.after.isEmpty() ? QStringLiteral("-") : c.after};
    out += QStringLiteral("%1 records changed their outcome:\n").arg(comparison.changed.size());
    return (out + aligned(rows)).toUtf8();
}

} // namespace marrowick
