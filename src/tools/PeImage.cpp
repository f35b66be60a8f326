#include "tools/PeImage.h"

#include <algorithm>

namespace vk::tools {
namespace {

constexpr std::uint16_t kMz = 0x5A4D;
constexpr std::uint32_t kPeSignature = 0x00004550;
constexpr std::uint16_t kMagic32 = 0x10B;
constexpr std::uint16_t kMagic64 = 0x20B;
constexpr std::uint32_t kCoffHeaderSize = 20;
constexpr std::uint32_t kSectionHeaderSize = 40;
// The loader's own limit on data directories.
constexpr std::uint32_t kMaxDirectories = 16;

// The part of a section that the file really holds.
std::uint32_t fileExtent(const PeImage::Section& s) {
    return s.virtualSize != 0 ? std::min(s.virtualSize, s.rawSize) : s.rawSize;
}

}  // namespace

std::optional<PeImage> PeImage::parse(const ByteSource& source) {
    auto mz = source.u16(0);
    auto lfanew = source.u32(0x3C);
    if (!mz || *mz != kMz || !lfanew) return std::nullopt;
    const std::uint64_t pe = *lfanew;
    auto signature = source.u32(pe);
    if (!signature || *signature != kPeSignature) return std::nullopt;
    const std::uint64_t coff = pe + 4;
    auto sectionCount = source.u16(coff + 2);
    auto optionalSize = source.u16(coff + 16);
    if (!sectionCount || !optionalSize) return std::nullopt;
    const std::uint64_t opt = coff + kCoffHeaderSize;
    auto magic = source.u16(opt);
    if (!magic || (*magic != kMagic32 && *magic != kMagic64)) return std::nullopt;

    PeImage image;
    image.is64_ = *magic == kMagic64;
    const std::uint32_t countAt = image.is64_ ? 108 : 92;
    const std::uint32_t dirsAt = countAt + 4;
    if (*optionalSize >= dirsAt) {
        auto declared = source.u32(opt + countAt);
        if (!declared) return std::nullopt;
        // Only directories inside the optional header count, as for the loader.
        std::uint32_t fit = (*optionalSize - dirsAt) / 8;
        std::uint32_t n = std::min({*declared, kMaxDirectories, fit});
        for (std::uint32_t i = 0; i < n; ++i) {
            auto rva = source.u32(opt + dirsAt + 8ull * i);
            auto size = source.u32(opt + dirsAt + 8ull * i + 4);
            if (!rva || !size) return std::nullopt;
            image.directories_.push_back({*rva, *size});
        }
    }

    const std::uint64_t table = opt + *optionalSize;
    if (table + std::uint64_t{kSectionHeaderSize} * *sectionCount > source.size()) return std::nullopt;
    image.sections_.reserve(*sectionCount);
    for (std::uint32_t i = 0; i < *sectionCount; ++i) {
        const std::uint64_t at = table + std::uint64_t{kSectionHeaderSize} * i;
        auto vsize = source.u32(at + 8);
        auto va = source.u32(at + 12);
        auto rawSize = source.u32(at + 16);
        auto rawOffset = source.u32(at + 20);
        if (!vsize || !va || !rawSize || !rawOffset) return std::nullopt;
        Section s{*va, *vsize, *rawOffset, *rawSize};
        // The part past the end of the file is not there to be read.
        if (s.rawOffset >= source.size()) s.rawSize = 0;
        else s.rawSize = static_cast<std::uint32_t>(std::min<std::uint64_t>(s.rawSize, source.size() - s.rawOffset));
        image.sections_.push_back(s);
    }
    return image;
}

PeImage::Directory PeImage::directory(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= directories_.size()) return {};
    return directories_[static_cast<std::size_t>(index)];
}

const PeImage::Section* PeImage::sectionOf(std::uint32_t rva) const {
    for (const Section& s : sections_) {
        if (rva >= s.virtualAddress && rva - s.virtualAddress < fileExtent(s)) return &s;
    }
    return nullptr;
}

std::uint32_t PeImage::extentFrom(std::uint32_t rva) const {
    const Section* s = sectionOf(rva);
    return s ? fileExtent(*s) - (rva - s->virtualAddress) : 0;
}

std::optional<std::uint64_t> PeImage::fileOffset(std::uint32_t rva, std::uint32_t n) const {
    const Section* s = sectionOf(rva);
    if (!s || n > fileExtent(*s) - (rva - s->virtualAddress)) return std::nullopt;
    return std::uint64_t{s->rawOffset} + (rva - s->virtualAddress);
}

}  // namespace vk::tools
