#pragma once
#include <QString>
#include <QStringList>
#include <optional>

namespace marrowick::batch {

// Overall scores below which evaluate fails, in percent.
struct Thresholds {
    double sensitivity = 0;
    double specificity = 0;
};

// What a command line asks for. Each command has its own options; the help
// text is made from the same option lists, so it cannot drift from them.
struct Options {
    QString command;
    QString database;
    bool rebuild = false;
    // evaluate
    bool reuse = false;
    bool strict = false;
    std::optional<Thresholds> failBelow;
    // report
    QString format = QStringLiteral("text");
    QString output = QStringLiteral(".");
    QString pdf;
    // deck
    QString processingId = QStringLiteral("T");
    QString at; // the export's time, as given; empty: now
    // send, fetch, roundtrip: the registry's interface (fetch's results file is output)
    QString endpoint, user, facility, facilityMap, caFile, certFile, keyFile, flagField;
    double rate = 0;
    bool resend = false;
    bool evaluateAfter = false;
    int waitSeconds = 0;
    QStringList positional;
};

// The options of arguments (the program's name first); throws UsageError when
// they do not parse.
Options parseCommandLine(const QStringList& arguments);

// The text of --help.
QString helpText();

} // namespace marrowick::batch
