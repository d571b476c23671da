// The registry client against a scripted registry: what is sent, what is
// kept in the database between runs, and the results file built from answers.
#include "Suite.h"
#include "analysis/RecordOutcome.h"
#include "export/DeckExport.h"
#include "output/ExplainOutput.h"
#include "registry/RegistryConnection.h"
#include "registry/RegistryFault.h"
#include "registry/RegistryFetch.h"
#include "registry/RegistrySend.h"

#include <QSet>

namespace {

// What the scripted registry does with one message: answer it, or fail.
struct Reply {
    enum Kind { Ack, Transport, Soap, Tls, Garbage } kind = Ack;
    QByteArray answer; // for Ack: the whole answer; empty: an AA
};

// An ACK naming the message's control ID.
QByteArray ackOf(const QByteArray& message)
{
    const QByteArray control = message.split('\r').value(0).split('|').value(9);
    return "MSH|^~\\&|REG||||20250101||ACK^V04^ACK|A" + control + "|P|2.5.1\rMSA|AA|" + control + "\r";
}

// A registry that answers each message by a script and remembers every one.
struct ScriptedRegistry {
    std::function<Reply(int recordId, int attempt)> script = [](int, int) { return Reply{}; };
    QList<QPair<int, QString>> received; // record ID, control ID, in order
    QList<QByteArray> messages;
    QHash<int, int> attempts;
    QStringList facilities; // one per connection opened
    QList<int> pauses;

    // Control IDs, of messages and of queries, end in the record's number.
    static int recordOf(const QByteArray& message) { return field(message, "MSH", 9).right(3).toInt(); }
    static QString field(const QByteArray& message, const char* segment, int number)
    {
        for (const QByteArray& line : message.split('\r'))
            if (line.startsWith(segment)) return QString::fromUtf8(line.split('|').value(number));
        return {};
    }
    QByteArray exchange(const QByteArray& message)
    {
        const int id = recordOf(message);
        received.append({id, field(message, "MSH", 9)});
        messages << message;
        const Reply reply = script(id, attempts[id]++);
        using K = RegistryFault::Kind;
        if (reply.kind == Reply::Transport) throw RegistryFault(K::Transport, QStringLiteral("connection reset"));
        if (reply.kind == Reply::Soap) throw RegistryFault(K::Soap, QStringLiteral("SecurityFault: bad credentials"));
        if (reply.kind == Reply::Tls) throw RegistryFault(K::Tls, QStringLiteral("certificate untrusted"));
        if (reply.kind == Reply::Garbage) return "MSH|^~\\&|REG\r";
        return reply.answer.isEmpty() ? ackOf(message) : reply.answer;
    }
};

class FakeConnection final : public RegistryConnection {
public:
    explicit FakeConnection(ScriptedRegistry& registry) : m_registry(registry) {}
    QString test() override { return QStringLiteral("ok"); }
    QByteArray exchange(const QByteArray& message) override { return m_registry.exchange(message); }

private:
    ScriptedRegistry& m_registry;
};

// A client as a registry's RSP^K11 carries it: PID with its own number (SR)
// beside the clinic's, the mother in NK1, one RXA per dose; flagged by an
// observation of its own code, as a registry's profile might put it.
struct Client {
    QByteArray id, name, dob;
    QList<QByteArray> doses; // CVX^date^MVX
    bool flagged = false;
};

QByteArray rsp(const QByteArray& profile, const QByteArray& status, const QList<Client>& clients,
        const QByteArray& code = "AA")
{
    QByteArray text = "MSH|^~\\&|REG|REGFAC|MARROWICK||20250101||RSP^K11^RSP_K11|R1|P|2.5.1|||NE|NE|||||" + profile
            + "^CDCPHINVS\r"
                      "MSA|" + code + "|Q1\r";
    if (code != "AA") text += "ERR||||E||||Query not understood\r";
    text += "QAK|Q1|" + status
            + "|Z34^Request Immunization History^CDCPHINVS\rQPD|Z34^Request Immunization History^CDCPHINVS|Q1\r";
    int set = 0;
    for (const Client& c : clients) {
        text += "PID|" + QByteArray::number(++set) + "||" + c.id + "^^^REG^SR~M" + c.id + "^^^CLINIC^MR||" + c.name
                + "^^^^L|MAIDEN^MOM^^^^^M|" + c.dob + "|F\r"
                "NK1|1|MOMLAST^MOM^MID^^^^L|MTH^Mother^HL70063\r";
        for (const QByteArray& dose : c.doses) {
            const QList<QByteArray> d = dose.split('^');
            text += "ORC|RE||9" + c.id + "\rRXA|0|1|" + d[1] + "|" + d[1] + "|" + d[0] + "^Vaccine^CVX|999|||||||||||"
                    + d[2] + "^Maker^MVX\r";
        }
        if (c.flagged) text += "OBX|1|CE|PDFLAG^Potential duplicate^L|1|Y||||||F\r";
    }
    return text;
}

ConnectionSettings settingsFor(const QString& endpoint) { return {*RegistryEndpoint::parse(endpoint), {}, {}, 5000}; }
ConnectionSettings soapSettings() { return settingsFor("https://registry.test/iis"); }

QStringList deckClinics()
{
    QStringList clinics;
    for (const auto& record : deckRecords())
        if (!clinics.contains(record.value("FacilityID"))) clinics << record.value("FacilityID");
    return clinics;
}

// The faults at record 10, one per attempt, then an answer; whether the send ends in one, the State of record 10
// afterwards (empty: no row), and the pauses before the retries.
struct FaultAt10 { QList<Reply::Kind> faults; bool faulted; QString state; QList<int> pauses; };
// Where the fetch reads the flag, the flag it writes for client B, the prefix of the registry's identifiers and
// the client numbers written.
struct Fetched { QString flagField, flagOfB; QByteArray idPrefix; QStringList written; };
} // namespace

