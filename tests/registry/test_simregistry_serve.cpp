// The simulator behind a registry's test interface: what it answers over MLLP
// and SOAP, the faults it can be asked for, and that a deck sent message by
// message gives the file mode's truth.
#include "SimServe.h"
#include "Suite.h"
#include "export/DeckExport.h"
#include "registry/Hl7Message.h"
#include "registry/RegistryConnection.h"
#include "registry/SoapEnvelope.h"
#include "simregistry/RegistryService.h"

#include <QTcpSocket>
#include <algorithm>

namespace {

// The deck's VXU messages, the record with ID n at n-1.
const QList<QByteArray>& deck()
{
    static const QList<QByteArray> messages = [] {
        QList<QByteArray> all;
        for (const DeckMessage& message : deckMessages({DeckFormat::Hl7})) all << message.text;
        return all;
    }();
    return messages;
}

QString pid3(int id) { return Hl7Message::parse(deck()[id - 1]).first(QStringLiteral("PID")).raw(3); }

QByteArray query(int id)
{
    const Hl7Message vxu = Hl7Message::parse(deck()[id - 1]);
    return QStringLiteral("MSH|^~\\&|MARROWICK|HCH|||20261207||QBP^Q11^QBP_Q11|Q1|T|2.5.1|||ER|AL|||||Z34^CDCPHINVS\r"
                          "QPD|Z34^Request Immunization History^CDCPHINVS|TAGQ1|%1^^^%2^MR\r"
                          "RCP|I|5^RD&Records&HL70126\r")
        .arg(vxu.value(QStringLiteral("PID"), 3), vxu.value(QStringLiteral("PID"), 3, 4))
        .toUtf8();
}

// A deck message with segments swapped out or renumbered, for the cases a clinic gets wrong.
QByteArray edited(int id, const QString& from, const QString& to)
{
    return QString::fromUtf8(deck()[id - 1]).replace(from, to).toUtf8();
}

const QString kPassword = QStringLiteral("s3cret-Pw");

// One HTTP POST on a connection that stays open: the status and the body.
QPair<int, QByteArray> post(QTcpSocket& socket, const QByteArray& body)
{
    // An empty body stands for one too large to send: only its length is told.
    socket.write("POST /iisservice HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/soap+xml\r\n"
                 "Content-Length: " + QByteArray::number(body.isEmpty() ? 64 << 20 : body.size()) + "\r\n\r\n" + body);
    QByteArray in;
    while (socket.waitForReadyRead(5000)) {
        in += socket.readAll();
        const qsizetype end = in.indexOf("\r\n\r\n");
        const qsizetype length = in.mid(in.indexOf("Content-Length: ") + 16).split('\r').value(0).toLongLong();
        if (end > 0 && in.size() >= end + 4 + length) return {in.mid(9, 3).toInt(), in.mid(end + 4, length)};
    }
    return {0, in};
}

QByteArray submit(const QByteArray& hl7, const QString& user = "clinic", const QString& password = kPassword)
{
    return writeSoapRequest({SoapRequest::Operation::SubmitSingleMessage, {}, user, password, "HCH",
                             QString::fromUtf8(hl7)});
}

// A connection over either transport, as the batch opens one.
std::unique_ptr<RegistryConnection> connectTo(const SimServe& serve, bool soap)
{
    const QString endpoint = soap ? serve.soapUrl() : serve.mllpUrl();
    return openConnection({*RegistryEndpoint::parse(endpoint), {"clinic", kPassword, "HCH"}, {}, 5000});
}

QString field(const QByteArray& answer, const char* segment, int number, int component = 1)
{
    return Hl7Message::parse(answer).value(QLatin1String(segment), number, component);
}

// The fifteen fields the fetch writes for each RXA of each client of an answer, the flag as Y or N.
QList<QStringList> rowsOf(const QByteArray& answer)
{
    QList<QStringList> rows;
    QStringList client;
    const Hl7Message message = Hl7Message::parse(answer);
    for (const Hl7Segment& s : message.segments()) {
        const QString id = s.id();
        if (id == QLatin1String("PID"))
            client = QStringList{s.value(3), "N", s.value(5, 1), s.value(5, 2), s.value(5, 3), s.value(5, 4),
                                 s.value(7), s.value(8), s.value(6, 1), QString(), QString(), QString()};
        if (id == QLatin1String("OBX") && s.value(3) == QLatin1String("PDFLAG")) client[1] = s.value(5);
        if (id == QLatin1String("NK1"))
            client[9] = s.value(2, 1), client[10] = s.value(2, 2), client[11] = s.value(2, 3);
        if (id == QLatin1String("RXA")) rows << client + QStringList{s.value(5), s.value(3), s.value(17)};
    }
    return rows;
}

// A message to a fresh simulator, and what its answer holds.
struct Conversation {
    QString policy;
    QStringList options;
    QList<QByteArray> before; // sent first
    QByteArray message;
    QString profile, status;
    int clients, doses;
};
struct Acknowledged { bool soap; QByteArray message; QString code, words; };
struct Fault { QByteArray body; QString name, reason; };
struct Usage { QStringList arguments; int code; QString words; };

} // namespace

