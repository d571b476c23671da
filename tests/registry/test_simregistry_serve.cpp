// The simulator behind a registry's test interface: what it answers over MLLP
// and SOAP, the faults it can be asked for, and that a deck sent message by
// message and queried back gives the rows and the truth of the file mode.
#include "Suite.h"
#include "export/DeckExport.h"
#include "registry/Hl7Message.h"
#include "registry/Mllp.h"
#include "registry/SoapEnvelope.h"
#include "simregistry/RegistryService.h"

#include <QTcpSocket>
#include <QTemporaryDir>
#include <algorithm>

namespace {

const QString kSimulator = QStringLiteral(MARROWICK_BIN_DIR "/marrowick-simregistry");

// The deck's VXU messages, the record with ID n at n-1.
const QList<QByteArray>& deck()
{
    static const QList<QByteArray> messages = [] {
        QList<QByteArray> all;
        for (const QByteArray& segment : exportDeck({DeckFormat::Hl7}).split('\r')) {
            if (segment.startsWith("MSH")) all << QByteArray();
            if (!all.isEmpty() && !segment.isEmpty() && !segment.startsWith("BTS") && !segment.startsWith("FTS"))
                all.last() += segment + '\r';
        }
        return all;
    }();
    return messages;
}

QString pid3(int id) { return Hl7Message::parse(deck()[id - 1]).first(QStringLiteral("PID")).raw(3); }

QByteArray query(int id)
{
    const Hl7Message vxu = Hl7Message::parse(deck()[id - 1]);
    return QStringLiteral("MSH|^~\\&|MARROWICK|HCH|||20261207||QBP^Q11^QBP_Q11|Q1|T|2.5.1|||ER|AL|||||Z34^CDCPHINVS\r"
                          "QPD|Z34^Request Immunization History^CDCPHINVS|TAGQ1|%1^^^%2^MR\rRCP|I|5^RD&Records&HL70126\r")
        .arg(vxu.value(QStringLiteral("PID"), 3), vxu.value(QStringLiteral("PID"), 3, 4))
        .toUtf8();
}

// A deck message with segments swapped out or renumbered, for the cases a clinic gets wrong.
QByteArray edited(int id, const QString& from, const QString& to)
{
    return QString::fromUtf8(deck()[id - 1]).replace(from, to).toUtf8();
}

// One serve process on free ports, ended when the test is.
struct Serve {
    QProcess process;
    quint16 mllp = 0, soap = 0;
    QTemporaryDir dir;
    QString log() const { return dir.filePath(QStringLiteral("received.log")); }

    explicit Serve(QStringList extra, const QString& policy = QStringLiteral("perfect"))
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("SIM_SECRET"), QStringLiteral("s3cret-Pw"));
        process.setProcessEnvironment(env);
        process.start(kSimulator, QStringList{QStringLiteral("serve"), QStringLiteral("--policy"), policy,
                                              QStringLiteral("--answers"), source(QStringLiteral("data/Answer_Sheet.csv")),
                                              QStringLiteral("--nicknames"), source(QStringLiteral("tools/deckdata/nicknames.txt")),
                                              QStringLiteral("--mllp"), QStringLiteral("127.0.0.1:0"), QStringLiteral("--soap"),
                                              QStringLiteral("127.0.0.1:0"), QStringLiteral("--log"), log()} + extra);
        while (process.waitForReadyRead(10000) || process.canReadLine()) {
            while (process.canReadLine()) {
                const QList<QByteArray> words = process.readLine().trimmed().split(' ');
                (words.value(0) == "mllp" ? mllp : soap) = quint16(words.value(1).split(':').value(1).toUInt());
            }
            if (mllp && soap) break;
        }
    }
    ~Serve()
    {
        process.terminate();
        process.waitForFinished(5000);
    }
};

