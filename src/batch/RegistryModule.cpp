// The work of send, fetch and roundtrip, loaded by the program only for them:
// it brings the network library, which the other commands never load. The
// core's code, and the batch's own, come from the program that loads it.
#include "BatchPlatform.h"
#include "commands/RegistryCommand.h"
#include "database/EvalDatabase.h"
#include "output/ReportOutput.h"
#include "registry/RegistryFault.h"
#include "registry/RegistryFetch.h"
#include "registry/RegistrySend.h"

#include <QDir>
#include <QThread>
#include <csignal>
#include <cstdio>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace marrowick::batch {

namespace {

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

// The password for the registry's web service: MARROWICK_PASSWORD, else asked
// for without echo at a terminal. Never an option: other users see command lines.
// A user over SOAP with neither is a usage fault; MLLP takes no password.
QString registryPassword(const RegistryEndpoint& endpoint, const QString& user)
{
    if (qEnvironmentVariableIsSet("MARROWICK_PASSWORD")) return qEnvironmentVariable("MARROWICK_PASSWORD");
    if (user.isEmpty() || endpoint.transport == RegistryEndpoint::Transport::Mllp) return {};
    if (::isatty(STDIN_FILENO) != 1)
        throw UsageError(QStringLiteral("--user needs a password: set MARROWICK_PASSWORD, or run at a terminal to "
                                        "be asked for it"));
    return promptHidden(QStringLiteral("Password for %1: ").arg(user));
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

SendSummary send(const Options& o, const SendOptions& options, BatchPlatform& host)
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

void printSend(const SendSummary& summary)
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

FetchOptions fetchOptions(const Options& o, const ConnectionSettings& connection, const FacilityMap& facilities)
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

int fetch(const Options& o, const FetchOptions& options, BatchPlatform& host)
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

int work(const Options& o, int parts, BatchPlatform& host)
{
    const ConnectionSettings connection = settingsOf(o);
    FacilityMap facilities = o.facilityMap.isEmpty() ? FacilityMap{} : FacilityMap::read(o.facilityMap);
    facilities.single = o.facility;
    if (parts == RegistryCommand::Sends) {
        printSend(send(o, {connection, facilities, o.rate, o.resend}, host));
        return Done;
    }
    // Whatever --flag-field and --output say is checked before anything is sent.
    const FetchOptions fetching = fetchOptions(o, connection, facilities);
    if (parts & RegistryCommand::Sends) {
        printSend(send(o, {connection, facilities, o.rate, o.resend}, host));
        if (o.waitSeconds > 0) {
            host.UpdateProgressText(QStringLiteral("Waiting %1 s for the registry").arg(o.waitSeconds));
            QThread::sleep(static_cast<unsigned long>(o.waitSeconds));
            host.clearLine();
        }
    }
    return fetch(o, fetching, host);
}

} // namespace

} // namespace marrowick::batch

extern "C" Q_DECL_EXPORT int marrowickRegistryRun(const marrowick::batch::Options& o, int parts,
                                                  marrowick::BatchPlatform& host)
{
    using namespace marrowick::batch;
    try {
        return work(o, parts, host);
    } catch (const marrowick::RegistryFault& fault) {
        host.clearLine();
        std::fprintf(stderr, "Registry Error: %s\n", fault.message().toLocal8Bit().constData());
        return RegistryFault;
    }
}
