// The round trip against the simulator's test interface on loopback: send the
// 550 messages, then query them back into a results file. Wall time of the two
// batch processes together, and the larger of their peak memories.
#include "BenchSupport.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>

namespace {

// marrowick-simregistry serve over MLLP on a free port; its endpoint, or nothing.
QString serve(QProcess& simulator)
{
    const QString source = QStringLiteral(MARROWICK_SOURCE_DIR "/");
    simulator.start(QStringLiteral(MARROWICK_BIN_DIR "/marrowick-simregistry"),
                    {QStringLiteral("serve"), QStringLiteral("--policy"), QStringLiteral("typical"),
                     QStringLiteral("--input"), source + QStringLiteral("data/DupTestData.txt"),
                     QStringLiteral("--answers"), source + QStringLiteral("data/Answer_Sheet.csv"),
                     QStringLiteral("--nicknames"), source + QStringLiteral("tools/deckdata/nicknames.txt"),
                     QStringLiteral("--mllp"), QStringLiteral("127.0.0.1:0")});
    if (!simulator.waitForReadyRead(10000)) return {};
    const QString line = QString::fromUtf8(simulator.readLine()).trimmed(); // "mllp 127.0.0.1:PORT"
    return line.startsWith(QLatin1String("mllp ")) ? QStringLiteral("mllp://") + line.mid(5) : QString();
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QString batch = QStringLiteral(MARROWICK_BIN_DIR "/marrowick-batch");
    double maxPeak = 0;
    bool ok = true;
    int round = 0;
    // Each round is a new registry and a new database: a send to one that
    // holds the deck already would skip every record.
    const double median = bench::medianMs(5, [&] {
        QTemporaryDir dir;
        QProcess simulator;
        const QString endpoint = serve(simulator);
        const QString database = dir.filePath(QStringLiteral("bench%1.db").arg(++round));
        double ms = 0, peak = 0;
        ok = !endpoint.isEmpty()
             && bench::runProcess({batch, QStringLiteral("send"), QStringLiteral("--database"), database,
                                   QStringLiteral("--endpoint"), endpoint},
                                  ms, peak)
             && ok;
        maxPeak = std::max(maxPeak, peak);
        ok = bench::runProcess({batch, QStringLiteral("fetch"), QStringLiteral("--database"), database,
                                QStringLiteral("--endpoint"), endpoint, QStringLiteral("--output"),
                                dir.filePath(QStringLiteral("results.txt"))},
                               ms, peak)
             && ok;
        maxPeak = std::max(maxPeak, peak);
        simulator.terminate();
        simulator.waitForFinished(5000);
    });
    if (!ok) return 3;
    bench::report("round trip of 550 records over MLLP (send + fetch)", median, "ms", 5000);
    std::printf("%-58s %10.1f MiB\n", "  peak memory of either process", maxPeak);
    return 0;
}
