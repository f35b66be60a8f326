#pragma once

#include <cstdint>
#include <optional>
#include <set>

#include "tools/ByteSource.h"
#include "tools/PeImage.h"

namespace vk::tools {

// Resource types of the Windows resource tree.
inline constexpr std::uint16_t kRtIcon = 3;
inline constexpr std::uint16_t kRtGroupIcon = 14;
inline constexpr std::uint16_t kRtVersion = 16;

// Finds data in the resource tree of a PE image (type, then name, then
// language). The tree comes from the file, so a directory that points back
// at itself or an ancestor is skipped, and the walk never goes deeper than
// the three levels a tree has; entries with ids are found by binary search
// (as the loader does), and a scan of entries reads a bounded number.
class PeResources {
public:
    struct Data {
        std::uint64_t fileOffset = 0;
        std::uint32_t size = 0;
    };

    PeResources(const ByteSource& source, const PeImage& image);

    bool present() const { return limit_ != 0; }
    // The resource of type named by the integer id; with no id, the first
    // entry of the type in directory order (named entries first, as stored).
    // Of its languages, neutral, then English (United States), then the first.
    std::optional<Data> find(std::uint16_t type, std::optional<std::uint16_t> id) const;

private:
    struct Entry {
        std::uint32_t name = 0;    // id, or with the high bit a string offset
        std::uint32_t target = 0;  // with the high bit a sub-directory
    };
    struct Counts {
        std::uint32_t named = 0;
        std::uint32_t total = 0;  // named entries first, then those with ids
    };
    // The entries of the directory at offset that lie inside the section.
    Counts entryCounts(std::uint32_t offset) const;
    // The entry with integer id; ids are sorted, as the loader expects.
    std::optional<Entry> entryWithId(std::uint32_t directory, std::uint16_t id) const;
    std::optional<Entry> entry(std::uint32_t directory, std::uint32_t index) const;
    // The sub-directory an entry points at, unless it is one already on the path.
    std::optional<std::uint32_t> subDirectory(const Entry& e, const std::set<std::uint32_t>& path) const;
    std::optional<Data> dataOf(const Entry& e) const;
    // The data of the preferred language; spends one unit of budget per entry read.
    std::optional<Data> language(std::uint32_t directory, std::uint32_t& budget) const;
    bool inside(std::uint64_t offset, std::uint64_t n) const { return offset <= limit_ && n <= limit_ - offset; }

    const ByteSource& source_;
    const PeImage& image_;
    std::uint64_t base_ = 0;    // file offset of the tree's root
    std::uint32_t limit_ = 0;   // bytes of the tree's section from the root on
};

}  // namespace vk::tools
