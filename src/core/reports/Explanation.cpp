#include "Explanation.h"

#include "analysis/ProblemCode.h"
#include "database/Db.h"

#include <QHash>
#include <QSet>
#include <QSqlQuery>

namespace marrowick {

namespace explain {

QString problemWords(qint64 id)
{
    QSqlQuery q = run(QStringLiteral("SELECT d.ProblemCode, p.ProbDesc, s.ProbDesc FROM DupTestData d "
                                     "LEFT JOIN tblProbDescMap p ON p.ProbCode = d.ProblemCode "
                                     "LEFT JOIN tblSecondProbDescMap s ON s.ProbCode = d.SecondProblem WHERE d.ID = ?"),
                      {id});
    if (!q.next()) return QString();
    if (!q.value(1).toString().isEmpty()) return q.value(1).toString();
    if (problem::isLookAlikeCode(q.value(0).toString()))
        return q.value(2).toString().isEmpty()
                   ? QStringLiteral("Look-alike of another person")
                   : QStringLiteral("Look-alike of another person: ") + q.value(2).toString();
    if (problem::isBaseRecordCode(q.value(0).toString())) return QStringLiteral("Not a duplicate");
    return q.value(0).toString();
}

} // namespace explain

namespace {
constexpr int kFieldCount = 10;
enum Column {
    Verdict,
    Heading,
    RowName,
    FirstCompared,
    Vaccination = FirstCompared + kFieldCount,
    Client,
    Flag,
    Found,
    OutcomeWords,
    Differs,
    ColumnCount
};
} // namespace

const QStringList& ExplanationModel::fields()
{
    static const QStringList names = [] {
        QStringList n{QStringLiteral("Verdict"), QStringLiteral("Heading"), QStringLiteral("Row")};
        for (const auto& f : explain::comparedFields()) n << f.first;
        n << QStringLiteral("Vaccination") << QStringLiteral("Client") << QStringLiteral("Flag")
          << QStringLiteral("Found") << QStringLiteral("Outcome") << QStringLiteral("Differs");
        return n;
    }();
    return names;
}

ExplanationModel::ExplanationModel(qint64 id, QObject* parent) : QAbstractTableModel(parent)
{
    const std::vector<RecordOutcome> self = explain::outcomesOf({id});
    if (self.empty()) return;
    m_record = self.front();
    m_verdict = explain::verdict(m_record);
    const QString heading = QStringLiteral("Test record %1, place %2 of group %3; problem type %4; outcome: %5")
                                .arg(m_record.id)
                                .arg(m_record.place)
                                .arg(m_record.group)
                                .arg(explain::problemWords(m_record.id), outcomeWords(m_record.outcome));

    // The main record's values, which every other row is compared with.
    QStringList mainValues;
    {
        QSqlQuery q =
            run(QStringLiteral("SELECT d.LastName, d.FirstName, d.MiddleName, d.Suffix, d.DOB, d.Sex, d.MomMaiden, "
                               "d.MomLast, d.MomFirst, d.MomMiddle FROM tblRecordOutcomes o JOIN DupTestData d ON "
                               "d.ID = o.ID WHERE o.GroupNo = ? AND o.Place = 1"),
                {m_record.group});
        if (q.next())
            for (int f = 0; f < kFieldCount; ++f) mainValues << q.value(f).toString();
    }
    auto addRow = [&](bool testRecord, const QString& name, const QVariantList& values, const QString& vaccination,
                      const QString& client, const QString& flag, const QString& found, const QString& outcome) {
        Row row;
        row.testRecord = testRecord;
        row.cells << m_verdict << heading << name;
        QStringList differing;
        for (int f = 0; f < kFieldCount; ++f) {
            row.cells << values[f].toString();
            if (f < mainValues.size() && !explain::sameValue(values[f], mainValues[f])) {
                row.differing.insert(FirstCompared + f);
                differing << explain::comparedFields()[size_t(f)].second;
            }
        }
        row.cells << vaccination << client << flag << found << outcome << differing.join(QStringLiteral(", "));
        m_rows.push_back(row);
    };

    QSet<qint32> shownClients;
    for (const RecordOutcome& member : explain::outcomesSelected(QStringLiteral("all"))) {
        if (member.group != m_record.group) continue;
        QSqlQuery d =
            run(QStringLiteral("SELECT d.LastName, d.FirstName, d.MiddleName, d.Suffix, d.DOB, d.Sex, d.MomMaiden, "
                               "d.MomLast, d.MomFirst, d.MomMiddle, v.VacCode, v.VacDate FROM DupTestData d LEFT JOIN "
                               "DupTestVaccination v ON v.ID = d.ID WHERE d.ID = ?"),
                {member.id});
        if (!d.next()) continue;
        QVariantList values;
        for (int f = 0; f < kFieldCount; ++f) values << d.value(f);
        QString name = QStringLiteral("Record %1").arg(member.id);
        if (member.id == m_record.id)
            name += QStringLiteral(" (this)");
        else if (member.place == 1)
            name += QStringLiteral(" (main)");
        addRow(true, name, values,
               QStringLiteral("%1 %2").arg(d.value(10).toString(), d.value(11).toString()).trimmed(),
               member.client ? QString::number(*member.client) : QString(), member.flag, attemptWords(member.attempt),
               outcomeWords(member.outcome));
        if (!member.client || shownClients.contains(*member.client)) continue;
        shownClients.insert(*member.client);
        QSqlQuery loaded =
            run(QStringLiteral("SELECT LastName, FirstName, MiddleName, Suffix, DOB, Sex, MomMaiden, MomLast, "
                               "MomFirst, MomMiddle, VacCode, VacDate, ClientID, QMflag FROM IIS_LOADED_CHILD_ALL "
                               "WHERE CAST(ClientID AS INTEGER) = ? ORDER BY rowid"),
                {*member.client});
        while (loaded.next()) {
            QVariantList registry;
            for (int f = 0; f < kFieldCount; ++f) registry << loaded.value(f);
            addRow(false, QStringLiteral("  registry row"), registry,
                   QStringLiteral("%1 %2").arg(loaded.value(10).toString(), loaded.value(11).toString()).trimmed(),
                   loaded.value(12).toString(), loaded.value(13).toString(),
                   QStringLiteral("as the registry exported it"), QString());
        }
    }
}

int ExplanationModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(m_rows.size()); }
int ExplanationModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

