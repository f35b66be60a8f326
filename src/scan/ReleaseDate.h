#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vk::scan {

struct CivilDate {
    int year = 0;
    int month = 0;
    int day = 0;
    friend bool operator==(const CivilDate&, const CivilDate&) = default;
};

// Date texts the database may carry: ISO 2024-03-15, 2024/03/15, the US
// short date 3/15/2024 (15/3/2024 when the month cannot come first) and
// 15.03.2024; a time after the date is
// ignored. nullopt for anything that is not a real calendar date.
std::optional<CivilDate> parseReleaseDate(std::string_view text);

// ISO form, for logs and the command line.
std::string formatIsoDate(const CivilDate& date);

}  // namespace vk::scan
