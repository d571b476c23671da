#include "RunHistory.h"

#include "database/Db.h"
#include "database/DbError.h"
#include "database/NativeStatement.h"
#include "database/Schema.h"

#include <QFileInfo>
#include <QHash>
#include <QMap>
#include <QSet>

namespace marrowick {

bool FigureChange::beyondIntervals() const
{
    const std::optional<double> b = before.value(), a = after.value();
    return a && b && !before.interval().contains(*a) && !after.interval().contains(*b);
}

namespace history {

namespace {

const QString kRunColumns = QStringLiteral(
    "RunID, RunTime, FileName, FileSize, Sha256, RowsLoaded, Deck, Sensitivity, Specificity FROM tblRuns");

SavedRun runOf(const QSqlQuery& q)
{
    return {q.value(0).toLongLong(), QDateTime::fromString(q.value(1).toString(), Qt::ISODate),
            q.value(2).toString(),   q.value(3).toLongLong(),
            q.value(4).toString(),   q.value(5).toLongLong(),
            q.value(6).toString(),   q.value(7).toDouble(),
            q.value(8).toDouble()};
}

// The values of tblRuns that every run has, as NULL checks.
const QString kRequiredRunValues = QStringLiteral(
    "RunTime IS NULL OR FileName IS NULL OR FileSize IS NULL OR Sha256 IS NULL OR RowsLoaded IS NULL OR Deck IS NULL "
    "OR Sensitivity IS NULL OR Specificity IS NULL");

QSet<qint64> damagedIds()
{
    QSet<qint64> ids;
    for (const auto& [id, cause] : damagedRuns()) ids.insert(id);
    return ids;
}

} // namespace

namespace {

// The damaged runs among all, or among one run only: naming the run lets the
// index answer instead of a scan of every run's figures.
std::vector<std::pair<qint64, QString>> damagedAmong(const std::optional<qint64>& only)
{
    const QString oneRun = only ? QStringLiteral(" AND RunID = ?") : QString();
    const QVariantList bound = only ? QVariantList{*only} : QVariantList{};
    QMap<qint64, QString> damaged;
    for (QSqlQuery q = run(QStringLiteral("SELECT RunID FROM tblRuns WHERE (") + kRequiredRunValues
                               + QStringLiteral(")") + oneRun,
                           bound);
         q.next();)
        damaged.insert(q.value(0).toLongLong(), QStringLiteral("a value it needs is missing"));
    for (QSqlQuery q =
             run(QStringLiteral("SELECT RunID, Sensitivity, Specificity FROM tblRuns WHERE (Sensitivity < 0 OR "
                                "Sensitivity > 100 OR Specificity < 0 OR Specificity > 100)")
                     + oneRun,
                 bound);
         q.next();)
        damaged.insert(q.value(0).toLongLong(), QStringLiteral("its scores %1 and %2 are not both percentages")
                                                    .arg(q.value(1).toString(), q.value(2).toString()));
    for (QSqlQuery q =
             run(QStringLiteral("SELECT RunID, Name, Successes, Trials FROM tblRunFigures WHERE (Name IS NULL OR "
                                "Successes IS NULL OR Trials IS NULL OR Successes < 0 OR Successes > Trials)")
                     + oneRun,
                 bound);
         q.next();)
        damaged.insert(q.value(0).toLongLong(),
                       q.isNull(1) || q.isNull(2) || q.isNull(3)
                           ? QStringLiteral("a value it needs is missing")
                           : QStringLiteral("%1 counts %2 successes of %3 trials")
                                 .arg(q.value(1).toString(), q.value(2).toString(), q.value(3).toString()));
    std::vector<std::pair<qint64, QString>> runs;
    for (auto it = damaged.cbegin(); it != damaged.cend(); ++it) runs.emplace_back(it.key(), it.value());
    return runs;
}

} // namespace

std::vector<std::pair<qint64, QString>> damagedRuns() { return damagedAmong(std::nullopt); }

std::optional<QString> runDamage(qint64 id)
{
    const std::vector<std::pair<qint64, QString>> damaged = damagedAmong(id);
    return damaged.empty() ? std::nullopt : std::optional<QString>(damaged.front().second);
}

qint64 saveRun(const QString& file, qint64 size, const QString& sha256)
{
    const std::vector<Figure> figures = currentFigures();
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const QDateTime time = now.addMSecs(-now.time().msec());
    const QString deck = QStringLiteral("%1").arg(quint32(deckFingerprint()), 8, 16, QLatin1Char('0'));
    const QSqlQuery insert =
        run(QStringLiteral("INSERT INTO tblRuns (RunTime, FileName, FileSize, Sha256, RowsLoaded, Deck, "
                           "Sensitivity, Specificity) VALUES (?, ?, ?, ?, ?, ?, ?, ?)"),
            {time.toString(Qt::ISODate), QFileInfo(file).fileName(), size, sha256,
             countRows(QStringLiteral("IIS_LOADED_CHILD_ALL")), deck, figures[0].value().value_or(0),
             figures[1].value().value_or(0)});
    const qint64 id = insert.lastInsertId().toLongLong();
    // SQLite's own interface: through Qt, binding each figure's values cost more than storing them.
    NativeStatement figure("INSERT INTO tblRunFigures (RunID, Position, Name, Label, FigureOrder, Successes, Trials) "
                           "VALUES (?, ?, ?, ?, ?, ?, ?)");
    for (size_t i = 0; i < figures.size(); ++i) {
        const Figure& f = figures[i];
        figure.bindInt(1, id);
        figure.bindInt(2, qint64(i));
        figure.bindText(3, f.name);
        figure.bindText(4, f.label);
        figure.bindInt(5, f.order);
        figure.bindInt(6, f.counts.successes);
        figure.bindInt(7, f.counts.trials);
        figure.exec();
    }
    NativeStatement outcomes(
        "INSERT INTO tblRunOutcomes (RunID, ID, Outcome) SELECT ?, ID, Outcome FROM tblRecordOutcomes ORDER BY ID");
    outcomes.bindInt(1, id);
    outcomes.exec();
    return id;
}

std::vector<SavedRun> savedRuns()
{
    const QSet<qint64> damaged = damagedIds();
    std::vector<SavedRun> runs;
    for (QSqlQuery q = run(QStringLiteral("SELECT ") + kRunColumns + QStringLiteral(" ORDER BY RunID")); q.next();)
        if (!damaged.contains(q.value(0).toLongLong())) runs.push_back(runOf(q));
    return runs;
}

std::optional<qint64> resolveRun(qint64 named)
{
    QSqlQuery q =
        named > 0 ? run(QStringLiteral("SELECT RunID FROM tblRuns WHERE RunID = ?"), {named})
                  : run(QStringLiteral("SELECT RunID FROM tblRuns ORDER BY RunID DESC LIMIT 1 OFFSET ?"), {-named - 1});
    if (named == 0 || !q.next()) return std::nullopt;
    return q.value(0).toLongLong();
}

std::optional<SavedRun> savedRun(qint64 id)
{
    if (const std::optional<QString> cause = runDamage(id))
        throw DbError(DbError::General, QStringLiteral("Run %1 is damaged: %2.").arg(id).arg(*cause));
    QSqlQuery q = run(QStringLiteral("SELECT ") + kRunColumns + QStringLiteral(" WHERE RunID = ?"), {id});
    if (!q.next()) return std::nullopt;
    return runOf(q);
}

std::vector<Figure> runFigures(qint64 id)
{
    std::vector<Figure> figures;
    for (QSqlQuery q =
             run(QStringLiteral("SELECT Name, Label, FigureOrder, Successes, Trials FROM tblRunFigures WHERE RunID = ? "
                                "ORDER BY Position"),
                 {id});
         q.next();)
        figures.push_back({q.value(0).toString(),
                           q.value(1).toString(),
                           q.value(2).toInt(),
                           {q.value(3).toLongLong(), q.value(4).toLongLong()}});
    return figures;
}

std::vector<TrendPoint> trend(qint64 fromRun)
{
    const QSet<qint64> damaged = damagedIds();
    std::vector<TrendPoint> points;
    // The overall figures come first in every run: their positions find them by the index.
    for (QSqlQuery q = run(
             QStringLiteral(
                 "SELECT r.RunID, r.RunTime, f.Name, f.Label, f.Successes, f.Trials FROM tblRuns r JOIN tblRunFigures "
                 "f ON "
                 "f.RunID = r.RunID AND f.Position < 2 AND f.Name IN ('sensitivity', 'specificity') WHERE r.RunID >= ? "
                 "ORDER BY r.RunID, f.Position"),
             {fromRun});
         q.next();) {
        const qint64 id = q.value(0).toLongLong();
        if (damaged.contains(id)) continue;
        if (points.empty() || points.back().run != id)
            points.push_back({id, QDateTime::fromString(q.value(1).toString(), Qt::ISODate), {}, {}});
        const Figure figure{
            q.value(2).toString(), q.value(3).toString(), 0, {q.value(4).toLongLong(), q.value(5).toLongLong()}};
        (figure.isSensitivity() ? points.back().sensitivity : points.back().specificity) = figure;
    }
    return points;
}

RunComparison compareRuns(qint64 from, qint64 to)
{
    for (qint64 id : {from, to})
        if (const std::optional<QString> cause = runDamage(id))
            throw DbError(DbError::General, QStringLiteral("Run %1 is damaged: %2.").arg(id).arg(*cause));
    RunComparison comparison{from, to, {}, {}};
    const std::vector<Figure> before = runFigures(from);
    QHash<QString, const Figure*> beforeByName;
    for (const Figure& f : before) beforeByName.insert(f.name, &f);
    for (const Figure& f : runFigures(to)) {
        const Figure* b = beforeByName.take(f.name);
        comparison.figures.push_back({b ? *b : Figure{f.name, f.label, f.order, {}}, f});
    }
    for (const Figure& f : before) // figures the later run lacks
        if (beforeByName.contains(f.name)) comparison.figures.push_back({f, Figure{f.name, f.label, f.order, {}}});

    for (QSqlQuery q =
             run(QStringLiteral(
                     "SELECT a.ID, a.Outcome, b.Outcome FROM tblRunOutcomes a LEFT JOIN tblRunOutcomes b ON b.RunID = "
                     "? AND b.ID = a.ID "
                     "WHERE a.RunID = ? AND b.Outcome IS NOT a.Outcome "
                     "UNION ALL SELECT b.ID, NULL, b.Outcome FROM tblRunOutcomes b WHERE b.RunID = ? "
                     "AND NOT EXISTS (SELECT 1 FROM tblRunOutcomes a WHERE a.RunID = ? AND a.ID = b.ID) ORDER BY 1"),
                 {to, from, to, from});
         q.next();)
        comparison.changed.push_back({q.value(0).toLongLong(), q.value(1).toString(), q.value(2).toString()});
    return comparison;
}

} // namespace history
} // namespace marrowick
