#include "RegistrySend.h"

#include "Acknowledgement.h"
#include "Hl7Message.h"
#include "RegistryExchange.h"
#include "RegistryFault.h"
#include "database/Csv.h"
#include "database/Db.h"
#include "database/Savepoint.h"
#include "export/DeckExport.h"
#include "platform/FileRefused.h"

#include <QDateTime>
#include <QFile>
#include <QSet>
#include <optional>

namespace marrowick {

QString FacilityMap::facilityFor(const QString& clinic) const
{
    const auto found = byClinic.constFind(clinic);
    if (found != byClinic.constEnd()) return *found;
    return single.isEmpty() ? clinic : single;
}

FacilityMap FacilityMap::read(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw FileRefused(FileRefused::Role::Input,
                          QStringLiteral("The facility map %1 cannot be read: %2").arg(path, file.errorString()));
    QSet<QString> clinics;
    for (const auto& record : deckRecords()) clinics.insert(record.value(QStringLiteral("FacilityID")));
    CsvReader reader(CsvReader::decode(file.readAll()));
    FacilityMap map;
    QStringList fields;
    for (bool first = true; reader.next(fields); first = false) {
        const QString clinic = fields.value(0).trimmed();
        const QString facility = fields.value(1).trimmed();
        // Only a header that names the column is skipped: a misspelt clinic on the first line is refused.
        const bool header = clinic.startsWith(QLatin1String("clinic"), Qt::CaseInsensitive)
                            || clinic.startsWith(QLatin1String("facility"), Qt::CaseInsensitive);
        if (first && header && !clinics.contains(clinic)) continue;
        if (!clinics.contains(clinic) || facility.isEmpty() || fields.size() != 2)
            throw FileRefused(FileRefused::Role::Input,
                              QStringLiteral("The facility map %1 has a line that is not \"clinic,facility ID\" for "
                                             "one of the deck's clinics (%2): %3")
                                  .arg(path, QStringList(clinics.begin(), clinics.end()).join(QLatin1Char(' ')),
                                       fields.join(QLatin1Char(','))));
        map.byClinic.insert(clinic, facility);
    }
    return map;
}

namespace {

// One record's row of tblRegistrySends.
struct SendState {
    QString controlId, state, sentAt, ackCode, errors, endpoint;
    bool rejected = false;
};

std::optional<SendState> stateOf(int recordId)
{
    QSqlQuery q = run(QStringLiteral("SELECT ControlID, State, SentAt, AckCode, Errors, Endpoint, Rejected "
                                     "FROM tblRegistrySends WHERE RecordID = ?"),
                      {recordId});
    if (!q.next()) return std::nullopt;
    return SendState{q.value(0).toString(), q.value(1).toString(), q.value(2).toString(), q.value(3).toString(),
                     q.value(4).toString(), q.value(5).toString(), q.value(6).toBool()};
}

// Each write is one statement, so one transaction of its own.
void store(int recordId, const std::optional<SendState>& state)
{
    if (!state) {
        run(QStringLiteral("DELETE FROM tblRegistrySends WHERE RecordID = ?"), {recordId});
        return;
    }
    run(QStringLiteral("INSERT OR REPLACE INTO tblRegistrySends "
                       "(RecordID, ControlID, State, SentAt, AckCode, Errors, Endpoint, Rejected) "
                       "VALUES (?, ?, ?, ?, ?, ?, ?, ?)"),
        {recordId, state->controlId, state->state, state->sentAt, state->ackCode, state->errors, state->endpoint,
         state->rejected ? 1 : 0});
}

// Commits the send state one record at a time: a record's acknowledgement is
// committed together with the next record's mark, one transaction a record. An
// answer lost to an interruption before that leaves its record in flight, to
// go again under its control ID, which is what the registry can recognise.
class Ledger {
public:
    void markSending(int recordId, const SendState& state)
    {
        Savepoint unit;
        flush();
        store(recordId, state);
        unit.commit();
    }
    void acknowledge(int recordId, const SendState& state) { m_pending = {recordId, state}; }
    void flush()
    {
        if (m_pending) store(m_pending->first, m_pending->second);
        m_pending.reset();
    }

private:
    std::optional<std::pair<int, SendState>> m_pending;
};

// A send commits once a record, 550 times: in the rollback journal each commit
// waits for the disk twice, which made a send wait seconds on a busy disk. The
// write-ahead log commits without waiting (synchronous NORMAL): a killed
// process loses nothing, a power cut at most the last acknowledgements, never
// the file's integrity, and those records go again with their control IDs. The
// file goes back to its usual journal when the send ends; one that a killed
// send left in the log is read as it is and goes back at the next send's end.
class WriteAheadWhileSending {
public:
    WriteAheadWhileSending()
    {
        run(QStringLiteral("PRAGMA journal_mode = WAL"));
        run(QStringLiteral("PRAGMA synchronous = NORMAL"));
    }
    ~WriteAheadWhileSending()
    {
        try {
            run(QStringLiteral("PRAGMA synchronous = FULL"));
            run(QStringLiteral("PRAGMA journal_mode = DELETE"));
        } catch (const DbError&) {
            // The log stays: SQLite reads the file with it, and the next send's end folds it back.
        }
    }
    WriteAheadWhileSending(const WriteAheadWhileSending&) = delete;
    WriteAheadWhileSending& operator=(const WriteAheadWhileSending&) = delete;
};

const QString kSending = QStringLiteral("sending");
const QString kAcknowledged = QStringLiteral("acknowledged");

} // namespace

SendSummary RegistrySend::run()
{
    const FacilityMap& facilities = m_options.facilities;
    const QList<DeckMessage> messages = deckMessages(
        {DeckFormat::Hl7, u'T', {}}, [&](const QString& clinic) { return facilities.facilityFor(clinic); });
    const QString endpoint = m_options.connection.endpoint.url.adjusted(QUrl::RemoveUserInfo).toString();
    RegistryExchange registry(m_options.connection, open, pause, m_options.rate, m_options.retries);
    SendSummary summary;
    const WriteAheadWhileSending journal;
    Ledger ledger;
    for (qsizetype i = 0; i < messages.size(); ++i) {
        if (cancelled && cancelled()) {
            summary.cancelled = true;
            break;
        }
        const DeckMessage& message = messages[i];
        const std::optional<SendState> before = stateOf(message.recordId);
        // What another registry acknowledged has not reached this one.
        const bool here = before && before->endpoint == endpoint;
        const bool acknowledged = here && before->state == kAcknowledged;
        if (acknowledged && !m_options.resend) {
            ++summary.skipped;
            if (onProgress) onProgress({int(i + 1), int(messages.size()), message.recordId, before->ackCode});
            continue;
        }
        // The one in flight at an interruption goes again as the same message.
        const QString controlId = here && !acknowledged ? before->controlId : message.controlId;
        SendState state{controlId, kSending, QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs),
                        {},        {},       endpoint};
        ledger.markSending(message.recordId, state);
        QByteArray answer;
        try {
            answer = registry.exchange(withControlId(message.text, controlId), facilities.facilityFor(message.clinic));
        } catch (const RegistryFault& fault) {
            if (fault.kind() == RegistryFault::Kind::Soap || fault.kind() == RegistryFault::Kind::Tls)
                store(message.recordId, before);
            throw;
        }
        const Acknowledgement ack = Acknowledgement::read(answer);
        state.state = kAcknowledged;
        state.ackCode = ack.code;
        state.errors = ack.errorText();
        state.rejected = ack.rejected();
        ledger.acknowledge(message.recordId, state);
        ++summary.sent;
        if (onProgress) onProgress({int(i + 1), int(messages.size()), message.recordId, ack.code});
    }
    ledger.flush();
    summary.accepted =
        int(scalar(QStringLiteral("SELECT count(*) AS n FROM tblRegistrySends WHERE State = ? AND Rejected = 0"),
                   QStringLiteral("n"), {kAcknowledged})
                .toLongLong());
    summary.rejected = rejections();
    return summary;
}

QList<RejectedRecord> RegistrySend::rejections()
{
    QList<RejectedRecord> rejected;
    QSqlQuery q = marrowick::run(QStringLiteral("SELECT RecordID, AckCode, Errors FROM tblRegistrySends "
                                                "WHERE State = ? AND Rejected = 1 ORDER BY RecordID"),
                                 {kAcknowledged});
    while (q.next()) rejected.append({q.value(0).toInt(), q.value(1).toString(), q.value(2).toString()});
    return rejected;
}

void RegistrySend::forget() { marrowick::run(QStringLiteral("DELETE FROM tblRegistrySends")); }

} // namespace marrowick