Q_DECLARE_METATYPE(Conversation)
Q_DECLARE_METATYPE(Acknowledged)
Q_DECLARE_METATYPE(Fault)
Q_DECLARE_METATYPE(Usage)

class TestSimregistryServe : public QObject {
    Q_OBJECT

    std::unique_ptr<SimServe> m_shared; // --reject 7 and a SOAP user, for the tests that share one

private slots:
    void initTestCase()
    {
        m_shared = std::make_unique<SimServe>("perfect", QStringList{"--reject", "7", "--user", "clinic",
                                                                     "--password-env", "SIM_PASSWORD"}, kPassword);
        QVERIFY(m_shared->mllp && m_shared->soap);
    }

    // Every record sent as a message and queried back gives the file mode's
    // truth byte for byte, and its rows (one per RXA of each distinct client).
    void roundTripGivesTheFileModesResults_data()
    {
        QTest::addColumn<QString>("policy");
        for (const QString& name : sim::policyNames()) QTest::newRow(qPrintable(name)) << name;
    }
    void roundTripGivesTheFileModesResults()
    {
        QFETCH(QString, policy);
        using sim::RegistrySimulator;
        const RegistrySimulator rules(*sim::policyNamed(policy),
                                      RegistrySimulator::parseNicknames(sourceBytes("tools/deckdata/nicknames.txt")),
                                      RegistrySimulator::parseAnswerSheet(sourceBytes("data/Answer_Sheet.csv")));
        sim::RegistryService service(rules, {}, {});
        for (const QByteArray& vxu : deck()) QCOMPARE(field(service.answer(vxu), "MSA", 1), QStringLiteral("AA"));
        QCOMPARE(service.clients().truth(), sourceBytes("samples/truth-" + policy + ".csv"));
        QMap<QString, QList<QStringList>> byClient; // each client once, however many records lead to it
        for (int id = 1; id <= deck().size(); ++id) {
            QMap<QString, QList<QStringList>> answer;
            for (const QStringList& row : rowsOf(service.answer(query(id)))) answer[row[0]] << row;
            for (auto it = answer.cbegin(); it != answer.cend(); ++it)
                if (!byClient.contains(it.key())) byClient.insert(it.key(), it.value());
        }
        QList<QStringList> served, filed;
        for (const auto& rows : std::as_const(byClient)) served += rows;
        for (QStringList row : csvRecords(fileBytes(sample(policy)))) {
            row[1] = row[1] == QLatin1String("Y") ? QStringLiteral("Y") : QStringLiteral("N");
            filed << row;
        }
        std::sort(served.begin(), served.end());
        std::sort(filed.begin(), filed.end());
        QCOMPARE(served, filed);
    }

