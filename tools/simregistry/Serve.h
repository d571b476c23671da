#pragma once
#include <QStringList>

namespace marrowick::sim {

// marrowick-simregistry serve: the registry's test interface on loopback,
// until SIGTERM or SIGINT. Returns the exit code.
int serve(const QStringList& arguments);

} // namespace marrowick::sim
