#include "RegistryLink.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QSslCertificate>
#include <QSslKey>
#include <QTimer>

namespace marrowick {

namespace {

using Kind = RegistryFault::Kind;

QByteArray readTlsFile(const QString& path, const QString& role)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw RegistryFault(Kind::Tls, QStringLiteral("the %1 file %2 cannot be read: %3")
                                           .arg(role, QDir::toNativeSeparators(path), file.errorString()));
    return file.readAll();
}

QList<QSslCertificate> certificatesIn(const QString& path, const QString& role)
{
    const QList<QSslCertificate> certificates = QSslCertificate::fromData(readTlsFile(path, role), QSsl::Pem);
    if (certificates.isEmpty())
        throw RegistryFault(
            Kind::Tls,
            QStringLiteral("the %1 file %2 holds no PEM certificate").arg(role, QDir::toNativeSeparators(path)));
    return certificates;
}

QSslKey privateKeyIn(const QString& path)
{
    const QByteArray pem = readTlsFile(path, QStringLiteral("client key"));
    for (const QSsl::KeyAlgorithm algorithm : {QSsl::Rsa, QSsl::Ec, QSsl::Dsa}) {
        const QSslKey key(pem, algorithm, QSsl::Pem, QSsl::PrivateKey);
        if (!key.isNull()) return key;
    }
    throw RegistryFault(Kind::Tls, QStringLiteral("the client key file %1 holds no unencrypted PEM private key")
                                       .arg(QDir::toNativeSeparators(path)));
}

// The system's certificate authorities, those of the CA file besides, and the
// client's own certificate when it has one. The peer is always verified.
QSslConfiguration tlsConfiguration(const TlsSettings& tls)
{
    if (!QSslSocket::supportsSsl())
        throw RegistryFault(Kind::Tls, QStringLiteral("this system offers no TLS library for an encrypted endpoint"));
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    config.setPeerVerifyMode(QSslSocket::VerifyPeer);
    if (!tls.caFile.isEmpty())
        config.addCaCertificates(certificatesIn(tls.caFile, QStringLiteral("certificate authority")));
    if (!tls.clientCertFile.isEmpty()) {
        config.setLocalCertificate(certificatesIn(tls.clientCertFile, QStringLiteral("client certificate")).first());
        // A PEM file often holds the key beside the certificate.
        config.setPrivateKey(privateKeyIn(tls.clientKeyFile.isEmpty() ? tls.clientCertFile : tls.clientKeyFile));
    } else if (!tls.clientKeyFile.isEmpty()) {
        throw RegistryFault(Kind::Tls, QStringLiteral("a client key was given without its certificate"));
    }
    return config;
}

QString seconds(int ms) { return QString::number(ms / 1000.0, 'g', 4); }

} // namespace

RegistryLink::RegistryLink(const ConnectionSettings& settings)
    : m_endpoint(settings.endpoint), m_timeoutMs(settings.timeoutMs)
{
    if (m_endpoint.tls) m_tls = tlsConfiguration(settings.tls);
}

RegistryLink::~RegistryLink() { drop(); }

QString RegistryLink::where() const { return QStringLiteral("%1:%2").arg(m_endpoint.host()).arg(m_endpoint.port()); }

QString RegistryLink::peerName() const
{
    return m_socket ? m_socket->peerCertificate().subjectDisplayName() : QString();
}

void RegistryLink::open()
{
    // A server that closed an idle connection is noticed here, not by the next message.
    if (m_socket) waitAtMost(0);
    if (m_socket && m_socket->state() == QAbstractSocket::ConnectedState && (!m_tls || m_socket->isEncrypted())) return;
    drop();
    m_socket = std::make_unique<QSslSocket>();
    m_failure.reset();
    m_sslErrors.clear();
    QSslSocket* socket = m_socket.get();
    QObject::connect(socket, &QAbstractSocket::connected, [this] { wake(); });
    QObject::connect(socket, &QSslSocket::encrypted, [this] { wake(); });
    QObject::connect(socket, &QAbstractSocket::disconnected, [this] { wake(); });
    QObject::connect(socket, &QIODevice::readyRead, [this, socket] {
        m_received += socket->readAll();
        wake();
    });
    QObject::connect(socket, &QAbstractSocket::errorOccurred, [this](QAbstractSocket::SocketError error) {
        noteError(error);
        wake();
    });
    // Not ignored: the handshake then fails, and these say why.
    QObject::connect(socket, &QSslSocket::sslErrors, [this](const QList<QSslError>& errors) {
        for (const QSslError& error : errors) m_sslErrors << error.errorString();
    });
    if (m_tls) {
        socket->setSslConfiguration(*m_tls);
        socket->connectToHostEncrypted(m_endpoint.host(), m_endpoint.port());
        await([socket] { return socket->isEncrypted(); }, QStringLiteral("connection"));
    } else {
        socket->connectToHost(m_endpoint.host(), m_endpoint.port());
        await([socket] { return socket->state() == QAbstractSocket::ConnectedState; }, QStringLiteral("connection"));
    }
}

void RegistryLink::send(const QByteArray& bytes)
{
    open();
    m_received.clear(); // nothing that came unasked answers this message
    m_socket->write(bytes);
}

void RegistryLink::await(const std::function<bool()>& ready, const QString& awaited)
{
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        if (ready()) return;
        if (m_failure) fail(*m_failure);
        if (closed())
            fail({Kind::Transport,
                  QStringLiteral("the registry at %1 closed the connection (awaiting the %2)").arg(where(), awaited)});
        const qint64 left = m_timeoutMs - clock.elapsed();
        if (left <= 0)
            fail({Kind::Transport, QStringLiteral("no %1 from the registry at %2 within %3 s")
                                       .arg(awaited, where(), seconds(m_timeoutMs))});
        waitAtMost(left);
    }
}

void RegistryLink::fail(const RegistryFault& fault)
{
    drop();
    throw fault;
}

void RegistryLink::drop()
{
    if (!m_socket) return;
    m_socket->disconnect();
    m_socket->abort();
    m_socket.reset();
}

void RegistryLink::noteError(QAbstractSocket::SocketError error)
{
    if (m_failure) return; // the first cause is the one to tell
    const QString words = m_socket->errorString();
    const bool tls = error == QAbstractSocket::SslHandshakeFailedError || error == QAbstractSocket::SslInternalError
                     || error == QAbstractSocket::SslInvalidUserDataError;
    if (!m_sslErrors.isEmpty() || tls)
        m_failure =
            RegistryFault(Kind::Tls, QStringLiteral("the registry's certificate at %1 was refused: %2")
                                         .arg(where(), m_sslErrors.isEmpty() ? words : m_sslErrors.join(u"; ")));
    else if (error == QAbstractSocket::RemoteHostClosedError)
        m_failure =
            RegistryFault(Kind::Transport, QStringLiteral("the registry at %1 closed the connection").arg(where()));
    else
        m_failure = RegistryFault(Kind::Transport, QStringLiteral("the registry at %1: %2").arg(where(), words));
}

void RegistryLink::wake()
{
    if (m_loop) m_loop->quit();
}

void RegistryLink::waitAtMost(qint64 ms)
{
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(static_cast<int>(ms));
    m_loop = &loop;
    loop.exec();
    m_loop = nullptr;
}

} // namespace marrowick
