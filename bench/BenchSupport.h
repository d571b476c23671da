#pragma once
// Shared by the benchmarks: timing, and results files of any size made from a sample.
#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QString>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace bench {

// The median of several runs, in milliseconds.
inline double medianMs(int runs, const std::function<void()>& work)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

inline void report(const char* what, double value, const char* unit, double target)
{
    std::printf("%-58s %10.1f %-3s (target %.0f %s: %s)\n", what, value, unit, target, unit,
                value <= target ? "met" : "MISSED");
    std::fflush(stdout);
}

// A results file of exactly `lines` lines: the sample's lines, then its clients
// again with later vaccinations, as a registry exports a full history.
inline QByteArray resultsFile(const QString& sample, int lines)
{
    QFile file(sample);
    file.open(QIODevice::ReadOnly);
    const QList<QByteArray> source = file.readAll().split('\n');
    QList<QByteArray> rows;
    for (const QByteArray& l : source)
        if (!l.trimmed().isEmpty()) rows << l.trimmed();
    QByteArray out;
    for (int i = 0; i < lines; ++i) {
        QList<QByteArray> fields = rows[i % rows.size()].split(',');
        if (i >= rows.size()) fields[13] = QByteArray::number(20200101 + (i / rows.size()) % 28);
        out += fields.join(',') + "\r\n";
    }
    return out;
}

} // namespace bench
