#pragma once
#include <QString>
#include <QStringList>
#include <optional>

namespace marrowick::batch {

// What a command line asks for. Each command has its own options; the help
// text is made from the same option lists, so it cannot drift from them.
struct Options {
    QString command;
    QString database;
    bool rebuild = false;
    // evaluate
    bool reuse = false;
    bool strict = false;
    // report
    QString format = QStringLiteral("text");
    QString output = QStringLiteral(".");
    QString pdf;
    // deck
    QString processingId = QStringLiteral("T");
    QStringList positional;
};

// The options of arguments (the program's name first); nullopt with the
// problem when they do not parse.
std::optional<Options> parseCommandLine(const QStringList& arguments, QString& problem);

// The text of --help.
QString helpText();

} // namespace marrowick::batch
