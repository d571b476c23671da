#include "Acknowledgement.h"

#include "Hl7Message.h"
#include "RegistryFault.h"
#include "export/DeckExport.h"

#include <QDateTime>
#include <algorithm>

namespace marrowick {

bool Acknowledgement::rejected() const
{
    if (code == QLatin1String("AR")) return true;
    if (code != QLatin1String("AE")) return false;
    return std::any_of(errors.begin(), errors.end(),
                       [](const AckError& e) { return e.severity == QLatin1String("E"); });
}

QString Acknowledgement::errorText() const
{
    QStringList lines;
    for (const AckError& e : errors)
        lines << (e.severity.isEmpty() ? e.text : e.severity + QStringLiteral(": ") + e.text);
    return lines.join(QLatin1Char('\n'));
}

Acknowledgement Acknowledgement::read(const Hl7Message& answer)
{
    const Hl7Segment msa = answer.first(QStringLiteral("MSA"));
    if (msa.id().isEmpty())
        throw RegistryFault(RegistryFault::Kind::Protocol,
                            QStringLiteral("The registry's answer holds no acknowledgement (MSA segment)."));
    Acknowledgement ack;
    ack.code = msa.value(1);
    // The original mode's codes say the same as the enhanced mode's.
    if (ack.code.startsWith(QLatin1Char('C'))) ack.code.replace(0, 1, QLatin1Char('A'));
    ack.controlId = msa.value(2);
    for (const Hl7Segment& err : answer.all(QStringLiteral("ERR"))) {
        QString text = err.value(8);
        if (text.isEmpty()) text = err.value(3, 2);
        if (text.isEmpty()) text = err.raw(2);
        ack.errors.append({err.value(4), text});
    }
    return ack;
}

Acknowledgement Acknowledgement::read(const QByteArray& answer) { return read(Hl7Message::parse(answer)); }

QString answerHeader(const Hl7Message& message, const QString& type, const QString& controlId, const QString& profile)
{
    const Hl7Segment msh = message.first(QStringLiteral("MSH"));
    // The answer goes back the way the message came: sender and receiver swap.
    QStringList f(20);
    f[0] = QStringLiteral("^~\\&");
    f[1] = msh.raw(5);
    f[2] = msh.raw(6);
    f[3] = msh.raw(3);
    f[4] = msh.raw(4);
    f[5] = hl7Time(QDateTime::currentDateTimeUtc());
    f[7] = type;
    f[8] = hl7Escape(controlId);
    f[9] = msh.raw(11);
    f[10] = QStringLiteral("2.5.1");
    f[13] = QStringLiteral("NE");
    f[14] = QStringLiteral("NE");
    f[19] = profile;
    return hl7Segment(QStringLiteral("MSH"), f);
}

QByteArray writeAcknowledgement(const Hl7Message& message, const QString& code, const QList<AckError>& errors,
                                const QString& controlId)
{
    const Hl7Segment msh = message.first(QStringLiteral("MSH"));
    QString text = answerHeader(message, QStringLiteral("ACK^") + msh.value(9, 2) + QStringLiteral("^ACK"), controlId,
                                QStringLiteral("Z23^CDCPHINVS"));
    text += QStringLiteral("MSA|%1|%2\r").arg(hl7Escape(code), msh.raw(10));
    for (const AckError& e : errors) {
        const QString hl7Code = e.severity == QLatin1String("E")
                                    ? QStringLiteral("207^Application internal error^HL70357")
                                    : QStringLiteral("0^Message accepted^HL70357");
        text += QStringLiteral("ERR|||%1|%2||||%3\r").arg(hl7Code, hl7Escape(e.severity), hl7Escape(e.text));
    }
    return text.toUtf8();
}

} // namespace marrowick
