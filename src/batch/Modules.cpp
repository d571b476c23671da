#include "Modules.h"

#include "commands/Command.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <string>

namespace marrowick::batch {

void* openModule(const char* fileName, QString& problem)
{
    char program[PATH_MAX];
    if (!::realpath("/proc/self/exe", program)) {
        problem = QStringLiteral("the program's own folder is unknown");
        return nullptr;
    }
    std::string folder(program);
    folder.erase(folder.rfind('/'));
    for (const std::string& path : {folder + "/" + fileName, folder + "/" MARROWICK_MODULES_FROM_BIN "/" + fileName}) {
        if (void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) return module;
        problem = QString::fromLocal8Bit(::dlerror());
    }
    return nullptr;
}

int runRegistryModule(const Options& o, int parts, BatchPlatform& host)
{
    using Run = int (*)(const Options&, int, BatchPlatform&);
    QString problem;
    void* module = openModule("marrowick-registry.so", problem);
    const auto run = module ? reinterpret_cast<Run>(::dlsym(module, "marrowickRegistryRun")) : nullptr;
    if (module && !run) problem = QStringLiteral("the registry module lacks its entry point");
    if (!run) {
        std::fprintf(stderr, "Error: The registry module cannot be loaded: %s\n", qPrintable(problem));
        return Failed;
    }
    return run(o, parts, host);
}

} // namespace marrowick::batch
