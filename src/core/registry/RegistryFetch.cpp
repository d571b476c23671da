#include "RegistryFetch.h"

#include "RegistryExchange.h"
#include "database/Csv.h"
#include "export/DeckExport.h"
#include "import/clsProcessResultsFile.h"
#include "platform/FileRefused.h"
#include "platform/OutputFile.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <algorithm>

namespace marrowick {

namespace {

QueryPerson personOf(const QHash<QString, QString>& record, const FacilityMap& facilities)
{
    auto v = [&](const char* name) { return record.value(QLatin1String(name)); };
    QueryPerson p;
    p.recordNumber = v("MedicalRecordNumber");
    p.authority = facilities.facilityFor(v("FacilityID"));
    p.last = v("LastName");
    p.first = v("FirstName");
    p.middle = v("MiddleName");
    p.suffix = v("NameSuffix");
    p.momMaiden = v("MotherMaiden");
    p.momFirst = v("MotherFirst");
    p.dob = v("DateOfBirth (yyyymmdd)");
    p.sex = v("Sex (M/F/U)");
    p.street = v("Street");
    p.city = v("City");
    p.state = v("State");
    p.zip = v("ZIP");
    p.phone = v("Phone");
    p.multipleBirth = v("MultipleBirth (Y/N)");
    p.birthOrder = v("BirthOrder");
    return p;
}

// One row per dose in the import's field order.
void appendRows(const RegistryClient& c, QByteArray& out, int& rows)
{
    for (const RegistryClient::Dose& dose : c.doses) {
        out += csvRecord({c.clientId, c.flagged ? QStringLiteral("Y") : QStringLiteral("N"), c.last, c.first, c.middle,
                          c.suffix, c.dob, c.sex, c.momMaiden, c.momLast, c.momFirst, c.momMiddle, dose.cvx, dose.date,
                          dose.mvx})
                   .toUtf8()
               + "\r\n";
        ++rows;
    }
}

// The import takes a client number of digits only, as a 32-bit number: a
// registry whose own identifiers are not has its clients numbered 1, 2, ...
// in the order they were met (the scores depend only on which rows share a
// client), and the raw answers name each number's identifier.
bool renumberUnlessNumbers(QList<RegistryClient>& clients, QByteArray& responses)
{
    const bool numbers = std::all_of(clients.cbegin(), clients.cend(), [](const RegistryClient& c) {
        return c.clientId.size() <= 12 && clsProcessResultsFile::ValidNumber(c.clientId);
    });
    if (numbers) return false;
    for (qsizetype i = 0; i < clients.size(); ++i) {
        responses += QStringLiteral("# client %1 is the registry's %2\n").arg(i + 1).arg(clients[i].clientId).toUtf8();
        clients[i].clientId = QString::number(i + 1);
    }
    return true;
}

void count(const QueryAnswer& answer, FetchSummary& summary)
{
    switch (answer.kind) {
    case QueryAnswer::Kind::One:
        ++summary.one;
        break;
    case QueryAnswer::Kind::Several:
        ++summary.several;
        break;
    case QueryAnswer::Kind::NotFound:
        ++summary.notFound;
        break;
    case QueryAnswer::Kind::Error:
        ++summary.errors;
        break;
    }
}

} // namespace

FetchSummary RegistryFetch::run()
{
    const QList<QHash<QString, QString>> records = deckRecords();
    RegistryExchange registry(m_options.connection, open, pause, m_options.rate, m_options.retries);
    // Control IDs as the deck's: the query's UTC time to the millisecond and the record number.
    const QString prefix = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMddHHmmsszzz"));
    FetchSummary summary;
    summary.outputFile = m_options.outputFile;
    refuseExisting(m_options);
    summary.responsesFile = responsesFileOf(m_options);
    summary.flagSource = m_options.flag ? QStringLiteral("from ") + m_options.flag->text()
                                        : QStringLiteral("N for every row (no --flag-field)");
    QSet<QString> seen;
    QList<RegistryClient> clients;
    QByteArray results, responses;
    for (qsizetype i = 0; i < records.size(); ++i) {
        if (cancelled && cancelled()) {
            summary.cancelled = true;
            return summary;
        }
        const int recordId = int(i + 1);
        const QueryPerson person = personOf(records[i], m_options.facilities);
        const QString controlId = prefix + QStringLiteral("%1").arg(recordId, 3, 10, QLatin1Char('0'));
        const QByteArray answer = registry.exchange(writeQuery(person, controlId, person.authority), person.authority);
        responses += QStringLiteral("# record %1, query %2\n").arg(recordId).arg(controlId).toUtf8() + answer + "\n\n";
        const QueryAnswer read = QueryAnswer::read(answer, m_options.flag);
        ++summary.queried;
        count(read, summary);
        for (const RegistryClient& client : read.clients) {
            if (seen.contains(client.clientId)) continue;
            seen.insert(client.clientId);
            if (client.doses.isEmpty()) {
                ++summary.withoutDoses;
                continue;
            }
            clients << client;
        }
        if (onProgress) onProgress({recordId, int(records.size()), recordId});
    }
    summary.renumbered = renumberUnlessNumbers(clients, responses);
    for (const RegistryClient& client : clients) appendRows(client, results, summary.rows);
    summary.clients = int(clients.size());
    writeOutputFile(summary.responsesFile, responses);
    writeOutputFile(summary.outputFile, results);
    return summary;
}

QString RegistryFetch::responsesFileOf(const FetchOptions& options)
{
    if (!options.responsesFile.isEmpty()) return options.responsesFile;
    const QFileInfo info(options.outputFile);
    return info.dir().filePath(info.completeBaseName() + QStringLiteral("-responses.hl7"));
}

void RegistryFetch::refuseExisting(const FetchOptions& options)
{
    for (const QString& path : {options.outputFile, responsesFileOf(options)})
        if (QFileInfo::exists(path))
            throw FileRefused::told(FileRefused::Role::Output, QStringLiteral("Error"),
                                    QStringLiteral("%1 already exists and is not replaced: name another results "
                                                   "file, or move this one away.")
                                        .arg(path));
}

QString RegistryFetch::defaultOutputFile(const QString& databaseFile)
{
    return QFileInfo(databaseFile)
        .dir()
        .filePath(QDateTime::currentDateTime().toString(QStringLiteral("'registry-results-'yyyyMMdd-HHmmss'.txt'")));
}

} // namespace marrowick
