// PE files: the version reader and the icon extractor never read outside the
// input, never loop, and an icon they return is a well-formed .ico.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "tools/ByteSource.h"
#include "tools/PeIcon.h"
#include "tools/VersionInfo.h"

using namespace vk::tools;

namespace {

std::uint32_t le32(const std::string& b, std::size_t at) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(b[at])) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 2])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24;
}

void checkIco(const std::string& ico, std::size_t inputSize) {
    if (ico.size() < 6 || ico.size() > inputSize + 6 + 16 * 64) std::abort();
    std::size_t count = static_cast<unsigned char>(ico[4]) | static_cast<unsigned char>(ico[5]) << 8;
    if (count == 0 || ico.size() < 6 + 16 * count) std::abort();
    std::size_t end = 6 + 16 * count;
    for (std::size_t i = 0; i < count; ++i) {
        std::uint32_t size = le32(ico, 6 + 16 * i + 8);
        std::uint32_t offset = le32(ico, 6 + 16 * i + 12);
        if (offset != end || size == 0) std::abort();
        end += size;
    }
    if (end != ico.size()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    MemorySource source({data, size});
    FileVersionRecord record;
    if (!readVersionInfo(source, record) && !record.fileVersion.empty()) std::abort();
    if (auto ico = extractIcon(source)) checkIco(*ico, size);
    // The block parser alone, on the raw input.
    FileVersionRecord block;
    (void)parseVersionBlock({reinterpret_cast<const char*>(data), size}, block);
    return 0;
}
