// Loading a results file: 550 lines and 30,000 lines.
#include "BenchSupport.h"
#include "database/EvalDatabase.h"
#include "import/clsProcessResultsFile.h"

#include <QCoreApplication>
#include <QTemporaryDir>

using namespace marrowick;

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString database = dir.filePath(QStringLiteral("bench.db"));
    openEvalDatabase(database);
    const QString sample = QStringLiteral(MARROWICK_SOURCE_DIR "/samples/results-none.txt");
    struct Case {
        int lines;
        const char* label;
        double target;
    };
    for (const Case c :
         {Case{550, "load a 550-line results file", 10}, Case{30000, "load a 30,000-line results file", 300}}) {
        const QString path = dir.filePath(QStringLiteral("r%1.txt").arg(c.lines));
        QFile out(path);
        out.open(QIODevice::WriteOnly);
        out.write(bench::resultsFile(sample, c.lines));
        out.close();
        const double ms = bench::medianMs(c.lines > 1000 ? 5 : 21, [&] { clsProcessResultsFile().ReadResults(path); });
        bench::report(c.label, ms, "ms", c.target);
    }
    closeEvalDatabase();
    return 0;
}