// One HTTP POST on a connection that stays open: the status and the body.
QPair<int, QByteArray> post(QTcpSocket& socket, const QByteArray& body)
{
    // An empty body stands for one too large to send: only its length is told.
    socket.write("POST /iisservice HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/soap+xml\r\nContent-Length: "
                 + QByteArray::number(body.isEmpty() ? 64 << 20 : body.size()) + "\r\n\r\n" + body);
    QByteArray in;
    while (socket.waitForReadyRead(5000)) {
        in += socket.readAll();
        const qsizetype end = in.indexOf("\r\n\r\n");
        const qsizetype length = in.mid(in.indexOf("Content-Length: ") + 16).split('\r').value(0).toLongLong();
        if (end > 0 && in.size() >= end + 4 + length) return {in.mid(9, 3).toInt(), in.mid(end + 4, length)};
    }
    return {0, in};
}

QByteArray submit(const QByteArray& hl7, const QString& user = QStringLiteral("clinic"), const QString& password = QStringLiteral("s3cret-Pw"))
{
    SoapRequest request;
    request.username = user;
    request.password = password;
    request.facilityId = QStringLiteral("HCH");
    request.hl7Message = QString::fromUtf8(hl7);
    return writeSoapRequest(request);
}

// One connection over either transport: a message out, the registry's HL7
// answer back; empty when the registry hangs up without one.
struct Peer {
    bool soap;
    QTcpSocket socket;
    MllpBuffer buffer;
    Peer(const Serve& serve, bool overSoap) : soap(overSoap)
    {
        socket.connectToHost(QHostAddress::LocalHost, soap ? serve.soap : serve.mllp);
        socket.waitForConnected(5000);
    }
    QByteArray exchange(const QByteArray& message)
    {
        if (soap) {
            const auto [status, body] = post(socket, submit(message));
            const std::optional<SoapResponse> response = readSoapResponse(body);
            return status == 200 && response ? response->returnText.toUtf8() : QByteArray();
        }
        socket.write(mllpFrame(message));
        for (std::optional<QByteArray> answer; socket.waitForReadyRead(5000);) {
            buffer.append(socket.readAll());
            if ((answer = buffer.next())) return *answer;
        }
        return {};
    }
};

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
            client = QStringList{s.value(3), QStringLiteral("N"), s.value(5, 1), s.value(5, 2), s.value(5, 3), s.value(5, 4),
                                 s.value(7), s.value(8), s.value(6, 1), QString(), QString(), QString()};
        if (id == QLatin1String("OBX") && s.value(3) == QLatin1String("PDFLAG")) client[1] = s.value(5);
        if (id == QLatin1String("NK1")) client[9] = s.value(2, 1), client[10] = s.value(2, 2), client[11] = s.value(2, 3);
        if (id == QLatin1String("RXA")) rows << client + QStringList{s.value(5), s.value(3), s.value(17)};
    }
    return rows;
}

} // namespace

// A conversation with a fresh simulator: what is sent before, and the one message whose answer is checked.
struct Conversation {
    QString policy;
    QStringList options;
    QList<QByteArray> before;
    QByteArray message;
};
Q_DECLARE_METATYPE(Conversation)

class TestSimregistryServe : public QObject {
    Q_OBJECT

