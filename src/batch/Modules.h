#pragma once
#include <QString>

namespace marrowick {
class BatchPlatform;
}

namespace marrowick::batch {

struct Options;

// A module of the program's (a shared object it loads for the few commands
// that need a heavy library), beside the program in the build tree and in
// the library folder once installed. Null when it cannot be loaded; problem
// then says why.
void* openModule(const char* fileName, QString& problem);

// Runs send (parts 1), fetch (2) or roundtrip (3) in the registry module.
// A module that cannot be loaded is told and ends in exit code 3.
int runRegistryModule(const Options& o, int parts, BatchPlatform& host);

} // namespace marrowick::batch
