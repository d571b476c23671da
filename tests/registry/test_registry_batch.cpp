// marrowick-batch's registry commands as a script runs them, against a small
// web service in this process that answers as a registry's test interface.
#include "Suite.h"
#include "registry/Acknowledgement.h"
#include "registry/Hl7Message.h"
#include "registry/SoapEnvelope.h"

#include <QDirIterator>
#include <QEventLoop>
#include <QTcpServer>
#include <QTcpSocket>

namespace {

const QString kPassword = QStringLiteral("Pw-7c1e-unlikely-anywhere");

// The CDC web service over HTTP/1.1 on loopback: a wrong password gets a
// SecurityFault, anything else is acknowledged AA.
class SoapRegistry : public QObject {
public:
    SoapRegistry()
    {
        server.listen(QHostAddress::LocalHost);
        connect(&server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = server.nextPendingConnection())
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { serve(socket); });
        });
    }
    QString url() const { return QStringLiteral("http://127.0.0.1:%1/iis").arg(server.serverPort()); }

    QTcpServer server;
    int messages = 0;
    QHash<QTcpSocket*, QByteArray> pending;

private:
    void serve(QTcpSocket* socket)
    {
        QByteArray& buffer = pending[socket];
        buffer += socket->readAll();
        for (;;) {
            const qsizetype end = buffer.indexOf("\r\n\r\n");
            if (end < 0) return;
            qsizetype length = 0;
            for (const QByteArray& line : buffer.left(end).split('\n'))
                if (line.toLower().startsWith("content-length:")) length = line.mid(15).trimmed().toLongLong();
            if (buffer.size() < end + 4 + length) return;
            const QByteArray body = buffer.mid(end + 4, length);
            buffer.remove(0, end + 4 + length);
            socket->write(answer(body));
        }
    }
    QByteArray answer(const QByteArray& body)
    {
        const std::optional<SoapRequest> request = readSoapRequest(body);
        QByteArray xml;
        bool fault = false;
        if (!request || request->password != kPassword) {
            const QString reason = QStringLiteral("Bad credentials for this test");
            xml = writeSoapFault({SoapFault::Kind::Security, QString(), reason});
            fault = true;
        } else if (request->operation == SoapRequest::Operation::ConnectivityTest) {
            xml = writeSoapResponse(request->operation, request->echoBack);
        } else {
            ++messages;
            const Hl7Message message = Hl7Message::parse(request->hl7Message);
            // Queries find nobody: this registry only keeps what it is sent.
            const QString notFound = "MSH|^~\\&|REG||||20250101||RSP^K11^RSP_K11|R1|P|2.5.1|||||||||Z33^CDCPHINVS\r"
                                     "MSA|AA|" + message.controlId() + "\rQAK|" + message.controlId() + "|NF\r";
            xml = writeSoapResponse(request->operation,
                                    message.type().startsWith("QBP")
                                            ? notFound
                                            : QString::fromUtf8(writeAcknowledgement(message, "AA", {},
                                                                                     message.controlId())));
        }
        return (fault ? QByteArray("HTTP/1.1 500 Internal Server Error\r\n") : QByteArray("HTTP/1.1 200 OK\r\n"))
               + "Content-Type: application/soap+xml; charset=utf-8\r\n"
               + "Content-Length: " + QByteArray::number(xml.size()) + "\r\n\r\n" + xml;
    }
};

// The batch program run while this process keeps serving.
BatchRun batchServed(const QStringList& args, const QProcessEnvironment& env)
{
    QProcess p;
    p.setProcessEnvironment(env);
    QEventLoop loop;
    QObject::connect(&p, &QProcess::finished, &loop, &QEventLoop::quit);
    p.start(kBatchProgram, args);
    loop.exec();
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

QProcessEnvironment withPassword(const QString& password)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("MARROWICK_PASSWORD");
    if (!password.isNull()) env.insert("MARROWICK_PASSWORD", password);
    return env;
}

} // namespace

class TestRegistryBatch : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    int serial = 0;
    QString database() const { return dir.filePath(QStringLiteral("eval%1.db").arg(serial)); }

    QStringList command(const char* name, const SoapRegistry& registry) const
    {
        return {name, "--database", database(), "--endpoint", registry.url(), "--user", "tester"};
    }

    QStringList sendRows()
    {
        QStringList found;
        onDatabase(database(), [&] { found = rows("SELECT RecordID, State FROM tblRegistrySends"); });
        return found;
    }

private slots:
    // Each test has its own database.
    void init() { ++serial; }

    void passwordSources_data()
    {
        QTest::addColumn<QString>("password"); // in MARROWICK_PASSWORD; null: not set
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("error");
        QTest::addColumn<int>("kept"); // records kept as sent
        QTest::newRow("none, and no terminal to ask at") << QString() << 2
                << "marrowick-batch: --user needs a password" << 0;
        QTest::newRow("wrong: the service's fault, nothing kept") << "wrong" << 6 << "Registry Error: SecurityFault" << 0;
        QTest::newRow("right") << kPassword << 0 << "" << 550;
    }

    void passwordSources()
    {
        QFETCH(QString, password);
        QFETCH(int, code);
        QFETCH(QString, error);
        QFETCH(int, kept);
        SoapRegistry registry;
        const BatchRun r = batchServed(command("send", registry), withPassword(password));
        QCOMPARE(r.code, code);
        QVERIFY2(error.isEmpty() ? r.err.isEmpty() : r.err.startsWith(error), qPrintable(r.err));
        QCOMPARE(registry.messages, kept);
        QCOMPARE(sendRows().size(), kept);
        if (code == 6) QVERIFY2(r.err.contains("Bad credentials for this test"), qPrintable(r.err));
        if (code == 0) QVERIFY2(r.out.startsWith("550 messages sent; 0 skipped"), qPrintable(r.out));
    }

    // Nothing the commands write holds the password: the database, the results file, the raw answers.
    void passwordWrittenNowhere()
    {
        SoapRegistry registry;
        const QString results = dir.filePath("results.txt");
        QCOMPARE(batchServed(command("send", registry), withPassword(kPassword)).code, 0);
        const QStringList fetch = command("fetch", registry) + QStringList{"--output", results};
        QCOMPARE(batchServed(fetch, withPassword(kPassword)).code, 0);
        QVERIFY(QFileInfo::exists(results));
        int files = 0;
        const auto filter = QDir::Files | QDir::Hidden;
        for (QDirIterator it(dir.path(), filter, QDirIterator::Subdirectories); it.hasNext(); ++files) {
            const QString path = it.next();
            QVERIFY2(!fileBytes(path).contains(kPassword.toUtf8()), qPrintable(path));
        }
        QVERIFY(files >= 1);
    }
};

QTEST_GUILESS_MAIN(TestRegistryBatch)
#include "test_registry_batch.moc"