Q_DECLARE_METATYPE(FaultAt10)
Q_DECLARE_METATYPE(Fetched)

class TestRegistryClient : public SessionTest {
    Q_OBJECT

    ScriptedRegistry registry;

    RegistrySend sender(SendOptions options = {soapSettings(), {}, 0, false, 3})
    {
        RegistrySend send(std::move(options));
        send.open = [this](const ConnectionSettings& settings) {
            registry.facilities << settings.credentials.facility;
            return std::make_unique<FakeConnection>(registry);
        };
        send.pause = [this](int ms) { registry.pauses << ms; };
        return send;
    }

private slots:
    // Durability is SQLite's to give; the tests only need what each run committed, without a disk sync each time.
    void init() { SessionTest::init(); registry = {}; run("PRAGMA synchronous = OFF"); }

    // The fault at record 10, and what the record's row holds after it.
    void faultAtOneRecord_data()
    {
        QTest::addColumn<FaultAt10>("row");
        const QList<Reply::Kind> twice{Reply::Transport, Reply::Transport};
        QTest::newRow("transport, then answered") << FaultAt10{twice, false, "acknowledged", {200, 400}};
        QTest::newRow("transport outlasts the retries")
            << FaultAt10{QList<Reply::Kind>(4, Reply::Transport), true, "sending", {200, 400, 800}};
        QTest::newRow("soap fault: not taken in") << FaultAt10{{Reply::Soap}, true, "", {}};
        QTest::newRow("certificate error: not taken in") << FaultAt10{{Reply::Tls}, true, "", {}};
        QTest::newRow("unreadable answer: may have arrived") << FaultAt10{{Reply::Garbage}, true, "sending", {}};
    }
    void faultAtOneRecord()
    {
        QFETCH(FaultAt10, row);
        registry.script = [&](int id, int attempt) {
            return Reply{id == 10 ? row.faults.value(attempt, Reply::Ack) : Reply::Ack, {}};
        };
        RegistrySend send = sender({settingsFor("mllp://127.0.0.1:1"), {}, 0, false, 3});
        QCOMPARE(bool(thrown<RegistryFault>([&] { send.run(); })), row.faulted);
        QCOMPARE(registry.pauses, row.pauses);
        QCOMPARE(count("SELECT count(*) FROM tblRegistrySends WHERE State = 'acknowledged' AND RecordID < 10"), 9);
        QCOMPARE(rows("SELECT State FROM tblRegistrySends WHERE RecordID = 10").value(0), row.state);
        QCOMPARE(count("SELECT count(*) FROM tblRegistrySends WHERE RecordID > 10"), row.faulted ? 0 : 540);
        // A fresh connection after each transport fault.
        QCOMPARE(registry.facilities.size(), 1 + int(registry.pauses.size()));
    }

