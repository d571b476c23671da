// The round trip against the registry simulator's test interface: the same
// scores as the simulator's results file for the same policy, over MLLP and
// over SOAP, and an interrupted send that resumes sending nothing twice but
// the one record in flight.
#include "Suite.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QThread>

namespace {

const QString kSimulator = QStringLiteral(MARROWICK_BIN_DIR "/marrowick-simregistry");
const QString kPassword = QStringLiteral("sim-secret-4e1f");

// marrowick-simregistry serve on free loopback ports, for as long as it lives.
struct Simulator {
    QProcess process;
    QString mllp, soap; // the endpoints, as the batch names them

    Simulator(const QString& policy, const QString& log, const QStringList& extra = {})
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("SIM_PASSWORD", kPassword);
        process.setProcessEnvironment(env);
        process.start(kSimulator, QStringList{"serve", "--policy", policy, "--input", source("data/DupTestData.txt"),
                                              "--answers", source("data/Answer_Sheet.csv"), "--nicknames",
                                              source("tools/deckdata/nicknames.txt"), "--mllp", "127.0.0.1:0",
                                              "--soap", "127.0.0.1:0", "--user", "tester", "--password-env",
                                              "SIM_PASSWORD", "--log", log} + extra);
        static const QRegularExpression line(QStringLiteral("^(mllp|soap) (127\\.0\\.0\\.1:\\d+)$"));
        while ((mllp.isEmpty() || soap.isEmpty()) && process.waitForReadyRead(10000))
            while (process.canReadLine()) {
                const auto match = line.match(QString::fromUtf8(process.readLine()).trimmed());
                if (match.captured(1) == "mllp") mllp = "mllp://" + match.captured(2);
                if (match.captured(1) == "soap") soap = "http://" + match.captured(2) + "/iis";
            }
    }
    ~Simulator()
    {
        process.terminate();
        process.waitForFinished(5000);
    }
};

QProcessEnvironment withPassword()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("MARROWICK_PASSWORD", kPassword);
    return env;
}

// Every report of an evaluation database, as report all prints them.
QString reports(const QString& database) { return runBatch({"report", "--database", database, "all"}).out; }

// The record numbers of the messages the simulator logged, in order (a control ID ends in one).
QList<int> loggedRecords(const QString& log)
{
    QList<int> records;
    for (const QByteArray& line : fileBytes(log).split('\n'))
        if (line.startsWith("VXU")) records << line.right(3).toInt();
    return records;
}

} // namespace

class TestRoundtrip : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    int serial = 0;
    QString file(const char* name) const { return dir.filePath(QStringLiteral("%1-%2").arg(serial).arg(name)); }

private slots:
    void init() { ++serial; }

    void sameScoresAsTheFile_data()
    {
        QTest::addColumn<QString>("policy");
        QTest::addColumn<bool>("soap");
        QTest::addColumn<QString>("flagField"); // where the simulator puts the flag, and the batch reads it
        for (const char* policy : {"none", "exact", "typical", "aggressive", "perfect"})
            for (const bool soap : {false, true})
                QTest::addRow("%s over %s", policy, soap ? "SOAP" : "MLLP") << policy << soap << "OBX[PDFLAG]-5=Y";
        QTest::newRow("typical, flag in a PD1 field") << "typical" << true << "PD1-12=Y";
    }

    void sameScoresAsTheFile()
    {
        QFETCH(QString, policy);
        QFETCH(bool, soap);
        QFETCH(QString, flagField);
        Simulator simulator(policy, file("sim.log"), {"--flag-field", flagField});
        QVERIFY(!simulator.mllp.isEmpty() && !simulator.soap.isEmpty());
        const BatchRun trip = runBatch({"roundtrip", "--database", file("trip.db"), "--endpoint",
                                        soap ? simulator.soap : simulator.mllp, "--user", "tester", "--flag-field",
                                        flagField, "--output", file("results.txt")},
                                       kBatchProgram, withPassword());
        QVERIFY2(trip.code == 0, qPrintable(trip.err));
        QVERIFY2(trip.out.contains("potential-duplicate flag: from " + flagField), qPrintable(trip.out));
        QCOMPARE(runBatch({"evaluate", "--database", file("file.db"), sample(policy)}).code, 0);
        const QString expected = reports(file("file.db"));
        QVERIFY(expected.contains("Sensitivity"));
        QCOMPARE(reports(file("trip.db")), expected);
    }

    // Interrupted by the registry (a dropped connection) or by a killed process, the send resumes:
    // every record reaches the registry, and none twice but the one in flight, under its control ID.
    void interruptedSendResumes_data()
    {
        QTest::addColumn<bool>("killed");
        QTest::newRow("connection dropped") << false;
        QTest::newRow("kill -9") << true;
    }

    void interruptedSendResumes()
    {
        QFETCH(bool, killed);
        const QString log = file("sim.log");
        Simulator simulator("typical", log, killed ? QStringList{} : QStringList{"--drop-after", "100"});
        const QStringList send{"send", "--database", file("send.db"), "--endpoint", simulator.mllp};
        if (killed) {
            QProcess batch;
            batch.start(kBatchProgram, send);
            QElapsedTimer waited;
            waited.start();
            while (loggedRecords(log).size() < 100 && waited.elapsed() < 60000) QThread::msleep(5);
            batch.kill();
            QVERIFY(batch.waitForFinished(5000));
        }
        const BatchRun resumed = runBatch(send);
        QVERIFY2(resumed.code == 0, qPrintable(resumed.err));
        const QList<int> records = loggedRecords(log);
        QCOMPARE(QSet<int>(records.begin(), records.end()).size(), 550);
        QVERIFY2(records.size() <= 551, qPrintable(QString::number(records.size())));
        if (!killed) QCOMPARE(records.size(), 551);
        QStringList controls;
        for (const QByteArray& line : fileBytes(log).split('\n')) controls << QString::fromUtf8(line).section(u' ', 1);
        controls.removeAll(QString());
        QCOMPARE(QSet<QString>(controls.begin(), controls.end()).size(), 550);
    }
};

QTEST_GUILESS_MAIN(TestRoundtrip)
#include "test_roundtrip.moc"