    std::unique_ptr<Serve> m_shared; // --reject 7 and a SOAP user, for the tests that share one

private slots:
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
        const sim::RegistrySimulator rules(*sim::policyNamed(policy), sim::RegistrySimulator::parseNicknames(sourceBytes("tools/deckdata/nicknames.txt")),
                                           sim::RegistrySimulator::parseAnswerSheet(sourceBytes("data/Answer_Sheet.csv")));
        sim::RegistryService service(rules, {}, {});
        for (const QByteArray& vxu : deck()) QCOMPARE(Hl7Message::parse(service.answer(vxu)).value(QStringLiteral("MSA"), 1), QStringLiteral("AA"));
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
        QCOMPARE(served.size(), filed.size());
        QCOMPARE(served, filed);
    }

    void initTestCase()
    {
        m_shared = std::make_unique<Serve>(QStringList{QStringLiteral("--reject"), QStringLiteral("7"), QStringLiteral("--user"),
                                                       QStringLiteral("clinic"), QStringLiteral("--password-env"), QStringLiteral("SIM_SECRET")});
        QVERIFY(m_shared->mllp && m_shared->soap);
    }

    void acknowledgements_data()
    {
        QTest::addColumn<bool>("soap");
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("words");
        for (const bool soap : {false, true}) {
            const char* via = soap ? " over SOAP" : " over MLLP";
            const int base = soap ? 100 : 0; // records of their own, so that the two transports do not meet
            QTest::addRow("a deck record%s", via) << soap << deck()[base] << "AA" << "";
            QTest::addRow("no RXA%s", via) << soap << edited(base + 3, "\rRXA|", "\rZXA|") << "AE" << "no vaccination";
            QTest::addRow("no PID%s", via) << soap << edited(base + 4, "\rPID|", "\rZID|") << "AE" << "no patient";
            QTest::addRow("no test record number%s", via) << soap << edited(base + 6, "|DT", "|XT") << "AE" << "ORC-3";
            QTest::addRow("not HL7%s", via) << soap << QByteArray("hello") << "AE" << "no MSH segment";
            QTest::addRow("another message type%s", via) << soap << edited(base + 8, "VXU^V04", "ADT^A01") << "AE" << "ADT^A01 is not accepted";
        }
        QTest::addRow("a rejected record") << false << deck()[6] << "AR" << "Record rejected by registry rule";
    }
    void acknowledgements()
    {
        QFETCH(bool, soap);
        QFETCH(QByteArray, message);
        QFETCH(QString, code);
        QFETCH(QString, words);
        Peer peer(*m_shared, soap);
        const QByteArray answer = peer.exchange(message);
        QCOMPARE(field(answer, "MSA", 1), code);
        QCOMPARE(field(answer, "MSA", 2), Hl7Message::parse(message).controlId());
        QVERIFY2(field(answer, "ERR", 8).contains(words), answer.constData());
        QCOMPARE(field(answer, "ERR", 4), words.isEmpty() ? QString() : QStringLiteral("E"));
    }

    void soapFaults_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("reason");
        QTest::newRow("wrong password") << submit(deck()[200], QStringLiteral("clinic"), QStringLiteral("guess")) << "SecurityFault" << "Invalid username or password";
        QTest::newRow("wrong user") << submit(deck()[201], QStringLiteral("clinik")) << "SecurityFault" << "Invalid username or password";
        QTest::newRow("not a request") << QByteArray("<nothing/>") << "UnknownFault" << "";
        QTest::newRow("too large") << QByteArray() << "MessageTooLargeFault" << "larger than";
    }
    void soapFaults()
    {
        QFETCH(QByteArray, body);
        QFETCH(QString, fault);
        QFETCH(QString, reason);
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, m_shared->soap);
        const auto [status, answer] = post(socket, body);
        QCOMPARE(status, 500);
        const std::optional<SoapResponse> response = readSoapResponse(answer);
        QVERIFY(response && response->fault);
        QCOMPARE(response->fault->name(), fault);
        QVERIFY(response->fault->reason.contains(reason));
    }

    // A submission under wrong credentials is neither taken in nor logged, and no password is.
    void refusedCredentialsKeepNothing()
    {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, m_shared->soap);
        QCOMPARE(post(socket, submit(deck()[200], QStringLiteral("clinic"), QStringLiteral("guess"))).first, 500);
        Peer peer(*m_shared, false);
        QCOMPARE(field(peer.exchange(query(201)), "QAK", 2), QStringLiteral("NF"));
        QVERIFY(!fileBytes(m_shared->log()).contains(Hl7Message::parse(deck()[200]).controlId().toUtf8()));
        QVERIFY(!fileBytes(m_shared->log()).contains("s3cret-Pw"));
    }

    // Requests follow each other on one connection, and connectivityTest echoes what it was given.
    void soapConnectionStaysOpen()
    {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, m_shared->soap);
        SoapRequest test;
        test.operation = SoapRequest::Operation::ConnectivityTest;
        test.echoBack = QStringLiteral("ping 42");
        for (int i = 0; i < 3; ++i) {
            const auto [status, body] = post(socket, writeSoapRequest(test));
            QCOMPARE(status, 200);
            QCOMPARE(readSoapResponse(body)->returnText, test.echoBack);
        }
    }

    void queries_data()
    {
        QTest::addColumn<Conversation>("conversation");
        QTest::addColumn<QString>("profile");
        QTest::addColumn<QString>("status");
        QTest::addColumn<int>("clients");
        QTest::addColumn<int>("doses");
        const QString perfect = QStringLiteral("perfect");
        const QByteArray twin = edited(219, pid3(219), pid3(2)); // record 219 under record 2's number
        QTest::newRow("a merged pair, by its first record") << Conversation{perfect, {}, {deck()[1], deck()[218]}, query(2)} << "Z32" << "OK" << 1 << 2;
        QTest::newRow("a merged pair, by its second") << Conversation{perfect, {}, {deck()[1], deck()[218]}, query(219)} << "Z32" << "OK" << 1 << 2;
        QTest::newRow("a record sent twice") << Conversation{perfect, {}, {deck()[1], deck()[1]}, query(2)} << "Z32" << "OK" << 1 << 1;
        QTest::newRow("a number two clients hold") << Conversation{QStringLiteral("none"), {}, {deck()[1], twin}, query(2)} << "Z31" << "OK" << 2 << 2;
        QTest::newRow("a record never sent") << Conversation{perfect, {}, {deck()[1]}, query(5)} << "Z33" << "NF" << 0 << 0;
        QTest::newRow("a rejected record") << Conversation{perfect, {QStringLiteral("--reject"), QStringLiteral("2")}, {deck()[1]}, query(2)} << "Z33" << "NF" << 0 << 0;
        QTest::newRow("a query naming no record") << Conversation{perfect, {}, {deck()[1]}, QByteArray(query(2)).replace("|TAGQ1|" + pid3(2).toUtf8(), "|TAGQ1|")} << "Z33" << "AE" << 0 << 0;
    }
    void queries()
    {
        QFETCH(Conversation, conversation);
        QFETCH(QString, profile);
        QFETCH(QString, status);
        QFETCH(int, clients);
        QFETCH(int, doses);
        Serve serve(conversation.options, conversation.policy);
        Peer peer(serve, false);
        for (const QByteArray& message : conversation.before) QVERIFY(!peer.exchange(message).isEmpty());
        const QByteArray answer = peer.exchange(conversation.message);
        const Hl7Message parsed = Hl7Message::parse(answer);
        QCOMPARE(parsed.value(QStringLiteral("MSH"), 21), profile);
        QCOMPARE(parsed.value(QStringLiteral("QAK"), 2), status);
        QCOMPARE(parsed.value(QStringLiteral("QAK"), 1), QStringLiteral("TAGQ1"));
        QCOMPARE(parsed.all(QStringLiteral("PID")).size(), clients);
        QCOMPARE(parsed.all(QStringLiteral("RXA")).size(), doses);
        for (const Hl7Segment& pid : parsed.all(QStringLiteral("PID"))) QCOMPARE(pid.value(3, 5), QStringLiteral("SR"));
    }

    // The connection of message N+1 is dropped unanswered, once; the retry on a
    // new connection is answered and kept once; the log shows every arrival.
    void dropAfter_data()
    {
        QTest::addColumn<bool>("soap");
        QTest::newRow("mllp") << false;
        QTest::newRow("soap") << true;
    }
    void dropAfter()
    {
        QFETCH(bool, soap);
        Serve serve({QStringLiteral("--drop-after"), QStringLiteral("2")});
        auto first = std::make_unique<Peer>(serve, soap);
        QVERIFY(!first->exchange(deck()[0]).isEmpty());
        QVERIFY(!first->exchange(deck()[1]).isEmpty());
        QVERIFY(first->exchange(deck()[2]).isEmpty());
        Peer second(serve, soap);
        for (int id : {3, 4, 3}) QCOMPARE(field(second.exchange(deck()[id - 1]), "MSA", 1), QStringLiteral("AA"));
        QCOMPARE(field(second.exchange(query(3)), "RXA", 3), Hl7Message::parse(deck()[2]).value(QStringLiteral("RXA"), 3));
        QCOMPARE(Hl7Message::parse(second.exchange(query(3))).all(QStringLiteral("RXA")).size(), 1);
        QStringList lines = QString::fromUtf8(fileBytes(serve.log())).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 8);
        QCOMPARE(lines.count(QStringLiteral("VXU^V04 ") + Hl7Message::parse(deck()[2]).controlId()), 3);
        QCOMPARE(lines.last(), QStringLiteral("QBP^Q11 Q1"));
    }

    void usage_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("words");
        const QStringList files{QStringLiteral("serve"), QStringLiteral("--policy"), QStringLiteral("typical"), QStringLiteral("--answers"),
                                source(QStringLiteral("data/Answer_Sheet.csv")), QStringLiteral("--nicknames"), source(QStringLiteral("tools/deckdata/nicknames.txt"))};
        QTest::newRow("any address") << files + QStringList{"--mllp", "0.0.0.0:0"} << 2 << "serves only on 127.0.0.1 or ::1";
        QTest::newRow("another machine") << files + QStringList{"--soap", "192.168.1.20:8080"} << 2 << "serves only on 127.0.0.1 or ::1";
        QTest::newRow("no port") << files + QStringList{"--soap", "127.0.0.1"} << 2 << "serves only on 127.0.0.1 or ::1";
        QTest::newRow("no transport") << files << 2 << "--mllp or --soap";
        QTest::newRow("a flag where PID-5 is") << files + QStringList{"--mllp", "127.0.0.1:0", "--flag-field", "PID-5=Y"} << 2 << "cannot hold the flag";
        QTest::newRow("a user without a password") << files + QStringList{"--mllp", "127.0.0.1:0", "--user", "u"} << 2 << "--password-env";
        QTest::newRow("no policy") << QStringList{"serve", "--mllp", "127.0.0.1:0"} << 2 << "--policy is one of";
        QTest::newRow("an unreadable input") << files + QStringList{"--mllp", "127.0.0.1:0", "--input", "/nonexistent/DupTestData.txt"} << 3 << "cannot read";
    }
    void usage()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, code);
        QFETCH(QString, words);
        const BatchRun run = runBatch(arguments, kSimulator);
        QCOMPARE(run.code, code);
        QVERIFY2(run.err.contains(words), qPrintable(run.err));
    }

    void endsCleanlyOnSigterm()
    {
        Serve serve({});
        serve.process.terminate();
        QVERIFY(serve.process.waitForFinished(5000));
        QCOMPARE(serve.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(serve.process.exitCode(), 0);
    }

    // The flag goes where the registry's profile puts it: a typical registry's
    // flagged clients carry it in PID-30 when told so, and only they.
    void flagInAFieldOfItsChoosing()
    {
        const sim::RegistrySimulator rules(sim::Policy::Typical, sim::RegistrySimulator::parseNicknames(sourceBytes("tools/deckdata/nicknames.txt")), {});
        sim::RegistryService service(rules, {}, *sim::FlagPlacement::parse(QStringLiteral("PID-30=PD")));
        for (const QByteArray& vxu : deck()) service.answer(vxu);
        QSet<QString> flagged;
        for (int id = 1; id <= deck().size(); ++id) {
            const Hl7Message answer = Hl7Message::parse(service.answer(query(id)));
            if (answer.value(QStringLiteral("PID"), 30) == QLatin1String("PD")) flagged << answer.value(QStringLiteral("PID"), 3);
        }
        QCOMPARE(flagged.size(), int(service.clients().truth().count(",flagged,")));
        QVERIFY(!flagged.isEmpty());
    }
};

QTEST_MAIN(TestSimregistryServe)
#include "test_simregistry_serve.moc"
