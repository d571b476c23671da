#include "RegistryCommand.h"

#include "BatchPlatform.h"
#include "database/EvalDatabase.h"
#include "output/ReportOutput.h"
#include "registry/RegistryFault.h"

#include <QDir>
#include <csignal>
#include <cstdio>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace marrowick::batch {

namespace {

QList<QCommandLineOption> registryOptions(int parts)
{
    QList<QCommandLineOption> options = databaseOptions();
    options << option("endpoint",
                      "The registry's test interface: https://... or http://... for its SOAP web service (the CDC "
                      "WSDL, urn:cdc:iisb:2011), mllp://HOST:PORT, or mllps://HOST:PORT for MLLP over TLS.",
                      "URL")
            << option("user",
                      "The user name for the web service. Its password is read from MARROWICK_PASSWORD, "
                      "or asked for at a terminal; never from the command line.",
                      "NAME")
            << option("facility", "The facility ID the registry issued for testing; every message goes under it.", "ID")
            << option("facility-map",
                      "A csv file of lines \"clinic,facility ID\": the facility each of the deck's five clinics "
                      "sends as.",
                      "FILE")
            << option("rate", "At most N messages a second.", "N")
            << option("ca", "A PEM file of certificate authorities to trust besides the system's.", "FILE")
            << option("cert", "A PEM client certificate for TLS.", "FILE")
            << option("key", "The PEM key of the client certificate (unencrypted).", "FILE");
    if (parts & RegistryCommand::Sends)
        options << option("resend", "Sends again the records the registry acknowledged before, with new control IDs. "
                                    "Without it they are skipped, and an interrupted send goes on where it stopped.");
    if (parts & RegistryCommand::Fetches)
        options << option("flag-field",
                          "Where the registry puts its potential-duplicate flag, as SEGMENT-FIELD=VALUE "
                          "(PID-30=Y) or OBX[CODE]-5=VALUE. Without it every row's flag is N.",
                          "SPEC")
                << option("output",
                          "The results file to write; one that exists is refused, not replaced. Without it, "
                          "registry-results-DATE-TIME.txt beside the database. The registry's raw answers go "
                          "beside it, in NAME-responses.hl7.",
                          "FILE");
    if (parts == RegistryCommand::Fetches)
        options << option("evaluate", "Evaluates the results file once it is written, as evaluate does.");
    if (parts == (RegistryCommand::Sends | RegistryCommand::Fetches))
        options << option("wait",
                          "Waits SECONDS between the send and the queries, for a registry that "
                          "de-duplicates in a nightly job.",
                          "SECONDS");
    return options;
}

std::optional<double> positiveNumber(const QString& text)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    return ok && value > 0 ? std::optional<double>(value) : std::nullopt;
}

termios g_echoing{};

// Ctrl+C at the prompt: the terminal echoes again before the program ends.
void restoreEchoAndStop(int signal)
{
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &g_echoing);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

// One line typed at the terminal, not echoed.
QString promptHidden(const QString& prompt)
{
    std::fprintf(stderr, "%s", prompt.toLocal8Bit().constData());
    std::fflush(stderr);
    const bool terminal = ::tcgetattr(STDIN_FILENO, &g_echoing) == 0;
    if (terminal) {
        std::signal(SIGINT, restoreEchoAndStop);
        std::signal(SIGTERM, restoreEchoAndStop);
        termios quiet = g_echoing;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    std::string line;
    for (int c = std::fgetc(stdin); c != EOF && c != '\n'; c = std::fgetc(stdin)) line += char(c);
    if (terminal) {
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &g_echoing);
        std::signal(SIGINT, SIG_DFL);
        std::signal(SIGTERM, SIG_DFL);
    }
    std::fputc('\n', stderr);
    return QString::fromLocal8Bit(line);
}

