// The whole `marrowick-batch evaluate` process, load and analysis: wall time and peak memory.
#include "BenchSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString batch = QStringLiteral(MARROWICK_BIN_DIR "/marrowick-batch");
    const QString database = dir.filePath(QStringLiteral("bench.db"));
    const QString sample = QStringLiteral(MARROWICK_SOURCE_DIR "/samples/results-typical.txt");
    struct Case {
        int lines;
        const char* label;
        double target;
    };
    for (const Case c : {Case{550, "evaluate a 550-line file (whole process)", 60},
                         Case{30000, "evaluate a 30,000-line file (whole process)", 1500}}) {
        const QString path = dir.filePath(QStringLiteral("r%1.txt").arg(c.lines));
        QFile out(path);
        out.open(QIODevice::WriteOnly);
        out.write(bench::resultsFile(sample, c.lines));
        out.close();
        double ms = 0, peak = 0, maxPeak = 0;
        bool ok = true;
        const QStringList args{batch, QStringLiteral("evaluate"), QStringLiteral("--database"), database, path};
        bench::runProcess(args, ms, peak); // creates the database; not measured
        const double median = bench::medianMs(c.lines > 1000 ? 5 : 11, [&] {
            ok = bench::runProcess(args, ms, peak) && ok;
            maxPeak = std::max(maxPeak, peak);
        });
        if (!ok) return 3;
        bench::report(c.label, median, "ms", c.target);
        std::printf("%-58s %10.1f MiB\n", "  peak memory of that process", maxPeak);
    }
    return 0;
}
