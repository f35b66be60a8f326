#include "tools/PeResources.h"

#include <algorithm>

namespace vk::tools {
namespace {

constexpr std::uint32_t kHighBit = 0x80000000u;
constexpr std::uint32_t kDirectoryHeaderSize = 16;
constexpr std::uint32_t kEntrySize = 8;
constexpr std::uint32_t kDataEntrySize = 16;
constexpr std::uint16_t kLanguageNeutral = 0x0000;
constexpr std::uint16_t kEnglishUnitedStates = 0x0409;
// Entries one lookup may read: far more than any real tree has, and few
// enough that a tree of directories shared many times over stays cheap.
constexpr std::uint32_t kEntryBudget = 1u << 16;

}  // namespace

PeResources::PeResources(const ByteSource& source, const PeImage& image) : source_(source), image_(image) {
    PeImage::Directory dir = image.directory(PeImage::kResourceDirectory);
    if (dir.rva == 0) return;
    std::uint32_t extent = image.extentFrom(dir.rva);
    auto offset = image.fileOffset(dir.rva, extent);
    if (!offset || extent < kDirectoryHeaderSize) return;
    base_ = *offset;
    limit_ = extent;
}

PeResources::Counts PeResources::entryCounts(std::uint32_t offset) const {
    if (!inside(offset, kDirectoryHeaderSize)) return {};
    auto named = source_.u16(base_ + offset + 12);
    auto ids = source_.u16(base_ + offset + 14);
    if (!named || !ids) return {};
    std::uint32_t n = std::uint32_t{*named} + *ids;
    // Entries that would run past the section are not there.
    std::uint64_t room = (limit_ - offset - kDirectoryHeaderSize) / kEntrySize;
    if (n > room) n = static_cast<std::uint32_t>(room);
    return {std::min<std::uint32_t>(*named, n), n};
}

std::optional<PeResources::Entry> PeResources::entryWithId(std::uint32_t directory, std::uint16_t id) const {
    Counts counts = entryCounts(directory);
    std::uint32_t lo = counts.named, hi = counts.total;
    while (lo < hi) {
        std::uint32_t mid = lo + (hi - lo) / 2;
        auto e = entry(directory, mid);
        if (!e) return std::nullopt;
        std::uint32_t key = e->name & kHighBit ? 0 : e->name;
        if (key == id) return e;
        if (key < id) lo = mid + 1;
        else hi = mid;
    }
    return std::nullopt;
}

std::optional<PeResources::Entry> PeResources::entry(std::uint32_t directory, std::uint32_t index) const {
    std::uint64_t at = std::uint64_t{directory} + kDirectoryHeaderSize + std::uint64_t{index} * kEntrySize;
    if (!inside(at, kEntrySize)) return std::nullopt;
    auto name = source_.u32(base_ + at);
    auto target = source_.u32(base_ + at + 4);
    if (!name || !target) return std::nullopt;
    return Entry{*name, *target};
}

std::optional<std::uint32_t> PeResources::subDirectory(const Entry& e, const std::set<std::uint32_t>& path) const {
    if (!(e.target & kHighBit)) return std::nullopt;
    std::uint32_t offset = e.target & ~kHighBit;
    if (path.count(offset) || !inside(offset, kDirectoryHeaderSize)) return std::nullopt;
    return offset;
}

std::optional<PeResources::Data> PeResources::dataOf(const Entry& e) const {
    if (e.target & kHighBit) return std::nullopt;
    if (!inside(e.target, kDataEntrySize)) return std::nullopt;
    auto rva = source_.u32(base_ + e.target);
    auto size = source_.u32(base_ + e.target + 4);
    if (!rva || !size) return std::nullopt;
    auto offset = image_.fileOffset(*rva, *size);
    if (!offset) return std::nullopt;
    return Data{*offset, *size};
}

std::optional<PeResources::Data> PeResources::language(std::uint32_t directory, std::uint32_t& budget) const {
    std::uint32_t n = entryCounts(directory).total;
    std::optional<Data> first, english;
    for (std::uint32_t i = 0; i < n && budget > 0; ++i, --budget) {
        auto e = entry(directory, i);
        if (!e) break;
        auto data = dataOf(*e);
        if (!data) continue;
        if (!(e->name & kHighBit)) {
            auto lang = static_cast<std::uint16_t>(e->name);
            if (lang == kLanguageNeutral) return data;
            if (lang == kEnglishUnitedStates && !english) english = data;
        }
        if (!first) first = data;
    }
    return english ? english : first;
}

std::optional<PeResources::Data> PeResources::find(std::uint16_t type, std::optional<std::uint16_t> id) const {
    if (!present()) return std::nullopt;
    std::set<std::uint32_t> path{0};
    std::uint32_t budget = kEntryBudget;
    auto typeEntry = entryWithId(0, type);
    if (!typeEntry) return std::nullopt;
    auto names = subDirectory(*typeEntry, path);
    if (!names) return std::nullopt;
    path.insert(*names);
    if (id) {
        auto nameEntry = entryWithId(*names, *id);
        auto languages = nameEntry ? subDirectory(*nameEntry, path) : std::nullopt;
        return languages ? language(*languages, budget) : std::nullopt;
    }
    const std::uint32_t count = entryCounts(*names).total;
    for (std::uint32_t i = 0; i < count && budget > 0; ++i, --budget) {
        auto nameEntry = entry(*names, i);
        if (!nameEntry) break;
        auto languages = subDirectory(*nameEntry, path);
        if (!languages) continue;
        if (auto data = language(*languages, budget)) return data;
    }
    return std::nullopt;
}

}  // namespace vk::tools