ConnectionSettings settingsOf(const Options& o)
{
    if (o.endpoint.isEmpty()) throw UsageError(o.command + QStringLiteral(" needs --endpoint URL"));
    QString problem;
    const std::optional<RegistryEndpoint> endpoint = RegistryEndpoint::parse(o.endpoint, &problem);
    if (!endpoint) throw UsageError(QStringLiteral("--endpoint: ") + problem);
    if (!endpoint->url.password().isEmpty())
        throw UsageError(QStringLiteral("--endpoint must not hold a password: set MARROWICK_PASSWORD"));
    ConnectionSettings settings;
    settings.endpoint = *endpoint;
    settings.credentials.user = o.user;
    settings.credentials.facility = o.facility;
    settings.tls = {o.caFile, o.certFile, o.keyFile};
    if (o.certFile.isEmpty() != o.keyFile.isEmpty()) throw UsageError(QStringLiteral("--cert and --key go together"));
    settings.credentials.password = registryPassword(*endpoint, o.user);
    return settings;
}

} // namespace

QString registryPassword(const RegistryEndpoint& endpoint, const QString& user)
{
    if (qEnvironmentVariableIsSet("MARROWICK_PASSWORD")) return qEnvironmentVariable("MARROWICK_PASSWORD");
    if (user.isEmpty() || endpoint.transport == RegistryEndpoint::Transport::Mllp) return {};
    if (::isatty(STDIN_FILENO) != 1)
        throw UsageError(QStringLiteral("--user needs a password: set MARROWICK_PASSWORD, or run at a terminal to "
                                        "be asked for it"));
    return promptHidden(QStringLiteral("Password for %1: ").arg(user));
}

RegistryCommand::RegistryCommand(const QString& commandName, QString text, int parts)
    : Command(commandName, {QStringLiteral("--endpoint URL")}, std::move(text), registryOptions(parts)), m_parts(parts)
{
}

void RegistryCommand::read(const QCommandLineParser& parser, Options& into) const
{
    into.output.clear();
    for (const auto& [key, value] :
         {std::pair{"endpoint", &into.endpoint}, std::pair{"user", &into.user}, std::pair{"facility", &into.facility},
          std::pair{"facility-map", &into.facilityMap}, std::pair{"ca", &into.caFile},
          std::pair{"cert", &into.certFile}, std::pair{"key", &into.keyFile}, std::pair{"flag-field", &into.flagField},
          std::pair{"output", &into.output}})
        if (parser.optionNames().contains(QLatin1String(key))) readValue(parser, key, *value);
    if (parser.isSet(QStringLiteral("rate"))) {
        const std::optional<double> rate = positiveNumber(parser.value(QStringLiteral("rate")));
        if (!rate) throw UsageError(QStringLiteral("--rate takes a number of messages a second above 0"));
        into.rate = *rate;
    }
    into.resend = (m_parts & Sends) && parser.isSet(QStringLiteral("resend"));
    into.evaluateAfter =
        m_parts == (Sends | Fetches) || (m_parts == Fetches && parser.isSet(QStringLiteral("evaluate")));
    if (m_parts == (Sends | Fetches) && parser.isSet(QStringLiteral("wait"))) {
        const std::optional<qint64> wait = plainInteger(parser.value(QStringLiteral("wait")));
        if (!wait || *wait < 0 || *wait > 7 * 24 * 3600)
            throw UsageError(QStringLiteral("--wait takes a number of seconds, 0 to 604800"));
        into.waitSeconds = int(*wait);
    }
}

int RegistryCommand::run(const Options& o, BatchPlatform& host) const
{
    if (!o.positional.isEmpty())
        throw UsageError(o.command + QStringLiteral(" takes no words but options: ") + o.positional.first());
    const ConnectionSettings connection = settingsOf(o);
    FacilityMap facilities = o.facilityMap.isEmpty() ? FacilityMap{} : FacilityMap::read(o.facilityMap);
    facilities.single = o.facility;
    try {
        return work(o, connection, facilities, host);
    } catch (const marrowick::RegistryFault& fault) {
        host.clearLine();
        std::fprintf(stderr, "Registry Error: %s\n", fault.message().toLocal8Bit().constData());
        return RegistryFault;
    }
}

} // namespace marrowick::batch

