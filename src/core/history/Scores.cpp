#include "Scores.h"

#include "database/Db.h"
#include "summaries/PercentText.h"
#include "summaries/SummaryCounts.h"

#include <QSqlQuery>
#include <cmath>

namespace marrowick {

namespace {

double twoDecimals(double percent) { return std::nearbyint(percent * 100.0) / 100.0; }

// Each code's description and the reports' order of it, from one of the two
// description tables, by the code in capitals (the tables compare codes
// without case); a code without one reads as empty and 0.
QHash<QString, std::pair<QString, int>> descriptions(const QString& table)
{
    QHash<QString, std::pair<QString, int>> all;
    for (QSqlQuery q = run(QStringLiteral("SELECT ProbCode, ProbDesc, ProbOrder FROM %1").arg(table)); q.next();)
        all.insert(q.value(0).toString().toUpper(), {q.value(1).toString(), q.value(2).toInt()});
    return all;
}

// One figure per code, in the reports' order.
template <class Code, class Successes>
void appendFigures(std::vector<Figure>& figures, const QString& kind, const QString& table,
                   const std::vector<Code>& codes, Successes&& successes)
{
    const qsizetype first = qsizetype(figures.size());
    const QHash<QString, std::pair<QString, int>> described = descriptions(table);
    for (const Code& c : codes) {
        const auto [label, order] = described.value(c.code.toUpper());
        figures.push_back({kind + QLatin1Char(':') + c.code, label, order, {successes(c), c.records}});
    }
    std::stable_sort(figures.begin() + first, figures.end(),
                     [](const Figure& a, const Figure& b) { return a.order < b.order; });
}

} // namespace

Interval wilsonInterval(qint64 successes, qint64 trials)
{
    if (trials <= 0) return {};
    constexpr double z = 1.959963984540054; // the normal quantile of 97.5 %
    const double n = double(trials);
    const double p = double(successes) / n;
    const double z2 = z * z;
    const double centre = (p + z2 / (2 * n)) / (1 + z2 / n);
    const double half = z * std::sqrt(p * (1 - p) / n + z2 / (4 * n * n)) / (1 + z2 / n);
    return {twoDecimals(std::max(0.0, centre - half) * 100), twoDecimals(std::min(1.0, centre + half) * 100)};
}

std::optional<double> Figure::value() const
{
    if (counts.trials == 0) return std::nullopt;
    return roundedPercent(counts.successes, counts.trials);
}

std::vector<Figure> currentFigures()
{
    using namespace summary;
    const FigureCounts counts = figureCounts();
    // The types count the very records that duplicatesInDeck() counts, one group each.
    qint64 duplicates = 0;
    for (const TypeCounts& type : counts.types) duplicates += type.records;
    const qint64 others = counts.nonDuplicates;
    std::vector<Figure> figures{
        {QStringLiteral("sensitivity"),
         QStringLiteral("Overall sensitivity"),
         0,
         {duplicates - counts.undetected, duplicates}},
        {QStringLiteral("specificity"),
         QStringLiteral("Overall specificity"),
         0,
         {others - counts.missingGroups, others}},
    };
    appendFigures(figures, QStringLiteral("sensitivity"), QStringLiteral("tblProbDescMap"), counts.types,
                  [](const TypeCounts& type) { return type.unlisted + type.flagged; });
    appendFigures(figures, QStringLiteral("specificity"), QStringLiteral("tblSecondProbDescMap"), counts.kinds,
                  [](const KindCounts& kind) { return kind.records - kind.lost; });
    return figures;
}

QHash<QString, Counts> lookAlikesKeptByType()
{
    QHash<QString, Counts> counts;
    for (QSqlQuery q = run(QStringLiteral("SELECT DISTINCT ProbCode FROM tblComboMap")); q.next();) {
        const QString code = q.value(0).toString();
        const qint64 lookAlikes = summary::lookAlikesOfType(code);
        counts.insert(code, {lookAlikes - summary::lostLookAlikesOfType(code), lookAlikes});
    }
    return counts;
}

} // namespace marrowick
