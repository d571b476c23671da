#pragma once
// Files of the source tree: the shipped data, the deck lists and the
// simulator's sample results.
#include "TestDatabase.h"

namespace marrowick::test {

inline QString source(const QString& relative) { return QStringLiteral(MARROWICK_SOURCE_DIR "/") + relative; }
inline QByteArray sourceBytes(const QString& relative) { return fileBytes(source(relative)); }
inline QString sample(const QString& policy) { return source(QStringLiteral("samples/results-%1.txt").arg(policy)); }

} // namespace marrowick::test
