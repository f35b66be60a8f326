#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vk::net {

// One entry of a server's folder listing.
struct DirItem {
    std::string name;
    std::int64_t size = 0;
    bool isDirectory = false;
    // Days since 30 December 1899 (the classic date serial); 0 when unknown.
    double modified = 0;
};

using DirList = std::vector<DirItem>;

// One line of a LIST reply in the Unix ("-rw-r--r-- 1 u g 12 Jan 02 2009 a")
// or the DOS ("01-02-09 10:15AM <DIR> a") format; nullopt for other lines
// ("total 4"). currentYear fills in Unix dates given with a time instead.
std::optional<DirItem> parseListLine(std::string_view line, int currentYear);

}  // namespace vk::net
