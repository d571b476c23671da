#pragma once
// Shared by the benchmarks: timing, and results files of any size made from a sample.
#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace bench {

// Runs a program to its end, its standard output discarded; its wall time in
// ms and peak resident memory in MiB. False unless it exits with 0.
inline bool runProcess(const QStringList& args, double& ms, double& peakMiB)
{
    std::vector<QByteArray> bytes;
    for (const QString& a : args) bytes.push_back(a.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& b : bytes) argv.push_back(b.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    QElapsedTimer timer;
    timer.start();
    pid_t pid = 0;
    const bool spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    if (!spawned) return false;
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    ms = timer.nsecsElapsed() / 1e6;
    peakMiB = usage.ru_maxrss / 1024.0;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

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
