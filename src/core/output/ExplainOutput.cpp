#include "ExplainOutput.h"

#include "database/Csv.h"
#include "database/Db.h"
#include "reports/Explanation.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace marrowick {

namespace {

// The records a registry's interface rejected when they were sent to it (AR,
// or AE with an error), in its own words: they never reached its matching, so
// their outcome says nothing of its de-duplication.
QHash<qint64, QString> rejectedAtSubmission()
{
    QHash<qint64, QString> rejected;
    QSqlQuery q = run(QStringLiteral("SELECT RecordID, AckCode, Errors FROM tblRegistrySends "
                                     "WHERE State = 'acknowledged' AND Rejected = 1"));
    while (q.next())
        rejected.insert(q.value(0).toLongLong(),
                        QStringLiteral("%1: %2").arg(q.value(1).toString(),
                                                     q.value(2).toString().replace(u'\n', QStringLiteral("; "))));
    return rejected;
}

QString clientText(const RecordOutcome& r) { return r.client ? QString::number(*r.client) : QString(); }
QString attemptText(const RecordOutcome& r) { return r.attempt ? QString::number(*r.attempt) : QString(); }

QByteArray csvOf(const std::vector<RecordOutcome>& records)
{
    QList<QStringList> lines{{QStringLiteral("id"), QStringLiteral("group"), QStringLiteral("problem"),
                              QStringLiteral("outcome"), QStringLiteral("attempt"), QStringLiteral("client"),
                              QStringLiteral("flag"), QStringLiteral("differs")}};
    for (const RecordOutcome& r : records)
        lines << QStringList{QString::number(r.id),
                             QString::number(r.group),
                             r.problem,
                             outcomeCode(r.outcome),
                             attemptText(r),
                             clientText(r),
                             r.flag,
                             r.differs.join(QLatin1Char(' '))};
    return spreadsheetDocument(lines);
}

QByteArray jsonOf(const std::vector<RecordOutcome>& records)
{
    QJsonArray array;
    const QHash<qint64, QString> rejected = rejectedAtSubmission();
    for (const RecordOutcome& r : records) {
        QJsonObject record{{QStringLiteral("id"), r.id},
                           {QStringLiteral("group"), r.group},
                           {QStringLiteral("problem"), r.problem},
                           {QStringLiteral("outcome"), outcomeCode(r.outcome)},
                           {QStringLiteral("attempt"), r.attempt ? QJsonValue(*r.attempt) : QJsonValue()},
                           {QStringLiteral("client"), r.client ? QJsonValue(clientText(r)) : QJsonValue()},
                           {QStringLiteral("flag"), r.flag.isEmpty() ? QJsonValue() : QJsonValue(r.flag)},
                           {QStringLiteral("differs"), QJsonArray::fromStringList(r.differs)}};
        if (rejected.contains(r.id)) record.insert(QStringLiteral("rejected_at_submission"), rejected.value(r.id));
        array.append(record);
    }
    return QJsonDocument(QJsonObject{{QStringLiteral("records"), array}}).toJson(QJsonDocument::Indented);
}

// One block per record: the facts on one line, how it was found, the verdict.
QByteArray textOf(const std::vector<RecordOutcome>& records)
{
    const QHash<qint64, QString> rejected = rejectedAtSubmission();
    QString out;
    for (const RecordOutcome& r : records) {
        out += QStringLiteral("Record %1  group %2  %3  %4  attempt %5  client %6  flag %7  differs: %8\n")
                   .arg(r.id)
                   .arg(r.group)
                   .arg(r.problem, outcomeCode(r.outcome), r.attempt ? attemptText(r) : QStringLiteral("-"),
                        r.client ? clientText(r) : QStringLiteral("-"), r.flag.isEmpty() ? QStringLiteral("-") : r.flag,
                        r.differs.isEmpty() ? QStringLiteral("-") : r.differs.join(QStringLiteral(", ")));
        out += QStringLiteral("  %1.\n  %2\n").arg(attemptWords(r.attempt), explain::verdict(r));
        if (rejected.contains(r.id))
            out += QStringLiteral("  Rejected at submission, not a de-duplication finding: the registry answered %1\n")
                       .arg(rejected.value(r.id));
        out += QLatin1Char('\n');
    }
    return out.toUtf8();
}

} // namespace

QByteArray explainText(const std::vector<RecordOutcome>& records, ReportFormat format)
{
    switch (format) {
    case ReportFormat::Csv:
        return csvOf(records);
    case ReportFormat::Json:
        return jsonOf(records);
    case ReportFormat::Text:
        break;
    }
    return textOf(records);
}

void writeExplanations(const std::vector<RecordOutcome>& records, ReportFormat format, const QString& outputDir)
{
    writeOutput(explainText(records, format), outputDir, QStringLiteral("explain") + formatExtension(format),
                QStringLiteral("The explanations"));
}

} // namespace marrowick
