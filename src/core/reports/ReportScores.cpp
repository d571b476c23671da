#include "ReportScores.h"

#include "ReportModel.h"

#include <QHash>
#include <algorithm>

namespace marrowick {

namespace {

const QString kLookAlikesKept = QStringLiteral("lookAlikesKept:");

// The evaluation's figures by name, read only when a score field needs them.
QHash<QString, Counts> figuresFor(const std::vector<ScoreField>& fields)
{
    QHash<QString, Counts> figures;
    if (std::none_of(fields.begin(), fields.end(), [](const ScoreField& f) { return !f.keyField.isEmpty(); }))
        return figures;
    for (const Figure& f : currentFigures()) figures.insert(f.name, f.counts);
    auto usesKept = [](const ScoreField& f) { return f.figurePrefix == kLookAlikesKept; };
    if (std::any_of(fields.begin(), fields.end(), usesKept)) {
        const QHash<QString, Counts> kept = lookAlikesKeptByType();
        for (auto it = kept.begin(); it != kept.end(); ++it) figures.insert(kLookAlikesKept + it.key(), it.value());
    }
    return figures;
}

// The name of the row's figure; empty when the row has none.
QString figureName(const ScoreField& field, const QString& key)
{
    for (const auto& [value, name] : field.figures)
        if (value == key) return name;
    return field.figurePrefix.isEmpty() ? QString() : field.figurePrefix + key;
}

} // namespace

std::vector<ScoreColumn> scoreColumns(const ReportModel& rows)
{
    const std::vector<ScoreField>& fields = rows.report().scores;
    const QHash<QString, Counts> figures = figuresFor(fields);
    auto cell = [&](int row, const QString& field) {
        for (int c = 0; c < rows.columnCount(); ++c)
            if (rows.headerData(c, Qt::Horizontal, FieldRole).toString() == field) return rows.index(row, c).data();
        return QVariant();
    };
    auto countsOf = [&](const ScoreField& field, int row) -> std::optional<Counts> {
        if (!field.judged.isEmpty()) {
            const qint64 n = cell(row, field.judged).toLongLong();
            return Counts{n - cell(row, field.failed).toLongLong(), n};
        }
        const QString name = figureName(field, cell(row, field.keyField).toString());
        return name.isEmpty() ? std::nullopt : std::optional(figures.value(name));
    };
    std::vector<ScoreColumn> columns;
    for (const ScoreField& field : fields) {
        ScoreColumn& score = columns.emplace_back(ScoreColumn{field.field, {}});
        for (int row = 0; row < rows.rowCount(); ++row) {
            const std::optional<Counts> c = countsOf(field, row);
            score.intervals.push_back(c && c->trials > 0 ? std::optional(wilsonInterval(c->successes, c->trials))
                                                         : std::nullopt);
        }
    }
    return columns;
}

} // namespace marrowick
