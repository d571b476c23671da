// marrowick-batch: the evaluation without a window, for registries that rerun
// the test after every change to their matching rules.
#include "BatchPlatform.h"
#include "CommandLine.h"
#include "Pages.h"
#include "UsageError.h"
#include "commands/Command.h"
#include "database/DbError.h"
#include "platform/FileRefused.h"
#include "platform/Platform.h"

#include <QCoreApplication>
#include <QStringList>
#include <cstdio>
#include <memory>

using namespace marrowick;

// Standard error carries the program's messages only, in their one format, and
// the program's own log categories when someone turned them on.
void quietQt(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "Error: %s\n", qPrintable(message));
        std::abort();
    }
    if (context.category && qstrncmp(context.category, "marrowick.", 10) == 0)
        std::fprintf(stderr, "Debug: %s\n", qPrintable(message));
}

int main(int argc, char* argv[])
{
    qInstallMessageHandler(quietQt);
    // Only the page renderer needs a graphical application (fonts, not a display).
    bool pages = false;
    for (int i = 1; i < argc; ++i)
        pages = pages || qstrcmp(argv[i], "--pdf") == 0 || qstrncmp(argv[i], "--pdf=", 6) == 0;
    if (pages && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QString problem;
    std::unique_ptr<QCoreApplication> app(pages ? batch::pages::application(argc, argv, problem)
                                                : new QCoreApplication(argc, argv));
    if (!app) {
        std::fprintf(stderr, "Error: The page module for --pdf cannot be loaded: %s\n", qPrintable(problem));
        return batch::Failed;
    }
    QCoreApplication::setApplicationName(QStringLiteral("Marrowick"));
    QCoreApplication::setOrganizationName(QStringLiteral("Marrowick"));
    BatchPlatform host;
    installPlatform(&host);

    const QStringList args = QCoreApplication::arguments();
    if (args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h"))) {
        std::fputs(batch::helpText().toLocal8Bit().constData(), stdout);
        return batch::Done;
    }
    try {
        const batch::Options options = batch::parseCommandLine(args);
        return batch::commandNamed(options.command)->run(options, host);
    } catch (const batch::UsageError& error) {
        return batch::usage(error.problem());
    } catch (const FileRefused& refused) {
        // Told whole; a refused results file is the user's to fix, anything else a fault.
        showCurrentFailure(QStringLiteral("The previous evaluation is unchanged."));
        return refused.role() == FileRefused::Role::Results ? batch::Refused : batch::Failed;
    } catch (...) {
        showCurrentFailure(QStringLiteral("The previous evaluation is unchanged."));
        return batch::Failed;
    }
}
