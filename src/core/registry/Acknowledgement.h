#pragma once
#include <QByteArray>
#include <QList>
#include <QString>

namespace marrowick {

class Hl7Message;

// One ERR segment: ERR-4's severity (E error, W warning, I information) and
// the registry's words for it (ERR-8, else ERR-3's text, else ERR-2).
struct AckError {
    QString severity;
    QString text;
};

// What a registry said to one message: MSA-1 and its ERR segments.
struct Acknowledgement {
    QString code;      // AA, AE or AR (CA, CE, CR read as the same)
    QString controlId; // MSA-2: the control ID it acknowledges
    QList<AckError> errors;

    // AR, or AE with an error of severity E: the record was not taken in.
    bool rejected() const;
    // The registry's words, one error a line: "E: text".
    QString errorText() const;

    // Throws RegistryFault (Protocol) when the answer holds no MSA.
    static Acknowledgement read(const Hl7Message& answer);
    static Acknowledgement read(const QByteArray& answer);
};

// The MSH of an answer to message, of that type (ACK^V04^ACK) and profile
// (Z23^CDCPHINVS): sender and receiver swapped, the processing ID kept, no
// acknowledgement asked of the answer. Ends in CR.
QString answerHeader(const Hl7Message& message, const QString& type, const QString& controlId, const QString& profile);

// An ACK^V04 answering message, as a registry writes one.
QByteArray writeAcknowledgement(const Hl7Message& message, const QString& code, const QList<AckError>& errors,
                                const QString& controlId);

} // namespace marrowick
