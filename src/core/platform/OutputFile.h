#pragma once
#include <QByteArray>
#include <QString>

namespace marrowick {

// Writes bytes to path. A regular file, or one that does not exist yet, is
// written beside itself and renamed into place, so a failure leaves the old
// contents (or nothing) under its name; a character device or a pipe is
// written directly, since renaming over it would replace it; anything else is
// refused. A failure throws FileRefused (Output) with the cause as a sentence.
void writeOutputFile(const QString& path, const QByteArray& bytes);

// Writes bytes to standard output and flushes it; a failure of either throws
// FileRefused (Output) with the cause.
void writeStandardOutput(const QByteArray& bytes);

// Bytes to the file at path, or to standard output when path is empty. A
// failure is thrown told whole: "Error", failed + ": " + the cause, where
// failed says what could not be written where.
void writeOutputOrRefuse(const QString& path, const QByteArray& bytes, const QString& failed);

// The cause of a failed system call as a sentence: "The disk is full.".
QString causeOfError(int error);

} // namespace marrowick
