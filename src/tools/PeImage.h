#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "tools/ByteSource.h"

namespace vk::tools {

// The headers of a Windows executable (PE32 or PE32+) as far as locating
// data by relative virtual address needs them. Nothing here trusts the file:
// every offset is checked against the source before it is used.
class PeImage {
public:
    struct Section {
        std::uint32_t virtualAddress = 0;
        std::uint32_t virtualSize = 0;
        std::uint32_t rawOffset = 0;
        std::uint32_t rawSize = 0;
    };
    struct Directory {
        std::uint32_t rva = 0;
        std::uint32_t size = 0;
    };

    static constexpr int kResourceDirectory = 2;

    // nullopt when source does not hold a well-formed MZ/PE header.
    static std::optional<PeImage> parse(const ByteSource& source);

    bool is64() const { return is64_; }
    const std::vector<Section>& sections() const { return sections_; }
    // Zero rva and size when the image has none.
    Directory directory(int index) const;

    // The file offset of the n bytes at rva, when all of them lie in the file
    // part of one section.
    std::optional<std::uint64_t> fileOffset(std::uint32_t rva, std::uint32_t n) const;
    // How many bytes from rva on lie in the file part of the same section (0 when rva is in none).
    std::uint32_t extentFrom(std::uint32_t rva) const;

private:
    const Section* sectionOf(std::uint32_t rva) const;

    bool is64_ = false;
    std::vector<Directory> directories_;
    std::vector<Section> sections_;
};

}  // namespace vk::tools