QVariant ExplanationModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid()) return {};
    const Row& row = m_rows[size_t(index.row())];
    const bool differs = row.differing.contains(index.column());
    switch (role) {
    case Qt::DisplayRole:
        return row.cells.value(index.column());
    case Qt::FontRole:
    case Qt::BackgroundRole:
    case Qt::ForegroundRole:
        return emphasis(role, differs, index.column() == RowName && row.testRecord);
    case Qt::ToolTipRole:
        return differs ? QVariant(QStringLiteral("Differs from the group's main record")) : QVariant();
    default:
        return {};
    }
}

QVariant ExplanationModel::emphasis(int, bool, bool) const { return {}; }

QVariant ExplanationModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount) return {};
    if (role == FieldRole) return fields()[section];
    if (role != Qt::DisplayRole) return {};
    if (section >= FirstCompared && section < Vaccination)
        return explain::comparedFields()[size_t(section - FirstCompared)].second;
    static const QStringList captions{
        QStringLiteral("Verdict"),     QStringLiteral("Heading"), QStringLiteral("Record"),
        QStringLiteral("Vaccination"), QStringLiteral("Client"),  QStringLiteral("Flag"),
        QStringLiteral("How found"),   QStringLiteral("Outcome"), QStringLiteral("Differs")};
    return section < FirstCompared ? captions[section] : captions[section - Vaccination + 3];
}

const ReportDef& explanationReport()
{
    static const ReportDef report{.index = -1,
                                  .item = QStringLiteral("Explanation of a Test Record"),
                                  .title = QStringLiteral("Explanation of a Test Record"),
                                  .caption = QStringLiteral("Report Print Preview: Explanation of a Test Record"),
                                  .refill = nullptr,
                                  .query = QString(),
                                  .rules = {},
                                  .page = designs::rptExplanation(),
                                  .fileName = QStringLiteral("rptExplanation")};
    return report;
}

} // namespace marrowick
