// system.reg files from an infected prefix are hostile: any text is parsed,
// walked, changed and written back in bounded time and memory.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/linux/WineRegistryFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::filesystem::path folder = [] {
        char base[] = "/tmp/vk-fuzz-wine-XXXXXX";
        return std::filesystem::path(::mkdtemp(base));
    }();
    const auto file = folder / "system.reg";
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    vk::platform::WineRegistryFile reg(file.string(), false);
    // Walk the tree breadth-first, reading every value.
    std::vector<vk::platform::RegistryTree::Node> queue{reg.root()};
    for (std::size_t i = 0; i < queue.size() && i < 100000; ++i) {
        (void)reg.values(queue[i]);
        for (const auto& name : reg.childNames(queue[i]))
            if (auto c = reg.child(queue[i], name)) queue.push_back(*c);
    }
    // A change and the text it would write must hold together too.
    if (reg.loaded() && queue.size() > 1) {
        reg.setValue(queue[1], {"fuzz", 1, std::string("v\0", 2)});
        std::string text = reg.text();
        vk::platform::WineRegistryFile again(file.string(), true);
        (void)again.loaded();
        (void)text;
    }
    return 0;
}
