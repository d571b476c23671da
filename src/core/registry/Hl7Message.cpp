#include "Hl7Message.h"

namespace marrowick {

namespace {
// MSH-1 is the field separator itself, so that MSH's field numbers line up
// with HL7's once it is put back among the split fields.
QStringList splitSegment(const QString& line)
{
    QStringList fields = line.split(QLatin1Char('|'));
    if (fields.value(0) == QLatin1String("MSH")) fields.insert(1, QStringLiteral("|"));
    return fields;
}

bool isDelimiterField(const QString& id, int field) { return id == QLatin1String("MSH") && (field == 1 || field == 2); }
} // namespace

QString Hl7Segment::raw(int field) const { return field >= 0 ? m_fields.value(field) : QString(); }

QString Hl7Segment::value(int field, int component, int repetition) const
{
    const QString text = raw(field);
    if (isDelimiterField(id(), field)) return text;
    const QString rep = text.split(QLatin1Char('~')).value(repetition - 1);
    return hl7Unescape(rep.split(QLatin1Char('^')).value(component - 1));
}

QString Hl7Segment::subvalue(int field, int component, int subcomponent, int repetition) const
{
    if (isDelimiterField(id(), field)) return {};
    const QString rep = raw(field).split(QLatin1Char('~')).value(repetition - 1);
    const QString comp = rep.split(QLatin1Char('^')).value(component - 1);
    return hl7Unescape(comp.split(QLatin1Char('&')).value(subcomponent - 1));
}

int Hl7Segment::repetitions(int field) const
{
    const QString text = raw(field);
    if (text.isEmpty()) return 0;
    return isDelimiterField(id(), field) ? 1 : int(text.count(QLatin1Char('~')) + 1);
}

Hl7Message Hl7Message::parse(const QByteArray& text) { return parse(QString::fromUtf8(text)); }

Hl7Message Hl7Message::parse(const QString& text)
{
    Hl7Message message;
    QString normal = text;
    normal.replace(QLatin1Char('\n'), QLatin1Char('\r'));
    for (const QString& line : normal.split(QLatin1Char('\r'), Qt::SkipEmptyParts))
        message.m_segments.append(Hl7Segment(splitSegment(line)));
    return message;
}

Hl7Segment Hl7Message::first(const QString& id) const
{
    for (const Hl7Segment& segment : m_segments)
        if (segment.id() == id) return segment;
    return {};
}

QList<Hl7Segment> Hl7Message::all(const QString& id) const
{
    QList<Hl7Segment> found;
    for (const Hl7Segment& segment : m_segments)
        if (segment.id() == id) found.append(segment);
    return found;
}

QString Hl7Message::value(const QString& segment, int field, int component, int repetition) const
{
    return first(segment).value(field, component, repetition);
}

QString Hl7Message::type() const
{
    const Hl7Segment msh = first(QStringLiteral("MSH"));
    return msh.value(9, 1) + QLatin1Char('^') + msh.value(9, 2);
}

QString Hl7Message::controlId() const { return value(QStringLiteral("MSH"), 10); }

QString hl7Unescape(const QString& value)
{
    if (!value.contains(QLatin1Char('\\'))) return value;
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const qsizetype close = value.indexOf(QLatin1Char('\\'), i + 1);
        if (value.at(i) == QLatin1Char('\\') && close == i + 2) {
            static const QString codes = QStringLiteral("FSRET");
            static const QString plain = QStringLiteral("|^~\\&");
            const qsizetype code = codes.indexOf(value.at(i + 1));
            if (code >= 0) {
                out += plain.at(code);
                i = close;
                continue;
            }
        }
        out += value.at(i); // other sequences (\X..\, \.br\) are kept as sent
    }
    return out;
}

QByteArray withControlId(const QByteArray& message, const QString& controlId)
{
    QList<QByteArray> segments = message.split('\r');
    for (QByteArray& segment : segments) {
        if (!segment.startsWith("MSH")) continue;
        QList<QByteArray> fields = segment.split('|');
        // Split on the separator, MSH-n is field n - 1: MSH-10 is the tenth.
        while (fields.size() < 10) fields.append(QByteArray());
        fields[9] = controlId.toUtf8();
        segment = fields.join('|');
        return segments.join('\r');
    }
    return message;
}

} // namespace marrowick
