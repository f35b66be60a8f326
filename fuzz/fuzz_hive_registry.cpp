// Hive files from an infected disk are hostile: every key and value of a
// mutated hive is read through the backend, in bounded time and memory.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/linux/HiveRegistry.h"

namespace {

const std::filesystem::path& tree() {
    static const std::filesystem::path root = [] {
        char base[] = "/tmp/vk-fuzz-hive-XXXXXX";
        std::filesystem::path r = ::mkdtemp(base);
        std::filesystem::create_directories(r / "Windows/System32/config");
        return r;
    }();
    return root;
}

void walk(vk::platform::Registry& r, vk::platform::RegHandle key, int depth, int& budget) {
    std::string name, data;
    std::uint32_t type = 0;
    for (std::uint32_t i = 0; budget > 0 && r.enumValue(key, i, name, type, data) == 0; ++i) --budget;
    if (depth >= 16) return;
    for (std::uint32_t i = 0; budget > 0 && r.enumKey(key, i, name) == 0; ++i) {
        --budget;
        vk::platform::RegHandle child;
        if (r.openKey(key, name, vk::platform::kKeyRead, child) != 0) continue;
        walk(r, child, depth + 1, budget);
        r.closeKey(child);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto hive = tree() / "Windows/System32/config/SOFTWARE";
    {
        std::ofstream out(hive, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    setenv("XDG_DATA_HOME", (tree() / "data").c_str(), 1);
    vk::platform::HiveRegistry registry(tree().string(), "", nullptr);
    int budget = 20000;
    walk(registry, vk::platform::kHkeyLocalMachine, 0, budget);
    return 0;
}