    void acknowledgements_data()
    {
        QTest::addColumn<Acknowledged>("row");
        for (const bool soap : {false, true}) {
            const char* via = soap ? " over SOAP" : " over MLLP";
            const int base = soap ? 100 : 0; // records of their own, so that the two transports do not meet
            QTest::addRow("a deck record%s", via) << Acknowledged{soap, deck()[base], "AA", ""};
            QTest::addRow("no RXA%s", via) << Acknowledged{soap, edited(base + 3, "\rRXA|", "\rZXA|"), "AE",
                                                           "no vaccination"};
            QTest::addRow("no PID%s", via) << Acknowledged{soap, edited(base + 4, "\rPID|", "\rZID|"), "AE",
                                                           "no patient"};
            QTest::addRow("no test record number%s", via) << Acknowledged{soap, edited(base + 6, "|DT", "|XT"), "AE",
                                                                          "ORC-3"};
            QTest::addRow("not HL7%s", via) << Acknowledged{soap, "hello", "AE", "no MSH segment"};
            QTest::addRow("another message type%s", via)
                << Acknowledged{soap, edited(base + 8, "VXU^V04", "ADT^A01"), "AE", "ADT^A01 is not accepted"};
        }
        QTest::addRow("a rejected record") << Acknowledged{false, deck()[6], "AR", "Record rejected by registry rule"};
    }
    void acknowledgements()
    {
        QFETCH(Acknowledged, row);
        const QByteArray answer = connectTo(*m_shared, row.soap)->exchange(row.message);
        QCOMPARE(field(answer, "MSA", 1), row.code);
        QCOMPARE(field(answer, "MSA", 2), Hl7Message::parse(row.message).controlId());
        QVERIFY2(field(answer, "ERR", 8).contains(row.words), answer.constData());
        QCOMPARE(field(answer, "ERR", 4), row.words.isEmpty() ? QString() : QStringLiteral("E"));
    }

