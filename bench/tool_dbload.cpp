// Loads a database the way the program does and prints the load time and the
// process's peak memory: tool_dbload DB.dat
#include <sys/resource.h>

#include <chrono>
#include <cstdio>

#include "scan/ScanEngine.h"

namespace {
struct Events : vk::scan::ScanEngineEvents {
    long progress = 0;
    bool failed = false;
    void loadProgress(std::int16_t, const std::string&) override { ++progress; }
    void errorOccured(std::int32_t n, const std::string& d) override {
        failed = true;
        std::fprintf(stderr, "Error #%d: %s\n", n, d.c_str());
    }
};
}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: tool_dbload DB.dat\n");
        return 2;
    }
    Events events;
    vk::scan::ScanEngine engine(&events);
    engine.setDatabasePath(argv[1]);
    auto start = std::chrono::steady_clock::now();
    engine.loadVirusDatabase();
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    rusage ru{};
    ::getrusage(RUSAGE_SELF, &ru);
    if (events.failed) return 2;
    std::printf("signatures %d  load %.3f s  progress events %ld  peak RSS %.1f MiB\n", engine.vDatabaseSize(),
                seconds, events.progress, static_cast<double>(ru.ru_maxrss) / 1024.0);
    return 0;
}
