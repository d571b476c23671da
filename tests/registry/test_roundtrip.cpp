// The round trip against the registry simulator's test interface: the same
// scores as the simulator's results file for the same policy, over MLLP and
// over SOAP, the password kept out of every file, wrong credentials, and an
// interrupted send that resumes sending nothing twice but the one record in flight.
#include "SimServe.h"
#include "Suite.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <QThread>

namespace {

const QString kPassword = QStringLiteral("sim-secret-4e1f");
const QStringList kSimulatorUser{"--input", source("data/DupTestData.txt"), "--user", "tester", "--password-env",
                                 "SIM_PASSWORD"};

QProcessEnvironment withPassword(const QString& password)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("MARROWICK_PASSWORD");
    if (!password.isNull()) env.insert("MARROWICK_PASSWORD", password);
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

struct Interruption { bool killed, soap; };
// A send under a password from the environment (null: none): its exit, what it tells, the records kept as sent.
struct Login { QString password; int code; QString error; int kept; };

} // namespace

Q_DECLARE_METATYPE(Interruption)
Q_DECLARE_METATYPE(Login)

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
        SimServe simulator(policy, kSimulatorUser + QStringList{"--flag-field", flagField}, kPassword);
        QVERIFY(simulator.mllp && simulator.soap);
        const BatchRun trip = runBatch({"roundtrip", "--database", file("trip.db"), "--endpoint",
                                        soap ? simulator.soapUrl() : simulator.mllpUrl(), "--user", "tester",
                                        "--flag-field", flagField, "--output", file("results.txt")},
                                       kBatchProgram, withPassword(kPassword));
        QVERIFY2(trip.code == 0, qPrintable(trip.err));
        QVERIFY2(trip.out.contains("potential-duplicate flag: from " + flagField), qPrintable(trip.out));
        QCOMPARE(runBatch({"evaluate", "--database", file("file.db"), sample(policy)}).code, 0);
        const QString expected = reports(file("file.db"));
        QVERIFY(expected.contains("Sensitivity"));
        QCOMPARE(reports(file("trip.db")), expected);
        // Nothing written holds the password: the database, the results file, the raw answers.
        QVERIFY(QFileInfo::exists(file("results-responses.hl7")));
        for (QDirIterator it(dir.path(), QDir::Files | QDir::Hidden); it.hasNext();) {
            const QString path = it.next();
            QVERIFY2(!fileBytes(path).contains(kPassword.toUtf8()), qPrintable(path));
        }
    }

    void passwords_data()
    {
        QTest::addColumn<Login>("row");
        QTest::newRow("none, and no terminal to ask at")
            << Login{QString(), 2, "marrowick-batch: --user needs a password", 0};
        QTest::newRow("wrong: the service's fault, nothing kept")
            << Login{"wrong", 6, "Registry Error: SecurityFault: Invalid username or password", 0};
        QTest::newRow("right") << Login{kPassword, 0, "", 550};
    }
    void passwords()
    {
        QFETCH(Login, row);
        SimServe simulator("typical", kSimulatorUser, kPassword);
        const BatchRun r = runBatch({"send", "--database", file("send.db"), "--endpoint", simulator.soapUrl(), "--user",
                                     "tester"}, kBatchProgram, withPassword(row.password));
        QCOMPARE(r.code, row.code);
        QVERIFY2(row.error.isEmpty() ? r.err.isEmpty() : r.err.startsWith(row.error), qPrintable(r.err));
        QCOMPARE(loggedRecords(simulator.log()).size(), row.kept);
        QStringList sent;
        onDatabase(file("send.db"), [&] { sent = rows("SELECT RecordID FROM tblRegistrySends"); });
        QCOMPARE(sent.size(), row.kept);
        if (row.code == 0) QVERIFY2(r.out.startsWith("550 messages sent; 0 skipped"), qPrintable(r.out));
    }

    // Interrupted by the registry (a dropped connection) or by a killed process, the send resumes:
    // every record reaches the registry, and none twice but the one in flight, under its control ID.
    void interruptedSendResumes_data()
    {
        QTest::addColumn<Interruption>("by");
        QTest::newRow("connection dropped, MLLP") << Interruption{false, false};
        QTest::newRow("connection dropped, SOAP") << Interruption{false, true};
        QTest::newRow("kill -9") << Interruption{true, false};
    }
    void interruptedSendResumes()
    {
        QFETCH(Interruption, by);
        SimServe simulator("typical", by.killed ? QStringList{} : QStringList{"--drop-after", "100"});
        const QString log = simulator.log();
        const QStringList send{"send", "--database", file("send.db"), "--endpoint",
                               by.soap ? simulator.soapUrl() : simulator.mllpUrl()};
        if (by.killed) {
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
        if (!by.killed) QCOMPARE(records.size(), 551);
        QStringList controls;
        for (const QByteArray& line : fileBytes(log).split('\n')) controls << QString::fromUtf8(line).section(u' ', 1);
        controls.removeAll(QString());
        QCOMPARE(QSet<QString>(controls.begin(), controls.end()).size(), 550);
    }
};

QTEST_GUILESS_MAIN(TestRoundtrip)
#include "test_roundtrip.moc"
