#pragma once
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace marrowick {

// One segment of an HL7 v2 message, split into its fields. Field numbers are
// HL7's own: field(3) of a PID is PID-3. In MSH, field(1) is the field
// separator and field(2) the encoding characters, as HL7 counts them.
class Hl7Segment {
public:
    Hl7Segment() = default;
    explicit Hl7Segment(QStringList fields) : m_fields(std::move(fields)) {}

    QString id() const { return m_fields.value(0); }
    // The field as sent (escaped, with its components and repetitions).
    QString raw(int field) const;
    // One component (from 1) of one repetition (from 1), unescaped.
    QString value(int field, int component = 1, int repetition = 1) const;
    // One subcomponent of a component, unescaped.
    QString subvalue(int field, int component, int subcomponent, int repetition = 1) const;
    // How many repetitions the field holds (0 when empty).
    int repetitions(int field) const;

private:
    QStringList m_fields;
};

// An HL7 v2 message (ER7 encoding, standard delimiters). Segments end with a
// carriage return; a line feed, or CR LF, is taken as one too, since files
// edited by hand and some interfaces send them.
class Hl7Message {
public:
    static Hl7Message parse(const QByteArray& text);
    static Hl7Message parse(const QString& text);

    const QList<Hl7Segment>& segments() const { return m_segments; }
    // The first segment of that id; an empty segment when there is none.
    Hl7Segment first(const QString& id) const;
    QList<Hl7Segment> all(const QString& id) const;
    // A shorthand for first(segment).value(field, component, repetition).
    QString value(const QString& segment, int field, int component = 1, int repetition = 1) const;

    // MSH-9.1^MSH-9.2, e.g. "VXU^V04"; MSH-10.
    QString type() const;
    QString controlId() const;

private:
    QList<Hl7Segment> m_segments;
};

// A value as sent, with HL7's escape sequences (\F\ \S\ \R\ \E\ \T\) undone.
QString hl7Unescape(const QString& value);

// The message with MSH-10 replaced; text unchanged when it has no MSH.
QByteArray withControlId(const QByteArray& message, const QString& controlId);

} // namespace marrowick