    // A run stopped in flight resumes with the record it stopped at, under the same control ID, and sends
    // nothing twice else; an acknowledged record goes again only with resend, under a new control ID.
    void resumeNeverRepeats()
    {
        registry.script = [](int id, int) { return Reply{id == 200 ? Reply::Transport : Reply::Ack, {}}; };
        QVERIFY(thrown<RegistryFault>([&] { sender().run(); }));
        const QString inFlight =
                rows("SELECT ControlID FROM tblRegistrySends WHERE RecordID = 200 AND State = 'sending'").value(0);
        QVERIFY(!inFlight.isEmpty());
        registry.received.clear();
        registry.script = [](int, int) { return Reply{}; };
        const SendSummary resumed = sender().run();
        QCOMPARE(resumed.sent, 351);
        QCOMPARE(resumed.skipped, 199);
        QCOMPARE(registry.received.first(), qMakePair(200, inFlight));
        QSet<int> ids;
        for (const auto& [id, control] : registry.received) ids.insert(id);
        QCOMPARE(ids.size(), 351);
        QCOMPARE(count("SELECT count(*) FROM tblRegistrySends WHERE State = 'acknowledged'"), 550);

        registry.received.clear();
        QCOMPARE(sender().run().sent, 0);
        QVERIFY(registry.received.isEmpty());
        // Another registry has been sent nothing yet.
        ConnectionSettings other = soapSettings();
        other.endpoint.url.setHost("other.test");
        QCOMPARE(sender({other, {}, 0, false, 3}).run().sent, 550);
        QCOMPARE(sender().run().sent, 550);
        const SendSummary again = sender({soapSettings(), {}, 0, true, 3}).run();
        QCOMPARE(again.sent, 550);
        QVERIFY(registry.received.value(199).second != inFlight);
    }

    // A record left in flight by an earlier run stays in flight, under its control ID, when the registry
    // turns the credentials away.
    void wrongCredentialsKeepTheRecordInFlight()
    {
        registry.script = [](int, int) { return Reply{Reply::Soap, {}}; };
        run("INSERT INTO tblRegistrySends (RecordID, ControlID, State, Endpoint) VALUES (1, 'C1', 'sending', ?)",
            {"https://registry.test/iis"});
        QVERIFY(thrown<RegistryFault>([&] { sender().run(); }));
        QCOMPARE(rows("SELECT RecordID, ControlID, State FROM tblRegistrySends"), QStringList{"1|C1|sending"});
        QCOMPARE(registry.received.last().second, QString("C1"));
    }

