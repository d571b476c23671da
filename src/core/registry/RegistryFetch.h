#pragma once
#include "ImmunizationQuery.h"
#include "RegistrySend.h"

#include <QString>
#include <functional>
#include <optional>

namespace marrowick {

struct FetchOptions {
    ConnectionSettings connection;
    FacilityMap facilities;
    std::optional<FlagField> flag; // without it every row's flag is N
    double rate = 0;
    int retries = 5;
    QString outputFile;    // the results file to write
    QString responsesFile; // the raw answers, for audit; beside the output by default
};

struct FetchProgress {
    int done = 0, total = 0;
    int recordId = 0;
};

struct FetchSummary {
    int queried = 0;
    int one = 0, several = 0, notFound = 0, errors = 0; // Z32, Z31, Z33 NF, AE/AR
    int clients = 0;                                    // distinct clients written
    int rows = 0;                                       // rows written: one per RXA of each client
    // Clients the registry holds no dose for: the results file has no row
    // without a vaccination date (the import refuses one), so they are left out.
    int withoutDoses = 0;
    // The registry's identifiers are not all numbers the import takes: the
    // clients were numbered in order, and the raw answers say which is which.
    bool renumbered = false;
    QString outputFile, responsesFile;
    QString flagSource;     // "--flag-field X", or the words saying every flag is N
    bool cancelled = false; // stopped between records when asked: nothing written
};

// Queries each test record back with QBP^Q11 (Z34), reads the RSP^K11
// answers and writes the results file in the 15-field layout the import
// reads: one row per RXA of each distinct client, every client once however
// many test records led to it; a Z31 answer's candidates are each written as
// the clients they are. The raw answers go beside it; the password nowhere.
// Throws RegistryFault, FileRefused (Output), DbError.
class RegistryFetch {
public:
    explicit RegistryFetch(FetchOptions options) : m_options(std::move(options)) {}

    std::function<void(const FetchProgress&)> onProgress;
    std::function<bool()> cancelled;
    std::function<void(int ms)> pause;
    // Opens the connection (openConnection unless set), once per facility for SOAP.
    std::function<std::unique_ptr<RegistryConnection>(const ConnectionSettings&)> open;

    FetchSummary run();

    // The default output: a name with the time, beside the database.
    static QString defaultOutputFile(const QString& databaseFile);
    // The raw answers' file: the one named, or NAME-responses.hl7 beside the output.
    static QString responsesFileOf(const FetchOptions& options);
    // A results file, or raw answers, already there is never replaced: throws
    // FileRefused (Output), told whole, before anything is asked of the registry.
    static void refuseExisting(const FetchOptions& options);

private:
    FetchOptions m_options;
};

} // namespace marrowick
