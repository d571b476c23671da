#pragma once
#include "FlagPlacement.h"
#include "RegistryClients.h"

#include <QByteArray>
#include <QHash>
#include <QSet>

namespace marrowick {
class Hl7Message;
}

namespace marrowick::sim {

// The registry's side of its test interface, whatever carries the messages:
// VXU^V04 taken in and de-duplicated as the file is, and Z34 queries (QBP^Q11)
// answered from the clients it keeps.
class RegistryService {
public:
    RegistryService(const RegistrySimulator& rules, QSet<int> rejected, FlagPlacement flag);

    // The registry's HL7 answer to one HL7 message.
    QByteArray answer(const QByteArray& message);
    const RegistryClients& clients() const { return m_clients; }

    // The test record a VXU^V04 carries; nullopt (with the cause) when it
    // lacks what the registry needs.
    static std::optional<TestRecord> readVaccination(const Hl7Message& message, QString* problem);

private:
    QByteArray takeVaccination(const Hl7Message& message);
    QByteArray answerQuery(const Hl7Message& message, const QByteArray& text);
    QList<const SimClient*> clientsHolding(const QString& number, const QString& authority) const;
    QString clientSegments(const SimClient& client, int setId) const;
    QString nextControlId();

    RegistryClients m_clients;
    QSet<int> m_rejected;
    FlagPlacement m_flag;
    // Record number -> (assigning authority, test record) of every record taken in.
    QMultiHash<QString, QPair<QString, int>> m_byNumber;
    int m_answers = 0;
};

} // namespace marrowick::sim
