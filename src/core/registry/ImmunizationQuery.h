#pragma once
#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <optional>

namespace marrowick {

class Hl7Message;

// What a Z34 query (Request Immunization History) names of one test record:
// its record number with its clinic's assigning authority, and what the
// clinic knows of the child.
struct QueryPerson {
    QString recordNumber, authority;
    QString last, first, middle, suffix;
    QString momMaiden, momFirst;
    QString dob, sex;
    QString street, city, state, zip;
    QString phone; // ten digits
    QString multipleBirth, birthOrder;
};

// Where a registry puts its potential-duplicate flag, since no standard field
// holds one: a segment, a field, and either the value the field takes when
// flagged ("OBX-5=PD") or, with an OBX code ("OBX[PDFLAG]-5=Y"), the value
// of the observation with that code in OBX-3.
struct FlagField {
    QString segment;
    QString observationCode; // empty unless the segment is OBX and names one
    int field = 0;
    QString flaggedValue;

    // nullopt (with the cause) for a text not of those forms.
    static std::optional<FlagField> parse(const QString& text, QString* problem = nullptr);
    QString text() const;
};

QByteArray writeQuery(const QueryPerson& person, const QString& controlId, const QString& sendingFacility);

// One client of a registry's answer.
struct RegistryClient {
    QString clientId; // PID-3 of identifier type SR: the registry's own number
    QString last, first, middle, suffix;
    QString dob, sex;
    QString momMaiden, momLast, momFirst, momMiddle;
    bool flagged = false; // by the FlagField, when one is named
    struct Dose {
        QString cvx, date, mvx;
    };
    QList<Dose> doses; // one per RXA
};

struct QueryAnswer {
    enum class Kind { One, Several, NotFound, Error };
    Kind kind = Kind::Error;
    QString profile; // MSH-21: Z32, Z31 or Z33
    QString status;  // QAK-2: OK, NF, AE, AR, TM, PD
    QList<RegistryClient> clients;
    QString errorText; // for Error: the registry's words

    // Throws RegistryFault (Protocol) when the answer is not an RSP^K11 (or an ACK).
    static QueryAnswer read(const QByteArray& answer, const std::optional<FlagField>& flag);
};

} // namespace marrowick