    // A record the registry turned away is listed, and explained, in the registry's words (its errors, not
    // its warnings); the others are accepted.
    void rejectedRecordsKeepTheRegistrysWords()
    {
        const QByteArray answer = "MSH|^~\\&|REG||||20250101||ACK^V04^ACK|A1|P|2.5.1\rMSA|AE|X\r"
                                  "ERR||||W||||Phone ignored\rERR||||E||||Birth date in the future\r";
        registry.script = [&](int id, int) { return Reply{Reply::Ack, id == 7 ? answer : QByteArray()}; };
        const SendSummary summary = sender().run();
        QCOMPARE(summary.accepted, 549);
        QCOMPARE(summary.rejected.size(), 1);
        QCOMPARE(RegistrySend::rejections().size(), 1);
        QCOMPARE(summary.rejected.first().recordId, 7);
        QVERIFY2(summary.rejected.first().errors.contains("Birth date in the future"),
                 qPrintable(summary.rejected.first().errors));
        RecordOutcome seven, eight;
        seven.id = 7;
        eight.id = 8;
        const QString explained = QString::fromUtf8(explainText({seven}, ReportFormat::Text));
        QVERIFY2(explained.contains("Rejected at submission") && explained.contains("Birth date in the future"),
                 qPrintable(explained));
        QVERIFY(!explainText({eight}, ReportFormat::Text).contains("Rejected at submission"));
    }

    // Each clinic sends as its facility: in the message, and as the web service's facilityID.
    void facilitiesMapped()
    {
        const QStringList clinics = deckClinics();
        FacilityMap map;
        map.byClinic.insert(clinics[0], "REG-A");
        map.byClinic.insert(clinics[1], "REG-B");
        QHash<QString, QSet<QString>> sentAs; // MSH-4 by PID-3's authority
        sender({soapSettings(), map, 0, false, 3}).run();
        QCOMPARE(sorted(registry.facilities), sorted(QStringList{"REG-A", "REG-B"} + clinics.mid(2)));
        for (const QByteArray& m : registry.messages)
            sentAs[ScriptedRegistry::field(m, "MSH", 3)] << ScriptedRegistry::field(m, "PID", 3).section('^', 3, 3);
        for (const QString& clinic : clinics) {
            const QString facility = map.facilityFor(clinic);
            QCOMPARE(sentAs.value(facility), QSet<QString>{facility});
        }
        QVERIFY(!sentAs.contains(clinics[0]));
    }