    void soapFaults_data()
    {
        QTest::addColumn<Fault>("row");
        QTest::newRow("wrong password") << Fault{submit(deck()[200], "clinic", "guess"), "SecurityFault",
                                                 "Invalid username or password"};
        QTest::newRow("wrong user") << Fault{submit(deck()[201], "clinik"), "SecurityFault",
                                             "Invalid username or password"};
        QTest::newRow("not a request") << Fault{"<nothing/>", "UnknownFault", ""};
        QTest::newRow("too large") << Fault{{}, "MessageTooLargeFault", "larger than"};
    }
    void soapFaults()
    {
        QFETCH(Fault, row);
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, m_shared->soap);
        const auto [status, answer] = post(socket, row.body);
        QCOMPARE(status, 500);
        const std::optional<SoapResponse> response = readSoapResponse(answer);
        QVERIFY(response && response->fault);
        QCOMPARE(response->fault->name(), row.name);
        QVERIFY(response->fault->reason.contains(row.reason));
    }

    // A submission under wrong credentials is neither taken in nor logged, and no password is.
    void refusedCredentialsKeepNothing()
    {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, m_shared->soap);
        QCOMPARE(post(socket, submit(deck()[200], "clinic", "guess")).first, 500);
        QCOMPARE(field(connectTo(*m_shared, false)->exchange(query(201)), "QAK", 2), QStringLiteral("NF"));
        QVERIFY(!fileBytes(m_shared->log()).contains(Hl7Message::parse(deck()[200]).controlId().toUtf8()));
        QVERIFY(!fileBytes(m_shared->log()).contains(kPassword.toUtf8()));
    }

    // Requests follow each other on one connection, and connectivityTest echoes what it was given.
    void soapConnectionStaysOpen()
    {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, m_shared->soap);
        const SoapRequest test{SoapRequest::Operation::ConnectivityTest, "ping 42", {}, {}, {}, {}};
        for (int i = 0; i < 3; ++i) {
            const auto [status, body] = post(socket, writeSoapRequest(test));
            QCOMPARE(status, 200);
            QCOMPARE(readSoapResponse(body)->returnText, test.echoBack);
        }
    }

    void queries_data()
    {
        QTest::addColumn<Conversation>("row");
        const QByteArray twin = edited(219, pid3(219), pid3(2)); // record 219 under record 2's number
        const QByteArray noRecord = QByteArray(query(2)).replace("|TAGQ1|" + pid3(2).toUtf8(), "|TAGQ1|");
        QTest::newRow("a merged pair, by its first record")
            << Conversation{"perfect", {}, {deck()[1], deck()[218]}, query(2), "Z32", "OK", 1, 2};
        QTest::newRow("a merged pair, by its second")
            << Conversation{"perfect", {}, {deck()[1], deck()[218]}, query(219), "Z32", "OK", 1, 2};
        QTest::newRow("a record sent twice")
            << Conversation{"perfect", {}, {deck()[1], deck()[1]}, query(2), "Z32", "OK", 1, 1};
        QTest::newRow("a number two clients hold")
            << Conversation{"none", {}, {deck()[1], twin}, query(2), "Z31", "OK", 2, 2};
        QTest::newRow("a record never sent") << Conversation{"perfect", {}, {deck()[1]}, query(5), "Z33", "NF", 0, 0};
        QTest::newRow("a rejected record")
            << Conversation{"perfect", {"--reject", "2"}, {deck()[1]}, query(2), "Z33", "NF", 0, 0};
        QTest::newRow("a query naming no record")
            << Conversation{"perfect", {}, {deck()[1]}, noRecord, "Z33", "AE", 0, 0};
    }
    void queries()
    {
        QFETCH(Conversation, row);
        SimServe serve(row.policy, row.options);
        const auto connection = connectTo(serve, false);
        for (const QByteArray& message : row.before) QVERIFY(!connection->exchange(message).isEmpty());
        const Hl7Message answer = Hl7Message::parse(connection->exchange(row.message));
        QCOMPARE(answer.value(QStringLiteral("MSH"), 21), row.profile);
        QCOMPARE(answer.value(QStringLiteral("QAK"), 2), row.status);
        QCOMPARE(answer.value(QStringLiteral("QAK"), 1), QStringLiteral("TAGQ1"));
        QCOMPARE(answer.all(QStringLiteral("PID")).size(), row.clients);
        QCOMPARE(answer.all(QStringLiteral("RXA")).size(), row.doses);
        for (const Hl7Segment& pid : answer.all(QStringLiteral("PID"))) QCOMPARE(pid.value(3, 5), QStringLiteral("SR"));
    }

    void usage_data()
    {
        QTest::addColumn<Usage>("row");
        const QStringList files{"serve", "--policy", "typical", "--answers", source("data/Answer_Sheet.csv"),
                                "--nicknames", source("tools/deckdata/nicknames.txt")};
        const QStringList mllp = files + QStringList{"--mllp", "127.0.0.1:0"};
        const QString loopbackOnly = "serves only on 127.0.0.1 or ::1";
        QTest::newRow("any address") << Usage{files + QStringList{"--mllp", "0.0.0.0:0"}, 2, loopbackOnly};
        QTest::newRow("another machine") << Usage{files + QStringList{"--soap", "192.168.1.20:8080"}, 2, loopbackOnly};
        QTest::newRow("no port") << Usage{files + QStringList{"--soap", "127.0.0.1"}, 2, loopbackOnly};
        QTest::newRow("no transport") << Usage{files, 2, "--mllp or --soap"};
        QTest::newRow("a flag where PID-5 is") << Usage{mllp + QStringList{"--flag-field", "PID-5=Y"}, 2,
                                                        "cannot hold the flag"};
        QTest::newRow("a user without a password") << Usage{mllp + QStringList{"--user", "u"}, 2, "--password-env"};
        QTest::newRow("no policy") << Usage{{"serve", "--mllp", "127.0.0.1:0"}, 2, "--policy is one of"};
        QTest::newRow("an unreadable input") << Usage{mllp + QStringList{"--input", "/nonexistent/DupTestData.txt"}, 3,
                                                      "cannot read"};
    }
    void usage()
    {
        QFETCH(Usage, row);
        const BatchRun run = runBatch(row.arguments, kSimulator);
        QCOMPARE(run.code, row.code);
        QVERIFY2(run.err.contains(row.words), qPrintable(run.err));
    }

    void endsCleanlyOnSigterm()
    {
        SimServe serve("perfect");
        serve.process.terminate();
        QVERIFY(serve.process.waitForFinished(5000));
        QCOMPARE(serve.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(serve.process.exitCode(), 0);
    }
};

QTEST_MAIN(TestSimregistryServe)
#include "test_simregistry_serve.moc"
