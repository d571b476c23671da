#pragma once
#include "RegistrySimulator.h"

#include <QHash>
#include <QList>
#include <vector>

namespace marrowick::sim {

// One client the registry keeps: the demographics of the record that created
// it, its flag, and every test record merged into it (the first created it).
struct SimClient {
    qint64 id = 0;
    TestRecord survivor;
    bool flagged = false;
    QList<TestRecord> records;
};

// The registry's clients as test records arrive, one at a time, de-duplicated
// by the simulator's policy. The file and the test interface both feed it, so
// a deck sent message by message ends as the file would have.
class RegistryClients {
public:
    explicit RegistryClients(const RegistrySimulator& rules);

    // Takes one record in; what the registry did with it.
    const Outcome& add(const TestRecord& record);
    bool holds(int recordId) const { return m_clientOfRecord.contains(recordId); }
    // The client a record was merged into or created; nullptr for none.
    const SimClient* clientOf(int recordId) const;
    const std::vector<SimClient>& clients() const { return m_clients; }

    // The client number and the flag as the export writes them for the policy.
    QString clientNumber(const SimClient& client) const;
    QString flagText(const SimClient& client) const;

    // The export: one line per record taken in, in the order they came.
    QByteArray resultsFile() const;
    // One line per record: ID,Action,ClientID,MergedIntoID.
    QByteArray truth() const;
    const std::vector<Outcome>& outcomes() const { return m_outcomes; }

private:
    std::optional<size_t> matchFor(const TestRecord& record, bool& flag) const;

    const RegistrySimulator& m_rules;
    QHash<int, int> m_groupOf;
    std::vector<SimClient> m_clients;
    QHash<int, size_t> m_clientOfGroup;
    QHash<int, size_t> m_clientOfRecord;
    struct Line {
        size_t client;
        qsizetype record; // in the client's records
    };
    std::vector<Line> m_lines;
    std::vector<Outcome> m_outcomes;
    qint64 m_nextId = 100001;
};

} // namespace marrowick::sim
