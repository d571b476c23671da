#pragma once
#include "Command.h"

namespace marrowick::batch {

// A command that prints one file, explain.txt and the like: the database, its
// format, and the folder it goes to (standard output without one).
class OutputCommand : public Command {
public:
    OutputCommand(const QString& commandName, QStringList usageLines, QString text);
    void read(const QCommandLineParser& parser, Options& into) const override;
};

} // namespace marrowick::batch
