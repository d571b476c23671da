#include "Scores.h"

#include "database/Db.h"
#include "summaries/PercentText.h"

#include <cmath>

namespace marrowick {

namespace {

double twoDecimals(double percent) { return std::nearbyint(percent * 100.0) / 100.0; }

// The same counting statements as the summary reports, one pass per kind
// instead of one statement per problem code. The records lost are counted once
// per second problem, not by a scan of the test data for each group.
const QString kTypeSensitivity = QStringLiteral(
    "SELECT d.ProblemCode, (SELECT ProbDesc FROM tblProbDescMap WHERE ProbCode = d.ProblemCode), "
    "(SELECT ProbOrder FROM tblProbDescMap WHERE ProbCode = d.ProblemCode), count(*), "
    "ifnull(sum(d.ID NOT IN (SELECT ID FROM IIS_DUPLICATES)), 0) + "
    "sum((SELECT count(*) FROM IIS_DUPLICATES x WHERE x.ID = d.ID AND (x.QM = 'Y' OR x.OTHERQM = 'Y'))) "
    "FROM DupTestData d WHERE d.ProblemCode <> 'BASE_RECORD' AND d.ProblemCode <> 'DL_BASE_RECORD' "
    "GROUP BY d.ProblemCode");
const QString kLookAlikeSpecificity = QStringLiteral(
    "SELECT d.SecondProblem, (SELECT ProbDesc FROM tblSecondProbDescMap WHERE ProbCode = d.SecondProblem), "
    "(SELECT ProbOrder FROM tblSecondProbDescMap WHERE ProbCode = d.SecondProblem), count(*), "
    "ifnull(lost.n, 0) FROM DupTestData d "
    "LEFT JOIN (SELECT o.SecondProblem AS SecondProblem, count(*) AS n FROM IIS_MISSING_RECORDS m "
    "JOIN DupTestData o ON o.ID = m.ID GROUP BY o.SecondProblem) lost ON lost.SecondProblem = d.SecondProblem "
    "WHERE d.ProblemCode = 'DL_BASE_RECORD' GROUP BY d.SecondProblem");

qint64 count(const QString& sql) { return scalar(sql, QStringLiteral("n")).toLongLong(); }

void appendRows(std::vector<Figure>& figures, const QString& kind, const QString& sql, bool lostCounted)
{
    const qsizetype first = qsizetype(figures.size());
    for (QSqlQuery q = run(sql); q.next();) {
        const qint64 trials = q.value(3).toLongLong();
        const qint64 fifth = q.value(4).toLongLong();
        figures.push_back({kind + QLatin1Char(':') + q.value(0).toString(), q.value(1).toString(), q.value(2).toInt(),
                           {lostCounted ? trials - fifth : fifth, trials}});
    }
    std::stable_sort(figures.begin() + first, figures.end(), [](const Figure& a, const Figure& b) { return a.order < b.order; });
}

} // namespace

Interval wilsonInterval(qint64 successes, qint64 trials)
{
    if (trials <= 0)
        return {};
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
    if (counts.trials == 0)
        return std::nullopt;
    return roundedPercent(counts.successes, counts.trials);
}

std::vector<Figure> currentFigures()
{
    const qint64 duplicates = count(QStringLiteral(
        "SELECT count(*) AS n FROM DupTestData WHERE ProblemCode <> 'BASE_RECORD' AND ProblemCode <> 'DL_BASE_RECORD'"));
    const qint64 undetected =
        count(QStringLiteral("SELECT count(*) AS n FROM IIS_DUPLICATES WHERE QM <> 'Y' AND OTHERQM <> 'Y'"));
    const qint64 others = count(QStringLiteral(
        "SELECT count(*) AS n FROM DupTestData WHERE ProblemCode = 'BASE_RECORD' OR ProblemCode = 'DL_BASE_RECORD'"));
    const qint64 lost = count(QStringLiteral("SELECT count(*) AS n FROM IIS_MISSING_RECORDS"));
    std::vector<Figure> figures{
        {QStringLiteral("sensitivity"), QStringLiteral("Overall sensitivity"), 0, {duplicates - undetected, duplicates}},
        {QStringLiteral("specificity"), QStringLiteral("Overall specificity"), 0, {others - lost, others}},
    };
    appendRows(figures, QStringLiteral("sensitivity"), kTypeSensitivity, false);
    appendRows(figures, QStringLiteral("specificity"), kLookAlikeSpecificity, true);
    return figures;
}

QHash<QString, Counts> lookAlikesKeptByType()
{
    QHash<QString, Counts> counts;
    const QString combos = QStringLiteral("ComboCode IN (SELECT ComboCode FROM tblComboMap WHERE ProbCode = p.ProbCode)");
    for (QSqlQuery q = run(QStringLiteral("SELECT p.ProbCode, (SELECT count(*) FROM DupTestData WHERE ProblemCode = 'DL_BASE_RECORD' AND %1), "
                                          "(SELECT count(*) FROM IIS_MISSING_RECORDS m JOIN DupTestData d ON d.ID = m.ID WHERE d.%1) "
                                          "FROM (SELECT DISTINCT ProbCode FROM tblComboMap) p")
                               .arg(combos));
         q.next();)
        counts.insert(q.value(0).toString(), {q.value(1).toLongLong() - q.value(2).toLongLong(), q.value(1).toLongLong()});
    return counts;
}

} // namespace marrowick