namespace marrowick::batch {

SendSummary RegistryCommand::send(const Options& o, const SendOptions& options, BatchPlatform& host)
{
    SendSummary summary;
    withDatabase(o, Needs::Database, [&] {
        RegistrySend sending(options);
        host.UpdateProgressText(QStringLiteral("Sending the test records"));
        // Each record's state is committed before the next goes, so an
        // interrupted run (Ctrl+C included) resumes where it stopped.
        sending.onProgress = [&](const SendProgress& p) { host.SetProgressBar(p.done * 100 / qMax(1, p.total)); };
        summary = sending.run();
        host.clearLine();
        return int(Done);
    });
    return summary;
}

void RegistryCommand::printSend(const SendSummary& summary)
{
    QString text = QStringLiteral("%1 messages sent; %2 skipped (acknowledged before); %3 records accepted; "
                                  "%4 rejected.\n")
                       .arg(summary.sent)
                       .arg(summary.skipped)
                       .arg(summary.accepted)
                       .arg(summary.rejected.size());
    for (const RejectedRecord& r : summary.rejected)
        text += QStringLiteral("ID %1: %2: %3\n")
                    .arg(r.recordId)
                    .arg(r.ackCode, QString(r.errors).replace(QLatin1Char('\n'), QStringLiteral("; ")));
    writeOutput(text.toUtf8(), QString(), QString(), QStringLiteral("The summary"));
}

FetchOptions RegistryCommand::fetchOptions(const Options& o, const ConnectionSettings& connection,
                                           const FacilityMap& facilities)
{
    FetchOptions options;
    options.connection = connection;
    options.facilities = facilities;
    options.rate = o.rate;
    if (!o.flagField.isEmpty()) {
        QString problem;
        options.flag = FlagField::parse(o.flagField, &problem);
        if (!options.flag) throw UsageError(QStringLiteral("--flag-field: ") + problem);
    }
    const QString database =
        o.database.isEmpty() ? defaultDatabasePath() : QDir::current().absoluteFilePath(o.database);
    options.outputFile = o.output.isEmpty() ? RegistryFetch::defaultOutputFile(database) : o.output;
    RegistryFetch::refuseExisting(options);
    return options;
}

int RegistryCommand::fetch(const Options& o, const FetchOptions& options, BatchPlatform& host)
{
    RegistryFetch fetching(options);
    host.UpdateProgressText(QStringLiteral("Querying the test records"));
    fetching.onProgress = [&](const FetchProgress& p) { host.SetProgressBar(p.done * 100 / qMax(1, p.total)); };
    const FetchSummary s = fetching.run();
    host.clearLine();
    writeOutput(QStringLiteral("%1 records queried: %2 one client (Z32), %3 several candidates (Z31), %4 not found "
                               "(Z33), %5 errors.\n%6 clients in %7 rows written to %8 (the raw answers: %9).\n"
                               "potential-duplicate flag: %10\n")
                    .arg(s.queried)
                    .arg(s.one)
                    .arg(s.several)
                    .arg(s.notFound)
                    .arg(s.errors)
                    .arg(s.clients)
                    .arg(s.rows)
                    .arg(s.outputFile, s.responsesFile, s.flagSource)
                    .toUtf8(),
                QString(), QString(), QStringLiteral("The summary"));
    if (s.withoutDoses > 0)
        writeOutput(QStringLiteral("%1 clients without a vaccination left out: the results file has no row for them.\n")
                        .arg(s.withoutDoses)
                        .toUtf8(),
                    QString(), QString(), QStringLiteral("The summary"));
    if (s.renumbered)
        writeOutput(QStringLiteral("The registry's client numbers are not all numbers the evaluation reads: the "
                                   "clients are numbered 1 to %1, and the raw answers say which is which.\n")
                        .arg(s.clients)
                        .toUtf8(),
                    QString(), QString(), QStringLiteral("The summary"));
    if (!o.evaluateAfter) return Done;
    // The evaluate command itself, on the file just written.
    Options evaluate = o;
    evaluate.command = QStringLiteral("evaluate");
    evaluate.positional = QStringList{s.outputFile};
    evaluate.reuse = false;
    return commandNamed(evaluate.command)->run(evaluate, host);
}

} // namespace marrowick::batch
