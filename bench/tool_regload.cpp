// Loads the registry store in FOLDER as a script run would: the first read
// of HKLM loads its file, one change rewrites it. Prints the time of each
// step and the peak resident memory. Usage: tool_regload FOLDER
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "platform/linux/RegistryStore.h"

namespace {

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    using namespace vk::platform;
    if (argc != 2) {
        std::fprintf(stderr, "usage: tool_regload FOLDER\n");
        return 2;
    }
    RegistryStore store(argv[1]);
    auto start = std::chrono::steady_clock::now();
    RegHandle key = 0;
    long st = store.openKey(kHkeyLocalMachine, "SOFTWARE\\Classes\\CLSID", kKeyRead, key);
    double load = secondsSince(start);
    std::uint32_t subKeys = 0;
    std::string name;
    while (st == kErrorSuccess && store.enumKey(key, subKeys, name) == kErrorSuccess) ++subKeys;
    store.closeKey(key);

    start = std::chrono::steady_clock::now();
    RegHandle run = 0;
    long change = store.createKey(kHkeyLocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
                                  kKeyAllAccess, run);
    if (change == kErrorSuccess) change = store.setValue(run, "bench", kRegSz, std::string("x\0", 2));
    double save = secondsSince(start);

    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    std::printf("load %.2f s (%u classes, status %ld), one change and save %.2f s (status %ld), peak RSS %ld MB%s\n",
                load, subKeys, st, save, change, usage.ru_maxrss / 1024,
                store.rootDamaged(kHkeyLocalMachine) ? ", root damaged" : "");
    return st == kErrorSuccess && change == kErrorSuccess ? 0 : 1;
}