    // Unmapped, the messages are the hl7 batch's own, between its headers and trailers.
    void deckMessagesAreTheBatchs()
    {
        const DeckExportOptions options{DeckFormat::Hl7, u'T', QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7), Qt::UTC)};
        QByteArray joined;
        for (const DeckMessage& m : deckMessages(options)) joined += m.text;
        const QByteArray batch = exportDeck(options);
        QVERIFY(batch.startsWith("FHS|") && batch.contains(joined) && !joined.contains("BHS|"));
        QCOMPARE(batch.size() - joined.size(), batch.indexOf("MSH|") + (batch.size() - batch.indexOf("BTS|")));
    }

    void facilityMapFile_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<int>("mapped"); // -1: refused
        const QByteArray first = deckClinics().value(0).toUtf8(), second = deckClinics().value(1).toUtf8();
        QTest::newRow("with a header") << "clinic,facility\r\n" + first + ",R1\r\n" + second + ",R2\r\n" << 2;
        QTest::newRow("without") << first + ",R1\n" << 1;
        QTest::newRow("unknown clinic") << first + ",R1\nNOSUCH,R2\n" << -1;
        QTest::newRow("unknown clinic on the first line") << "NOSUCH,R2\n" + first + ",R1\n" << -1;
        QTest::newRow("no facility") << first + ",\n" << -1;
        QTest::newRow("three fields") << first + ",R1,x\n" << -1;
    }

    void facilityMapFile()
    {
        QFETCH(QByteArray, contents);
        QFETCH(int, mapped);
        const QString path = s->db.writeFile("map.csv", contents);
        const auto refused = thrown<FileRefused>([&] { QCOMPARE(FacilityMap::read(path).byClinic.size(), mapped); });
        QCOMPARE(bool(refused), mapped < 0);
    }

    // Every client once, from the first answer that named it, one row per dose, in the import's field order.
    void fetchWritesEachClientOnce_data()
    {
        QTest::addColumn<Fetched>("row");
        QTest::newRow("no flag field: N") << Fetched{"", "N", {}, {"501", "502"}};
        QTest::newRow("flag from an observation") << Fetched{"OBX[PDFLAG]-5=Y", "Y", {}, {"501", "502"}};
        QTest::newRow("identifiers not numbers: numbered in order") << Fetched{"", "N", "IIS-", {"1", "2"}};
    }
    void fetchWritesEachClientOnce()
    {
        QFETCH(Fetched, row);
        const auto& [flagField, flagOfB, idPrefix, written] = row;
        const Client a{idPrefix + "501", "ALPHA^ANN^B", "20200101", {"08^20200102^MSD", "20^20200301^SKB"}};
        const Client b{idPrefix + "502", "BETA^BEA", "20190505", {"03^20200601^MSD"}, true};
        const Client bare{idPrefix + "503", "GAMMA^GIL", "20180808", {}};
        registry.script = [&](int id, int) -> Reply {
            switch (id) {
            case 1: case 2: return {Reply::Ack, rsp("Z32", "OK", {a})};
            case 3: return {Reply::Ack, rsp("Z31", "OK", {b, a, bare})};
            case 4: return {Reply::Ack, rsp("Z33", "AE", {}, "AE")};
            default: return {Reply::Ack, rsp("Z33", "NF", {})};
            }
        };
        FetchOptions options{soapSettings(), {}, {}, 0, 3, s->db.folder() + "/results.txt", {}};
        if (!flagField.isEmpty()) options.flag = FlagField::parse(flagField);
        RegistryFetch fetch(options);
        fetch.open = [this](const ConnectionSettings&) { return std::make_unique<FakeConnection>(registry); };
        fetch.pause = [](int) {};
        const FetchSummary summary = fetch.run();
        QCOMPARE(QList<int>({summary.queried, summary.one, summary.several, summary.notFound, summary.errors}),
                 QList<int>({550, 2, 1, 546, 1}));
        QCOMPARE(summary.clients, 2);
        QCOMPARE(summary.withoutDoses, 1);
        QCOMPARE(summary.rows, 3);
        QCOMPARE(QString::fromUtf8(fileBytes(options.outputFile)).split("\r\n"),
                 QStringList({written[0] + ",N,ALPHA,ANN,B,,20200101,F,MAIDEN,MOMLAST,MOM,MID,08,20200102,MSD",
                              written[0] + ",N,ALPHA,ANN,B,,20200101,F,MAIDEN,MOMLAST,MOM,MID,20,20200301,SKB",
                              written[1] + "," + flagOfB
                                      + ",BETA,BEA,,,20190505,F,MAIDEN,MOMLAST,MOM,MID,03,20200601,MSD",
                              ""}));
        QCOMPARE(summary.renumbered, !idPrefix.isEmpty());
        QVERIFY(summary.flagSource.contains(flagField.isEmpty() ? "N for every row" : flagField));
        // The raw answers, each under its record's number.
        const QByteArray raw = fileBytes(summary.responsesFile);
        QCOMPARE(raw.count("\n# record "), 549);
        QVERIFY(raw.contains("# record 3,") && raw.contains(rsp("Z31", "OK", {b, a, bare})));
        // A second fetch into the same file is refused before it asks the registry anything.
        registry.received.clear();
        QVERIFY(thrown<FileRefused>([&] { fetch.run(); }));
        QVERIFY(registry.received.isEmpty());
        QCOMPARE(fileBytes(summary.responsesFile), raw);
    }

    void rateSpacesMessagesAndCancelStops()
    {
        RegistrySend send = sender({soapSettings(), {}, 1, false, 3});
        int seen = 0;
        send.cancelled = [&] { return seen == 5; };
        send.onProgress = [&](const SendProgress&) { ++seen; };
        const SendSummary summary = send.run();
        QVERIFY(summary.cancelled);
        QCOMPARE(summary.sent, 5);
        QCOMPARE(registry.pauses.size(), 4);
        for (int ms : registry.pauses) QVERIFY2(ms > 800 && ms <= 1000, qPrintable(QString::number(ms)));
    }
};

QTEST_GUILESS_MAIN(TestRegistryClient)
#include "test_registry_client.moc"
