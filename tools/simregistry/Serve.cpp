#include "Serve.h"

#include "RegistryService.h"
#include "SimServer.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace marrowick::sim {

namespace {

const char* const kHelp = R"(Serves a registry's test interface on loopback, de-duplicating the VXU^V04
messages it receives by the policy as the file mode does, and answering Z34
queries (QBP^Q11) with RSP^K11: Z32 for one client, Z31 for several, Z33 with
QAK-2 NF for none. Each client's PID-3 holds its client number (type SR) and
the record numbers merged into it (type MR); every merged dose follows as an
ORC and an RXA.

The potential-duplicate flag is carried where --flag-field puts it, by default
OBX[PDFLAG]-5=Y: an OBX after the PID whose OBX-3 is PDFLAG and whose OBX-5 is
Y for a flagged client and N otherwise. PID-F=V puts V in PID field F of a
flagged client; PD1-F=V adds a PD1 with V in field F to a flagged client.
The client is told the same text with its --flag-field.

--drop-after N closes the connection that carries message N+1 without an
answer, once per run. --reject IDS answers AR to the test records with those
numbers (comma-separated). Ends cleanly on SIGTERM or SIGINT.)";

int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[0], &byte, 1);
}

int usage(const QString& problem)
{
    std::fprintf(stderr, "marrowick-simregistry serve: %s\n", qPrintable(problem));
    return 2;
}

QByteArray readFile(const QString& path, bool& ok)
{
    QFile file(path);
    ok = ok && file.open(QIODevice::ReadOnly);
    return ok ? file.readAll() : QByteArray();
}

void addOptions(QCommandLineParser& parser)
{
    parser.setApplicationDescription(QString::fromUtf8(kHelp));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("serve"), QStringLiteral("Serve the test interface."));
    const QList<QCommandLineOption> options{
        {QStringLiteral("policy"), QStringLiteral("none, exact, typical, aggressive or perfect."),
         QStringLiteral("NAME")},
        {QStringLiteral("input"), QStringLiteral("The test data file; the records themselves arrive as messages."),
         QStringLiteral("FILE")},
        {QStringLiteral("answers"), QStringLiteral("Answer_Sheet.csv, for the perfect policy."),
         QStringLiteral("FILE")},
        {QStringLiteral("nicknames"), QStringLiteral("Nickname table of the typical matcher."), QStringLiteral("FILE")},
        {QStringLiteral("mllp"), QStringLiteral("Serve MLLP on 127.0.0.1:PORT or [::1]:PORT (0: a free port)."),
         QStringLiteral("ADDRESS")},
        {QStringLiteral("soap"), QStringLiteral("Serve SOAP 1.2 over HTTP on 127.0.0.1:PORT or [::1]:PORT."),
         QStringLiteral("ADDRESS")},
        {QStringLiteral("user"), QStringLiteral("The user SOAP submissions must name."), QStringLiteral("NAME")},
        {QStringLiteral("password-env"), QStringLiteral("The variable holding the user's password."),
         QStringLiteral("VAR")},
        {QStringLiteral("drop-after"), QStringLiteral("Drop the connection of message N+1, once."),
         QStringLiteral("N")},
        {QStringLiteral("reject"), QStringLiteral("Answer AR to these test records."), QStringLiteral("IDS")},
        {QStringLiteral("log"), QStringLiteral("Append one line per message received: type and control ID."),
         QStringLiteral("FILE")},
        {QStringLiteral("flag-field"), QStringLiteral("Where answers carry the flag (default OBX[PDFLAG]-5=Y)."),
         QStringLiteral("PLACE")},
    };
    parser.addOptions(options);
}

// "127.0.0.1:PORT", "[::1]:PORT" or "::1:PORT".
bool readAddress(const QString& text, QHostAddress& address, quint16& port)
{
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    bool ok = false;
    const uint number = text.mid(colon + 1).toUInt(&ok);
    ok = ok && colon > 0;
    QString host = text.left(colon);
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']'))) host = host.mid(1, host.size() - 2);
    address = QHostAddress(host);
    port = quint16(number);
    return ok && number <= 65535
           && (address == QHostAddress(QHostAddress::LocalHost)
               || address == QHostAddress(QHostAddress::LocalHostIPv6));
}

// What the options ask for, checked; the cause in problem when they do not fit.
struct Settings {
    std::optional<Policy> policy;
    QByteArray answers, nicknames;
    std::optional<QPair<QHostAddress, quint16>> mllp, soap;
    ServerOptions server;
    QSet<int> rejected;
    FlagPlacement flag;
};

bool readListeners(const QCommandLineParser& parser, Settings& s, QString& problem)
{
    for (const char* name : {"mllp", "soap"}) {
        if (!parser.isSet(QLatin1String(name))) continue;
        QHostAddress address;
        quint16 port = 0;
        const QString text = parser.value(QLatin1String(name));
        if (!readAddress(text, address, port)) {
            problem = QStringLiteral("serves only on 127.0.0.1 or ::1 with a port, not %1").arg(text);
            return false;
        }
        (QLatin1String(name) == QLatin1String("mllp") ? s.mllp : s.soap) = qMakePair(address, port);
    }
    if (!s.mllp && !s.soap) problem = QStringLiteral("give --mllp or --soap (or both)");
    return problem.isEmpty();
}

