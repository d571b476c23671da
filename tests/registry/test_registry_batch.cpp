// marrowick-batch's registry commands as a script runs them, against a small
// web service in this process that answers as a registry's test interface.
#include "Suite.h"
#include "registry/Acknowledgement.h"
#include "registry/Hl7Message.h"
#include "registry/Mllp.h"
#include "registry/SoapEnvelope.h"

#include <QDirIterator>
#include <QEventLoop>
#include <QSslKey>
#include <QSslServer>
#include <QStandardPaths>
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

// MLLP over TLS on loopback with a self-signed certificate, acknowledging every message AA.
class TlsRegistry : public QObject {
public:
    TlsRegistry(const QString& certFile, const QString& keyFile)
    {
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        tls.setLocalCertificate(QSslCertificate(fileBytes(certFile)));
        tls.setPrivateKey(QSslKey(fileBytes(keyFile), QSsl::Rsa));
        server.setSslConfiguration(tls);
        server.listen(QHostAddress::LocalHost);
        connect(&server, &QTcpServer::pendingConnectionAvailable, this, [this] {
            while (QTcpSocket* socket = server.nextPendingConnection())
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
                    MllpBuffer& buffer = pending[socket];
                    buffer.append(socket->readAll());
                    while (const std::optional<QByteArray> message = buffer.next()) {
                        ++messages;
                        const Hl7Message m = Hl7Message::parse(*message);
                        socket->write(mllpFrame(writeAcknowledgement(m, "AA", {}, m.controlId())));
                    }
                });
        });
    }
    QString url() const { return QStringLiteral("mllps://127.0.0.1:%1").arg(server.serverPort()); }

    QSslServer server;
    int messages = 0;
    QHash<QTcpSocket*, MllpBuffer> pending;
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
        QTest::newRow("wrong: the service's fault, nothing kept") << "wrong" << 6 << "marrowick-batch: " << 0;
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

    // A certificate no authority vouches for stops the send before anything is kept; --ca naming it lets it through.
    void certificateTrustedOnlyWhenNamed_data()
    {
        QTest::addColumn<bool>("namedByCa");
        QTest::newRow("self-signed, not named") << false;
        QTest::newRow("named by --ca") << true;
    }

    void certificateTrustedOnlyWhenNamed()
    {
        QFETCH(bool, namedByCa);
        if (QStandardPaths::findExecutable("openssl").isEmpty()) QSKIP("needs the openssl command");
        const QString cert = dir.filePath("cert.pem"), key = dir.filePath("key.pem");
        QProcess openssl;
        openssl.start("openssl", {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert,
                                  "-days", "1", "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1"});
        QVERIFY(openssl.waitForFinished(60000) && openssl.exitCode() == 0);
        TlsRegistry registry(cert, key);
        QStringList args{"send", "--database", database(), "--endpoint", registry.url()};
        if (namedByCa) args << "--ca" << cert;
        const BatchRun r = batchServed(args, withPassword(QString()));
        QCOMPARE(r.code, namedByCa ? 0 : 6);
        QCOMPARE(registry.messages, namedByCa ? 550 : 0);
        QCOMPARE(sendRows().size(), namedByCa ? 550 : 0);
        QVERIFY2(namedByCa || r.err.startsWith("marrowick-batch: "), qPrintable(r.err));
    }

    // With nobody listening, the retries run out: exit code 6 and the cause, and the record stays in flight.
    void nobodyListening()
    {
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        const quint16 port = closed.serverPort();
        closed.close();
        const BatchRun r = batchServed({"send", "--database", database(), "--endpoint",
                                        QStringLiteral("mllp://127.0.0.1:%1").arg(port)},
                                       withPassword(QString()));
        QCOMPARE(r.code, 6);
        QVERIFY2(r.err.startsWith("marrowick-batch: ") && r.err.contains("6 tries"), qPrintable(r.err));
        QCOMPARE(sendRows(), QStringList{"1|sending"});
    }
};

QTEST_GUILESS_MAIN(TestRegistryBatch)
#include "test_registry_batch.moc"
