// Feeds arbitrary bytes to the database loader twice: as a whole database
// file, and as an already decrypted payload (so the INI side is reached
// without having to guess a matching checksum).
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/RuntimeError.h"
#include "scan/DatabaseFile.h"
#include "scan/ScanEngine.h"
#include "scan/SignatureDatabase.h"

namespace {

std::string scratchFile() {
    static std::string path = [] {
        std::string p = "/tmp/vkfuzz-db-XXXXXX";
        int fd = ::mkstemp(p.data());
        if (fd < 0) std::abort();
        ::close(fd);
        return p;
    }();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string path = scratchFile();
    int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC);
    if (fd < 0) return 0;
    if (::write(fd, data, size) != static_cast<ssize_t>(size)) {
        ::close(fd);
        return 0;
    }
    ::close(fd);
    vk::scan::ScanEngine engine;
    engine.setDatabasePath(path);
    engine.loadVirusDatabase();

    // Wrapping the input in a valid envelope reaches the payload through the loader itself.
    std::string wrapped = vk::scan::buildDatabaseFile(
        std::string_view(reinterpret_cast<const char*>(data), size).empty()
            ? std::string_view("x")
            : std::string_view(reinterpret_cast<const char*>(data), size));
    fd = ::open(path.c_str(), O_WRONLY | O_TRUNC);
    if (fd >= 0) {
        if (::write(fd, wrapped.data(), wrapped.size()) == static_cast<ssize_t>(wrapped.size())) {
            vk::scan::ScanEngine wrappedEngine;
            wrappedEngine.setDatabasePath(path);
            wrappedEngine.loadVirusDatabase();
        }
        ::close(fd);
    }

    vk::scan::PayloadReader reader(std::string(reinterpret_cast<const char*>(data), size));
    try {
        auto main = reader.readMain();
        for (std::int32_t i = 1; i <= main.size && i <= 64; ++i) reader.readEntry(i);
    } catch (const vk::platform::RuntimeError&) {
    }
    return 0;
}