bool readSettings(const QCommandLineParser& parser, Settings& s, QString& problem)
{
    s.policy = policyNamed(parser.value(QStringLiteral("policy")));
    if (!s.policy)
        problem = QStringLiteral("--policy is one of %1").arg(policyNames().join(QStringLiteral(", ")));
    else if (!parser.isSet(QStringLiteral("answers")) || !parser.isSet(QStringLiteral("nicknames")))
        problem = QStringLiteral("--answers and --nicknames are needed");
    if (!problem.isEmpty() || !readListeners(parser, s, problem)) return false;
    if (parser.isSet(QStringLiteral("flag-field"))) {
        const auto flag = FlagPlacement::parse(parser.value(QStringLiteral("flag-field")), &problem);
        if (!flag) return false;
        s.flag = *flag;
    }
    s.server.user = parser.value(QStringLiteral("user"));
    if (!s.server.user.isEmpty()) {
        const QString variable = parser.value(QStringLiteral("password-env"));
        if (variable.isEmpty() || !qEnvironmentVariableIsSet(qPrintable(variable))) {
            problem = QStringLiteral("--user needs --password-env naming a variable that is set");
            return false;
        }
        s.server.password = qEnvironmentVariable(qPrintable(variable));
    }
    bool ok = true;
    if (parser.isSet(QStringLiteral("drop-after")))
        s.server.dropAfter = parser.value(QStringLiteral("drop-after")).toInt(&ok);
    if (!ok || s.server.dropAfter < -1) problem = QStringLiteral("--drop-after takes a number of messages");
    const QStringList ids = parser.value(QStringLiteral("reject")).split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (const QString& id : ids) {
        const int number = id.trimmed().toInt(&ok);
        if (!ok || number <= 0) problem = QStringLiteral("--reject takes record numbers, not %1").arg(id);
        s.rejected.insert(number);
    }
    s.server.logFile = parser.value(QStringLiteral("log"));
    return problem.isEmpty();
}

bool readInputs(const QCommandLineParser& parser, Settings& s)
{
    bool ok = true;
    s.answers = readFile(parser.value(QStringLiteral("answers")), ok);
    s.nicknames = readFile(parser.value(QStringLiteral("nicknames")), ok);
    if (parser.isSet(QStringLiteral("input"))) readFile(parser.value(QStringLiteral("input")), ok);
    return ok;
}

// Prints where it listens, one line per transport, for whoever started it.
bool listen(SimServer& server, const Settings& s)
{
    QString problem;
    for (const bool mllp : {true, false}) {
        const auto& where = mllp ? s.mllp : s.soap;
        if (!where) continue;
        const std::optional<quint16> port = mllp ? server.listenMllp(where->first, where->second, &problem)
                                                 : server.listenSoap(where->first, where->second, &problem);
        if (!port) {
            std::fprintf(stderr, "marrowick-simregistry serve: cannot listen on %s: %s\n",
                         qPrintable(where->first.toString()), qPrintable(problem));
            return false;
        }
        const QString host = where->first.protocol() == QAbstractSocket::IPv6Protocol
                                 ? QStringLiteral("[%1]").arg(where->first.toString())
                                 : where->first.toString();
        std::printf("%s %s:%u\n", mllp ? "mllp" : "soap", qPrintable(host), unsigned(*port));
    }
    std::fflush(stdout);
    return true;
}

} // namespace

int serve(const QStringList& arguments)
{
    QCommandLineParser parser;
    addOptions(parser);
    if (!parser.parse(arguments)) return usage(parser.errorText());
    if (parser.isSet(QStringLiteral("help"))) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return 0;
    }
    Settings settings;
    QString problem;
    if (!readSettings(parser, settings, problem)) return usage(problem);
    if (!readInputs(parser, settings)) {
        std::fprintf(stderr, "marrowick-simregistry serve: cannot read an input file\n");
        return 3;
    }
    const RegistrySimulator simulator(*settings.policy, RegistrySimulator::parseNicknames(settings.nicknames),
                                      RegistrySimulator::parseAnswerSheet(settings.answers));
    RegistryService service(simulator, settings.rejected, settings.flag);
    SimServer server(service, settings.server);
    if (!server.openLog(&problem)) {
        std::fprintf(stderr, "marrowick-simregistry serve: cannot open the log: %s\n", qPrintable(problem));
        return 3;
    }
    // A signal only writes a byte; the event loop ends the run. In place before
    // the ports are told, so that whoever reads them may stop it at once.
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0) return 3;
    QSocketNotifier notifier(signalPipe[1], QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, qApp, &QCoreApplication::quit);
    std::signal(SIGTERM, onSignal);
    std::signal(SIGINT, onSignal);
    if (!listen(server, settings)) return 3;
    return QCoreApplication::exec();
}

} // namespace marrowick::sim
