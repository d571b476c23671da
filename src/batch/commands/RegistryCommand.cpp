#include "RegistryCommand.h"

#include "Modules.h"

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

} // namespace

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
    return runRegistryModule(o, m_parts, host);
}

} // namespace marrowick::batch
