#pragma once
#include "RegistryConnection.h"
#include "RegistryEndpoint.h"

#include <QHash>
#include <QList>
#include <QString>
#include <functional>

namespace marrowick {

// Who the deck's five clinics send as. A registry issues its own facility
// IDs for testing: each clinic maps to one (MSH-4, PID-3's assigning
// authority, and the web service's facilityID). With only a facility, every
// message goes under it; with neither, each clinic sends as itself.
struct FacilityMap {
    QHash<QString, QString> byClinic;
    QString single; // --facility without a map

    QString facilityFor(const QString& clinic) const;
    // Reads "clinic,facility ID" lines (a first line whose first field begins
    // with "clinic" or "facility" is a header, and skipped);
    // throws FileRefused (Input) for a file that cannot be read or a clinic
    // the deck does not have.
    static FacilityMap read(const QString& path);
};

// A record the registry did not take in, in the registry's own words.
struct RejectedRecord {
    int recordId = 0;
    QString ackCode;
    QString errors;
};

struct SendOptions {
    ConnectionSettings connection;
    FacilityMap facilities;
    double rate = 0;     // messages per second at most; 0 for no cap
    bool resend = false; // send even the records the registry acknowledged
    int retries = 5;     // per record, for transport faults, with growing pauses
};

struct SendProgress {
    int done = 0, total = 0;
    int recordId = 0;
    QString ackCode;
};

struct SendSummary {
    int sent = 0;                   // messages sent by this run
    int skipped = 0;                // acknowledged by an earlier run, not sent again
    int accepted = 0;               // of all records: acknowledged and taken in
    QList<RejectedRecord> rejected; // of all records
    bool cancelled = false;         // stopped between records when asked
};

// Sends the deck's 550 VXU messages one at a time over one connection and
// keeps each record's state in the evaluation database (cnEval), one record's
// change per transaction, so that an interrupted run resumes where it stopped:
// a record is marked in flight, with its control ID, before it goes, and
// acknowledged after. A record this endpoint acknowledged before is never
// sent again (unless resend); the one in flight at an interruption goes again
// with the same control ID. A record's state from another endpoint counts for
// nothing here: the record goes, and its state is replaced. A record counts as sent only once it is acknowledged.
// Throws RegistryFault for a SOAP fault, a certificate error, or a transport
// fault that outlasts the retries; DbError. After a SOAP fault or a
// certificate error the message was not taken in, so the record's state goes
// back to what it was before (none for a first try: wrong credentials leave
// nothing marked). After a transport fault or an unreadable answer it may
// have arrived, so the record stays in flight and goes again with its ID.
class RegistrySend {
public:
    explicit RegistrySend(SendOptions options) : m_options(std::move(options)) {}

    std::function<void(const SendProgress&)> onProgress;
    std::function<bool()> cancelled;   // checked between records
    std::function<void(int ms)> pause; // waits between retries and for the rate; sleeps by default
    // Opens the connection (openConnection unless set), once per facility for SOAP.
    std::function<std::unique_ptr<RegistryConnection>(const ConnectionSettings&)> open;

    SendSummary run();

    // What the database holds of earlier sends.
    static QList<RejectedRecord> rejections();
    // Forgets every record's state (a new deck sent to a new registry).
    static void forget();

private:
    SendOptions m_options;
};

} // namespace marrowick
