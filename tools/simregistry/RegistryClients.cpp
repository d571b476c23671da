#include "RegistryClients.h"

#include "database/Csv.h"

namespace marrowick::sim {

RegistryClients::RegistryClients(const RegistrySimulator& rules) : m_rules(rules)
{
    const QList<QList<int>>& groups = rules.m_groups;
    for (qsizetype g = 0; g < groups.size(); ++g)
        for (int id : groups[g]) m_groupOf.insert(id, int(g));
}

std::optional<size_t> RegistryClients::matchFor(const TestRecord& record, bool& flag) const
{
    if (m_rules.m_policy == Policy::Perfect) {
        const auto it = m_clientOfGroup.constFind(m_groupOf.value(record.id, -1));
        if (it != m_clientOfGroup.constEnd()) return it.value();
        return std::nullopt;
    }
    // The first client it is taken for wins; a resemblance before it flags
    // only a record that ends as a new client.
    for (size_t c = 0; c < m_clients.size(); ++c) {
        const RegistrySimulator::Verdict verdict = m_rules.compare(record, m_clients[c].survivor);
        if (verdict == RegistrySimulator::Verdict::Merge) return c;
        if (verdict == RegistrySimulator::Verdict::Flag) flag = true;
    }
    return std::nullopt;
}

const Outcome& RegistryClients::add(const TestRecord& record)
{
    Outcome outcome;
    outcome.id = record.id;
    bool flag = false;
    std::optional<size_t> target = matchFor(record, flag);
    if (target) {
        SimClient& client = m_clients[*target];
        outcome.action = QStringLiteral("merged");
        outcome.client = client.id;
        outcome.mergedInto = client.records.first().id;
        client.records << record;
    } else {
        m_clients.push_back({m_nextId++, record, flag, {record}});
        target = m_clients.size() - 1;
        outcome.action = flag ? QStringLiteral("flagged") : QStringLiteral("new");
        outcome.client = m_clients.back().id;
        m_clientOfGroup.insert(m_groupOf.value(record.id, -1), *target);
    }
    m_clientOfRecord.insert(record.id, *target);
    m_lines.push_back({*target, m_clients[*target].records.size() - 1});
    m_outcomes.push_back(outcome);
    return m_outcomes.back();
}

const SimClient* RegistryClients::clientOf(int recordId) const
{
    const auto it = m_clientOfRecord.constFind(recordId);
    return it == m_clientOfRecord.constEnd() ? nullptr : &m_clients[it.value()];
}

QString RegistryClients::clientNumber(const SimClient& client) const
{
    // The typical registry pads its client numbers.
    return m_rules.m_policy == Policy::Typical ? QStringLiteral("%1").arg(client.id, 9, 10, QLatin1Char('0'))
                                               : QString::number(client.id);
}

QString RegistryClients::flagText(const SimClient& client) const
{
    // The aggressive registry leaves the flag empty when nothing is flagged.
    return client.flagged ? QStringLiteral("Y")
                          : (m_rules.m_policy == Policy::Aggressive ? QString() : QStringLiteral("N"));
}

QByteArray RegistryClients::resultsFile() const
{
    QString results;
    for (const Line& line : m_lines) {
        // The client's kept demographics with the record's own vaccination.
        const SimClient& c = m_clients[line.client];
        const TestRecord& s = c.survivor;
        const TestRecord& r = c.records[line.record];
        // clang-format off
        const QStringList fields{clientNumber(c), flagText(c), s.last, s.first, s.middle, s.suffix, s.dob, s.sex,
                                 s.momMaiden, s.momLast, s.momFirst, s.momMiddle, r.cvx, r.vacDate, r.mvx};
        // clang-format on
        results += csvRecord(fields) + QStringLiteral("\r\n");
    }
    return results.toUtf8();
}

QByteArray RegistryClients::truth() const
{
    QString truth = QStringLiteral("ID,Action,ClientID,MergedIntoID\n");
    for (const Outcome& o : m_outcomes)
        truth += QStringLiteral("%1,%2,%3,%4\n")
                     .arg(o.id)
                     .arg(o.action)
                     .arg(o.client ? QString::number(o.client) : QString())
                     .arg(o.mergedInto ? QString::number(o.mergedInto) : QString());
    return truth.toUtf8();
}

} // namespace marrowick::sim
