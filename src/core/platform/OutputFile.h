#pragma once
#include <QByteArray>
#include <QString>

namespace marrowick {

// Writes bytes to path. A regular file, or one that does not exist yet, is
// written beside itself and renamed into place, so a failure leaves the old
// contents (or nothing) under its name; a character device or a pipe is
// written directly, since renaming over it would replace it; anything else is
// refused. False, with the cause as a sentence in problem, when it fails.
bool writeOutputFile(const QString& path, const QByteArray& bytes, QString& problem);

// Writes bytes to standard output and flushes it; false, with the cause in
// problem, when either fails.
bool writeStandardOutput(const QByteArray& bytes, QString& problem);

// The cause of a failed system call as a sentence: "The disk is full.".
QString causeOfError(int error);

} // namespace marrowick
